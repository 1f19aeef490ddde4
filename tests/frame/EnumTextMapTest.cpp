#include <gmock/gmock.h>

#include "frame/EnumTextMap.h"

namespace {

using ::testing::Property;
using ::testing::Throws;

enum class Source { Load = 0, Waste = 1 };

const WQRepos::EnumTextMap<Source> kMap =
    WQRepos::MakeEnumTextMap<Source>({{Source::Load, L"Load"}, {Source::Waste, L"Waste"}});

auto RaisesMessage(const std::wstring& message) {
  return Throws<WQRepos::QMVException>(Property(&WQRepos::QMVException::Message, message));
}

TEST(EnumTextMap, TextMustMatchExactly) {
  EXPECT_THAT([] { WQRepos::TextToEnum(kMap, std::wstring(L"load")); },
              RaisesMessage(L"String load not found in enumeration map."));
  EXPECT_THAT([] { WQRepos::TextToEnum(kMap, std::wstring(L" Load")); },
              RaisesMessage(L"String  Load not found in enumeration map."));
}

TEST(EnumTextMap, ValueNotInTheMapIsReportedInDecimal) {
  EXPECT_THAT([] { WQRepos::EnumToText(kMap, static_cast<Source>(7)); },
              RaisesMessage(L"Enumeration value 7 not found in enumeration map."));
  EXPECT_THAT([] { WQRepos::EnumToText(kMap, static_cast<Source>(-1)); },
              RaisesMessage(L"Enumeration value -1 not found in enumeration map."));
}

}  // namespace
