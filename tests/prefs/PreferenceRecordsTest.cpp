#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceRecords.h>
#include <gmock/gmock.h>

#include <string>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;
using WQBL::MZRange;
using WQRepos::GUILayoutPrefs;

std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }

// Of version 1: reads back what it wrote, replacing what the record held; refuses version 2 with
// "Unknown <name> version." before any field changes; refuses every truncation.
template <typename Record>
void ExpectBinaryForm(const Record& sample, const std::string& name) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(sample == Record());
  const std::string bytes = BytesOf(sample);
  EXPECT_EQ(bytes.substr(0, 4), U32(1));
  Record read;
  ReadFrom(bytes, read);
  EXPECT_TRUE(read == sample);
  ReadFrom(BytesOf(Record()), read);
  EXPECT_TRUE(read == Record());

  read = sample;
  EXPECT_THAT([&] { ReadFrom(U32(2) + BytesOf(Record()).substr(4), read); },
              ThrowsMessage<std::runtime_error>("Unknown " + name + " version."));
  EXPECT_TRUE(read == sample);
  for (std::size_t length = 0; length < bytes.size(); ++length)
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError) << length;
}

TEST(PreferenceRecords, EachReadsBackWhatItWroteAndRefusesOtherVersionsAndTruncation) {
  WQRepos::FieldPref field;
  field.Name = L"Intensity";
  field.Visible = false;
  ExpectBinaryForm(field, "FieldPref");

  WQRepos::GenTICPrefs tic;
  tic.Filter.Function = 2;
  tic.Option = 0;
  ExpectBinaryForm(tic, "GenTICPrefs");

  WQRepos::GenEICPrefs eic;
  eic.Filter.Polarity = WQBL::ICFilter::PositiveOnly;
  eic.MassRanges = {MZRange(MZRange::Bounded, 194.5, 195.5), MZRange(MZRange::Bounded, 151, 152)};
  eic.Names = {L"caffeine", L"paracetamol"};
  eic.Option = 1;
  ExpectBinaryForm(eic, "GenEICPrefs");

  WQRepos::GenBICPrefs bic;
  bic.Filter.Function = 0;
  bic.EvalMethodName = L"Peaks only";
  bic.MassRanges = {MZRange(MZRange::Bounded, 50.0, 1000.0)};
  bic.PeakFields = {WQBL::MZPeakField(WQBL::MZPeakField::Width)};
  bic.Option = 3;
  ExpectBinaryForm(bic, "GenBICPrefs");

  WQRepos::GenSpectraPrefs spectra;
  spectra.Values = {4000000000u, 0, 12};
  spectra.TimeRanges = {WQBL::ICRange(0.5, 1.25)};
  spectra.Names = {L"", L"run 1"};
  spectra.MassRange = MZRange(MZRange::Bounded, 100.0, 300.0);
  spectra.Option = 0;
  ExpectBinaryForm(spectra, "GenSpectraPrefs");
}

TEST(GUILayoutPrefs, WritesVersionTwoAndReadsVersionOneSettingTheFlagsItLacks) {
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

  read.FlagC = false;
  ReadFrom(U32(1) + Bool(false) + U32(7) + Bool(false) + Bool(false) + Bool(false) + Bool(false),
           read);
  EXPECT_EQ(BytesOf(read),
            U32(2) + Bool(false) + Bool(false) + U32(7) + Bool(true) + Bool(true) + Bool(false));
}

TEST(GUILayoutPrefs, UnknownVersionIsRefusedAndTheRecordKept) {
  GUILayoutPrefs kept;
  kept.Number = 11;
  EXPECT_THAT([&] { ReadFrom(U32(3) + std::string(9, '\0'), kept); },
              ThrowsMessage<std::runtime_error>("Unknown GUILayoutPrefs version."));
  EXPECT_EQ(BytesOf(kept),
            U32(2) + Bool(true) + Bool(true) + U32(11) + Bool(true) + Bool(true) + Bool(true));
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

TEST(GenEICPrefs, HugeRangeCountWithNothingAfterItIsRefused) {
  WQRepos::GenEICPrefs read;
  const std::string head = BytesOf(read).substr(0, 4 + BytesOf(read.Filter).size());
  EXPECT_THROW(ReadFrom(head + U32(4000000000u), read), WQCommon::StreamError);
}

using GenBICEvalMethodTest = DataDirectoryTest;

TEST_F(GenBICEvalMethodTest, EmptyNameGivesTheDefaultMethodAndAnyOtherTheStoredOneOrItsError) {
  WQRepos::GenBICPrefs prefs;
  EXPECT_EQ(prefs.QEvalMethod(), WQRepos::DefaultSpectrumEvalMethod());
  const std::vector<WQBL::CurveEval> stored{WQBL::CurveEval(WQBL::NoiseParams())};
  WQRepos::SaveSpectrumEvalMethod(L"noise", stored);
  prefs.EvalMethodName = L"noise";
  EXPECT_EQ(prefs.QEvalMethod(), stored);
  prefs.EvalMethodName = L"deleted";
  EXPECT_THAT([&] { prefs.QEvalMethod(); },
              ThrowsMessage<std::runtime_error>("Unable to open evaluation method file."));
}

}  // namespace
