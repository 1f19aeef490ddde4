#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/AcqMethods.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <sstream>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Property;
using ::testing::Throws;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

std::string RecordBytes(const WQBL::Method& method) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << method;
  return out.str();
}

WQBL::TimePeriod Period(double duration, std::uint32_t loops, std::uint32_t timeout,
                        std::initializer_list<double> itemDurations) {
  WQBL::TimePeriod period;
  period.Duration = duration;
  period.NumLoops = loops;
  period.Timeout = timeout;
  for (const double itemDuration : itemDurations) {
    WQBL::SequenceItem item;
    item.Duration = itemDuration;
    period.Items.push_back(item);
  }
  return period;
}

// A method whose time periods all have a length, so loading leaves it as it is.
WQBL::Method FixedMethod() {
  WQBL::Method method;
  method.TimePeriods = {Period(2.0, 3, 40, {0.5, 0.25}), Period(1e-7, 1, 0, {})};
  method.TimePeriods[0].Items[1].Kind = WQBL::SequenceItem::SIM;
  method.Tunes[1] = WQBL::TuneEntry(L"Positive ESI", WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

// Every write to a file fails as on a full disk.
class FullDisk : public WQPlatform::FileOps {
 public:
  long Write(int, const char*, std::size_t) override {
    errno = ENOSPC;
    return -1;
  }
};

class AcqMethodsTest : public DataDirectoryTest {
 protected:
  fs::path MethodFile(const std::string& name) const { return Dir("AcqMethod") / (name + ".kem"); }
};

TEST_F(AcqMethodsTest, SavedMethodIsFileVersionThenRecordAndLoadsBackAsLastSaved) {
  WQRepos::SaveAcqMethod(L"Alpha", FixedMethod());
  EXPECT_EQ(ReadBytes(MethodFile("Alpha")), U32(1) + RecordBytes(FixedMethod()));
  EXPECT_EQ(WQRepos::LoadAcqMethod(L"Alpha"), FixedMethod());
  WQRepos::SaveAcqMethod(L"Alpha", WQBL::Method());
  EXPECT_EQ(WQRepos::LoadAcqMethod(L"Alpha"), WQBL::Method());
}

TEST_F(AcqMethodsTest, PeriodsWithoutLengthGetTheTimeTheirItemsTake) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  WQBL::Method method;
  method.TimePeriods = {Period(0.0, 3, 7, {1.5, 2.25}),    Period(0.0, 1, 7, {0.0004, 0.0003}),
                        Period(2.0, 3, 77, {1.5}),         Period(0.0, 9, 55, {}),
                        Period(5e-8, 2, 0, {1.0}),         Period(nan, 2, 66, {1.0}),
                        Period(0.0, 4000000, 0, {1200.0}), Period(0.0, 1, 5, {infinity}),
                        Period(-1.0, 1, 5, {-0.0015})};
  WQRepos::SaveAcqMethod(L"Open", method);
  std::vector<std::uint32_t> timeouts;
  for (const auto& period : WQRepos::LoadAcqMethod(L"Open").TimePeriods)
    timeouts.push_back(period.Timeout);
  EXPECT_THAT(timeouts, ElementsAre(11250u, 1u, 77u, 0u, 2000u, 66u,
                                    static_cast<std::uint32_t>(4800000000000ULL), 0u, 0xFFFFFFFFu));
}

TEST_F(AcqMethodsTest, FullyQualifiedLoadTakesAnyPathAndCompletesTimeouts) {
  WQBL::Method method = FixedMethod();
  method.TimePeriods.push_back(Period(0.0, 2, 0, {0.5}));
  WQRepos::SaveAcqMethod(L"Alpha", method);
  TempDirectory elsewhere;
  const fs::path copy = elsewhere.Path() / "copy.bin";
  fs::copy_file(MethodFile("Alpha"), copy);
  const WQBL::Method loaded = WQRepos::LoadFullyQualifiedAcqMethod(Wide(copy));
  EXPECT_EQ(loaded.TimePeriods.back().Timeout, 1000u);
  EXPECT_EQ(loaded, WQRepos::LoadAcqMethod(L"Alpha"));
}

TEST_F(AcqMethodsTest, SystemConfigurationIsReadForEveryLoad) {
  WQRepos::SaveAcqMethod(L"Alpha", FixedMethod());
  WriteBytes(Dir("Prefs") / "SystemConfiguration.xml",
             "<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>");
  EXPECT_THAT(
      [] { WQRepos::LoadAcqMethod(L"Alpha"); },
      Throws<WQRepos::QMVException>(Property(&WQRepos::QMVException::Message,
                                             L"String Vial_3 not found in enumeration map.")));
}

TEST_F(AcqMethodsTest, FileVersionOtherThanOneIsRefusedNamingThePath) {
  for (const std::uint32_t version : {0u, 2u}) {
    WriteBytes(MethodFile("Bad"), U32(version) + RecordBytes(FixedMethod()));
    EXPECT_THAT([] { WQRepos::LoadAcqMethod(L"Bad"); },
                ThrowsMessage<std::runtime_error>("Invalid acquisition method file (" +
                                                  MethodFile("Bad").string() + ")"));
  }
}

TEST_F(AcqMethodsTest, MissingMethodIsReportedWithItsFullPath) {
  EXPECT_THAT([] { WQRepos::LoadAcqMethod(L"Nope"); },
              ThrowsMessage<std::runtime_error>("Unable to open acquisition method file (" +
                                                MethodFile("Nope").string() + ")"));
}

TEST_F(AcqMethodsTest, TruncatedMethodFileIsRefusedAtEveryLength) {
  const std::string bytes = U32(1) + RecordBytes(FixedMethod());
  const fs::path file = Dir("Data") / "cut.kem";
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    WriteBytes(file, bytes.substr(0, size));
    EXPECT_THAT([&] { WQRepos::LoadFullyQualifiedAcqMethod(Wide(file)); },
                ThrowsMessage<WQCommon::StreamError>(HasSubstr(file.string())))
        << size;
  }
}

TEST_F(AcqMethodsTest, SaveThatCannotCreateTheFileNamesTheMethod) {
  fs::create_directory(MethodFile("Taken"));
  EXPECT_THAT(
      [] { WQRepos::SaveAcqMethod(L"Taken", FixedMethod()); },
      ThrowsMessage<std::runtime_error>("Unable to create acquisition method file (Taken)"));
  EXPECT_TRUE(fs::is_directory(MethodFile("Taken")));
  fs::remove_all(Dir("AcqMethod"));
  EXPECT_THAT(
      [] { WQRepos::SaveAcqMethod(L"Alpha", FixedMethod()); },
      ThrowsMessage<std::runtime_error>("Unable to create acquisition method file (Alpha)"));
  EXPECT_FALSE(fs::exists(Dir("AcqMethod")));
}

TEST_F(AcqMethodsTest, FailedSaveLeavesTheEarlierFileUnchanged) {
  WQRepos::SaveAcqMethod(L"Alpha", FixedMethod());
  const std::string before = ReadBytes(MethodFile("Alpha"));
  FullDisk fullDisk;
  WQPlatform::ScopedFileOps seam(fullDisk);
  EXPECT_THAT(
      [] { WQRepos::SaveAcqMethod(L"Alpha", WQBL::Method()); },
      ThrowsMessage<std::runtime_error>("Unable to create acquisition method file (Alpha)"));
  EXPECT_EQ(ReadBytes(MethodFile("Alpha")), before);
  EXPECT_THAT(WQRepos::GetAcqMethodNames(), ElementsAre(L"Alpha"));
}

TEST_F(AcqMethodsTest, ListingCutsNamesBeforeTheirLastFullStop) {
  EXPECT_THAT(WQRepos::GetAcqMethodNames(), IsEmpty());
  for (const char* name : {"a.b.kem", "c.kem", "d.ket"}) WriteBytes(Dir("AcqMethod") / name, "");
  EXPECT_THAT(WQRepos::GetAcqMethodNames(), UnorderedElementsAre(L"a.b", L"c"));
  fs::remove_all(Dir("AcqMethod"));
  EXPECT_THAT(WQRepos::GetAcqMethodNames(), IsEmpty());
}

}  // namespace
