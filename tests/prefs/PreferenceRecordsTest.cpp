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
using WQRepos::GUILayoutPrefs;

std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }

// A record of version 1 read from version 2 throws "Unknown <name> version." before any field
// changes.
template <typename Record>
void ExpectOtherVersionRefused(const Record& sample, const std::string& name) {
  ASSERT_FALSE(sample == Record()) << name;
  Record read = sample;
  EXPECT_THAT([&] { ReadFrom(U32(2) + BytesOf(Record()).substr(4), read); },
              ThrowsMessage<std::runtime_error>("Unknown " + name + " version."));
  EXPECT_TRUE(read == sample) << name;
}

TEST(PreferenceRecords, OtherVersionIsRefusedAndTheRecordKept) {
  WQRepos::FieldPref field;
  field.Visible = false;
  ExpectOtherVersionRefused(field, "FieldPref");
  WQRepos::GenTICPrefs tic;
  tic.Option = 0;
  ExpectOtherVersionRefused(tic, "GenTICPrefs");
  WQRepos::GenEICPrefs eic;
  eic.Names = {L"caffeine"};
  ExpectOtherVersionRefused(eic, "GenEICPrefs");
  WQRepos::GenBICPrefs bic;
  bic.EvalMethodName = L"Peaks only";
  ExpectOtherVersionRefused(bic, "GenBICPrefs");
  WQRepos::GenSpectraPrefs spectra;
  spectra.Values = {12};
  ExpectOtherVersionRefused(spectra, "GenSpectraPrefs");
}

TEST(GUILayoutPrefs, ReadsVersionOneSettingTheFlagsItLacks) {
  GUILayoutPrefs read;
  read.FlagC = read.FlagD = false;
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

TEST(GenBICPrefs, DefaultPeakFieldsAreTypesZeroTwoOneThree) {
  EXPECT_THAT(WQRepos::GenBICPrefs().PeakFields,
              ElementsAre(WQBL::MZPeakField(WQBL::MZPeakField::Types(0)),
                          WQBL::MZPeakField(WQBL::MZPeakField::Types(2)),
                          WQBL::MZPeakField(WQBL::MZPeakField::Types(1)),
                          WQBL::MZPeakField(WQBL::MZPeakField::Types(3))));
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
