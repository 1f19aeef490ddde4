#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceRecords.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;
using WQRepos::FieldPref;
using WQRepos::GUILayoutPrefs;

std::string BytesOf(const WQCommon::IWQSerial& record) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << record;
  return stream.str();
}

void ReadFrom(const std::string& bytes, WQCommon::IWQSerial& record) {
  std::istringstream stream(bytes);
  WQCommon::BinaryReader reader(stream);
  reader >> record;
}

std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }

TEST(FieldPref, NamesThatDifferOnlyInCaseAreNotEqual) {
  FieldPref upper, lower;
  upper.Name = L"Mass";
  lower.Name = L"mass";
  EXPECT_FALSE(upper == lower);
  lower.Name = L"Mass";
  EXPECT_TRUE(upper == lower);
  lower.Visible = false;
  EXPECT_FALSE(upper == lower);
}

TEST(FieldPref, ReadsBackWhatItWroteAndRefusesOtherVersions) {
  FieldPref written;
  written.Name = L"Intensity";
  written.Visible = false;
  FieldPref read;
  ReadFrom(BytesOf(written), read);
  EXPECT_TRUE(read == written);
  EXPECT_THAT([&] { ReadFrom(U32(2) + BytesOf(written).substr(4), read); },
              ThrowsMessage<std::runtime_error>("Unknown FieldPref version."));
}

TEST(GUILayoutPrefs, WritesVersionTwoWithItsFieldsInOrderAndReadsThemBack) {
  GUILayoutPrefs written;
  written.FlagA = false;
  written.Number = 0x01020304;
  written.FlagD = false;
  EXPECT_EQ(BytesOf(written), U32(2) + Bool(false) + Bool(true) + U32(0x01020304) + Bool(true) +
                                  Bool(false) + Bool(true));
  GUILayoutPrefs read;
  read.FlagE = false;
  ReadFrom(BytesOf(written), read);
  EXPECT_EQ(BytesOf(read), BytesOf(written));
}

TEST(GUILayoutPrefs, VersionOneSkipsItsUnusedFlagsAndSetsTheNewOnes) {
  GUILayoutPrefs read;
  read.FlagC = read.FlagD = false;
  ReadFrom(U32(1) + Bool(false) + U32(7) + Bool(false) + Bool(false) + Bool(false) + Bool(false),
           read);
  EXPECT_FALSE(read.FlagA);
  EXPECT_FALSE(read.FlagB);
  EXPECT_EQ(read.Number, 7u);
  EXPECT_TRUE(read.FlagC);
  EXPECT_TRUE(read.FlagD);
  EXPECT_FALSE(read.FlagE);
}

TEST(GUILayoutPrefs, UnknownVersionIsRefusedAndTheRecordKept) {
  GUILayoutPrefs read;
  read.Number = 11;
  EXPECT_THAT([&] { ReadFrom(U32(3) + std::string(9, '\0'), read); },
              ThrowsMessage<std::runtime_error>("Unknown GUILayoutPrefs version."));
  EXPECT_EQ(read.Number, 11u);
  EXPECT_TRUE(read.FlagA && read.FlagB && read.FlagC && read.FlagD && read.FlagE);
}

// For each generation record: its name, and a value that differs from the default in every
// field.
template <typename Record>
struct Case;

template <>
struct Case<WQRepos::GenTICPrefs> {
  static constexpr const char* kName = "GenTICPrefs";
  static WQRepos::GenTICPrefs Sample() {
    WQRepos::GenTICPrefs prefs;
    prefs.Filter.Function = 2;
    prefs.Option = 0;
    return prefs;
  }
};

template <>
struct Case<WQRepos::GenEICPrefs> {
  static constexpr const char* kName = "GenEICPrefs";
  static WQRepos::GenEICPrefs Sample() {
    WQRepos::GenEICPrefs prefs;
    prefs.Filter.Polarity = WQBL::ICFilter::PositiveOnly;
    prefs.MassRanges = {WQBL::MZRange(WQBL::MZRange::Bounded, 194.5, 195.5),
                        WQBL::MZRange(WQBL::MZRange::Bounded, 151.5, 152.5)};
    prefs.Names = {L"caffeine", L"paracetamol"};
    prefs.Option = 1;
    return prefs;
  }
};

template <>
struct Case<WQRepos::GenBICPrefs> {
  static constexpr const char* kName = "GenBICPrefs";
  static WQRepos::GenBICPrefs Sample() {
    WQRepos::GenBICPrefs prefs;
    prefs.Filter.Function = 0;
    prefs.EvalMethodName = L"Peaks only";
    prefs.MassRanges = {WQBL::MZRange(WQBL::MZRange::Bounded, 50.0, 1000.0)};
    prefs.PeakFields = {WQBL::MZPeakField(WQBL::MZPeakField::Width)};
    prefs.Option = 3;
    return prefs;
  }
};

template <>
struct Case<WQRepos::GenSpectraPrefs> {
  static constexpr const char* kName = "GenSpectraPrefs";
  static WQRepos::GenSpectraPrefs Sample() {
    WQRepos::GenSpectraPrefs prefs;
    prefs.Values = {4000000000u, 0, 12};
    prefs.TimeRanges = {WQBL::ICRange(0.5, 1.25)};
    prefs.Names = {L"", L"run 1"};
    prefs.MassRange = WQBL::MZRange(WQBL::MZRange::Bounded, 100.0, 300.0);
    prefs.Option = 0;
    return prefs;
  }
};

template <typename Record>
class GenerationPrefsTest : public ::testing::Test {};

using GenerationRecords = ::testing::Types<WQRepos::GenTICPrefs, WQRepos::GenEICPrefs,
                                           WQRepos::GenBICPrefs, WQRepos::GenSpectraPrefs>;
TYPED_TEST_SUITE(GenerationPrefsTest, GenerationRecords);

TYPED_TEST(GenerationPrefsTest, ReadsBackWhatItWroteAfterVersionOne) {
  const TypeParam written = Case<TypeParam>::Sample();
  ASSERT_FALSE(written == TypeParam());
  const std::string bytes = BytesOf(written);
  EXPECT_EQ(bytes.substr(0, 4), U32(1));
  TypeParam read;
  ReadFrom(bytes, read);
  EXPECT_TRUE(read == written);
}

TYPED_TEST(GenerationPrefsTest, UnknownVersionIsRefusedAndTheRecordKept) {
  const TypeParam sample = Case<TypeParam>::Sample();
  TypeParam read = sample;
  EXPECT_THAT([&] { ReadFrom(U32(2) + BytesOf(TypeParam()).substr(4), read); },
              ThrowsMessage<std::runtime_error>(std::string("Unknown ") + Case<TypeParam>::kName +
                                                " version."));
  EXPECT_TRUE(read == sample);
}

TYPED_TEST(GenerationPrefsTest, TruncatedRecordIsRefusedAtEveryLength) {
  const std::string bytes = BytesOf(Case<TypeParam>::Sample());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TypeParam read;
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError) << length;
  }
}

TEST(GenBICPrefs, DefaultPeakFieldsAreTypesZeroTwoOneThreeAndAreWrittenAsFour) {
  const WQRepos::GenBICPrefs prefs;
  EXPECT_THAT(prefs.PeakFields, ElementsAre(WQBL::MZPeakField(WQBL::MZPeakField::Types(0)),
                                            WQBL::MZPeakField(WQBL::MZPeakField::Types(2)),
                                            WQBL::MZPeakField(WQBL::MZPeakField::Types(1)),
                                            WQBL::MZPeakField(WQBL::MZPeakField::Types(3))));
  // Version, filter, empty name, no ranges: then the count of the peak fields.
  const std::size_t countAt = 4 + BytesOf(prefs.Filter).size() + 4 + 4;
  EXPECT_EQ(BytesOf(prefs).substr(countAt, 4), U32(4));
}

TEST(GenEICPrefs, StoredCountOfZeroEmptiesTheRangesItHeld) {
  WQRepos::GenEICPrefs read = Case<WQRepos::GenEICPrefs>::Sample();
  ReadFrom(BytesOf(WQRepos::GenEICPrefs()), read);
  EXPECT_TRUE(read.MassRanges.empty());
  EXPECT_TRUE(read.Names.empty());
}

TEST(GenEICPrefs, HugeRangeCountWithNothingAfterItIsRefused) {
  const WQRepos::GenEICPrefs prefs;
  const std::string head = BytesOf(prefs).substr(0, 4 + BytesOf(prefs.Filter).size());
  WQRepos::GenEICPrefs read;
  EXPECT_THROW(ReadFrom(head + U32(4000000000u), read), WQCommon::StreamError);
}

TEST(GenSpectraPrefs, OrderOfValuesMatters) {
  WQRepos::GenSpectraPrefs first, second;
  first.Values = {1, 2};
  second.Values = {2, 1};
  EXPECT_FALSE(first == second);
}

class GenBICEvalMethodTest : public DataDirectoryTest {};

TEST_F(GenBICEvalMethodTest, EmptyNameGivesTheDefaultMethodAndANameTheStoredOne) {
  WQRepos::GenBICPrefs prefs;
  EXPECT_EQ(prefs.QEvalMethod(), WQRepos::DefaultSpectrumEvalMethod());
  const std::vector<WQBL::CurveEval> stored{WQBL::CurveEval(WQBL::NoiseParams())};
  WQRepos::SaveSpectrumEvalMethod(L"noise", stored);
  prefs.EvalMethodName = L"noise";
  EXPECT_EQ(prefs.QEvalMethod(), stored);
}

TEST_F(GenBICEvalMethodTest, NameOfAMissingMethodIsAnErrorNotTheDefault) {
  WQRepos::GenBICPrefs prefs;
  prefs.EvalMethodName = L"deleted";
  EXPECT_THAT([&] { prefs.QEvalMethod(); },
              ThrowsMessage<std::runtime_error>("Unable to open evaluation method file."));
}

}  // namespace
