#include <WQRepos/AcqMethods.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>

#include <limits>
#include <tuple>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;

WQBL::TimePeriod Period(double duration, std::uint32_t loops, std::uint32_t timeout,
                        std::initializer_list<double> itemDurations) {
  WQBL::TimePeriod period;
  std::tie(period.Duration, period.NumLoops, period.Timeout) = std::tie(duration, loops, timeout);
  for (const double itemDuration : itemDurations)
    period.Items.emplace_back().Duration = itemDuration;
  return period;
}

using AcqMethodsTest = DataDirectoryTest;

TEST_F(AcqMethodsTest, PeriodsWithoutLengthGetTheTimeTheirItemsTakeWhereverTheFileIs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  WQBL::Method method;
  method.TimePeriods = {Period(0.0, 3, 7, {1.5, 2.25}),    Period(0.0, 1, 7, {0.0004, 0.0003}),
                        Period(2.0, 3, 77, {1.5}),         Period(0.0, 9, 55, {}),
                        Period(5e-8, 2, 0, {1.0}),         Period(nan, 2, 66, {1.0}),
                        Period(0.0, 4000000, 0, {1200.0}), Period(0.0, 1, 5, {infinity}),
                        Period(-1.0, 1, 5, {-0.0015})};
  WQRepos::SaveAcqMethod(L"Open", method);
  const fs::path elsewhere = Dir("Data") / "open.bin";
  fs::copy_file(Dir("AcqMethod") / "Open.kem", elsewhere);
  const auto timeouts = [](const WQBL::Method& loaded) {
    std::vector<std::uint32_t> values;
    for (const auto& period : loaded.TimePeriods) values.push_back(period.Timeout);
    return values;
  };
  const auto completed = ElementsAre(11250u, 1u, 77u, 0u, 2000u, 66u,
                                     static_cast<std::uint32_t>(4800000000000ULL), 0u, 0xFFFFFFFFu);
  EXPECT_THAT(timeouts(WQRepos::LoadFullyQualifiedAcqMethod(Wide(elsewhere))), completed);
  EXPECT_THAT(timeouts(WQRepos::LoadAcqMethod(L"Open")), completed);
}

// The system configuration is read for every load, and refusals of its texts pass through.
TEST_F(AcqMethodsTest, LoadPassesRefusalsOfTheSystemConfiguration) {
  WQRepos::SaveAcqMethod(L"Good", WQBL::Method());
  WriteBytes(Dir("Prefs") / "SystemConfiguration.xml",
             "<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>");
  EXPECT_THAT([] { WQRepos::LoadAcqMethod(L"Good"); },
              ThrowsQMVException(L"String Vial_3 not found in enumeration map."));
}

TEST_F(AcqMethodsTest, SaveIntoMissingDirectoryNamesTheMethodAndCreatesNothing) {
  fs::remove_all(Dir("AcqMethod"));
  EXPECT_THAT(
      [] { WQRepos::SaveAcqMethod(L"Alpha", WQBL::Method()); },
      ThrowsMessage<std::runtime_error>("Unable to create acquisition method file (Alpha)"));
  EXPECT_FALSE(fs::exists(Dir("AcqMethod")));
}

}  // namespace
