#include <WQCommon/Text.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include <chrono>
#include <functional>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQBL::BaselineParams;
using WQRepos::AutotuneDlgPrefs;
using WQRepos::FieldPref;

// A default-constructed `Record` changed by `change`.
template <typename Record, typename Change>
Record Changed(Change change) {
  Record record;
  change(record);
  return record;
}

std::vector<FieldPref> FieldNamed(const wchar_t* name) {
  return {Changed<FieldPref>([name](FieldPref& field) { field.Name = name; })};
}

// Writes `value` as the preference `Name` and expects its query to give it back.
#define EXPECT_PREFERENCE_KEPT(Name, value)           \
  do {                                                \
    prefs.W##Name(value);                             \
    EXPECT_TRUE(prefs.Q##Name() == (value)) << #Name; \
  } while (false)

class PreferencesTest : public DataDirectoryTest {
 protected:
  fs::path File(const char* name) const { return Dir("Prefs") / (std::string(name) + ".pref"); }

  std::wstring DefaultTuneMix() const {
    return Wide(Dir("Autotune") / "QMV Tune mix positive up to 2000u.xtc");
  }

  WQRepos::Preferences prefs;
};

TEST_F(PreferencesTest, MissingFileGivesTheQueryDefaultAndUnreadableOneTheDefaultConstructed) {
  EXPECT_TRUE(prefs.QICBaseline() == BaselineParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZBaseline() == BaselineParams::DefaultMS());
  EXPECT_TRUE(prefs.QMZOPD() == WQBL::OPDParams::DefaultMS());
  EXPECT_THAT(prefs.QTuneFieldOrder(), IsEmpty());

  // Empty, of frame version 2, and holding a record version the record refuses.
  const std::string body = BytesOf(BaselineParams::DefaultMS());
  std::string refusedBody = body;
  refusedBody[0] = 7;
  for (const std::string& content : {std::string(), U32(2) + body, U32(1) + refusedBody}) {
    WriteBytes(File("ICBaseline"), content);
    EXPECT_TRUE(prefs.QICBaseline() == BaselineParams()) << content.size();
  }
}

TEST_F(PreferencesTest, EveryPreferenceReadsBackWhatWasWrittenNotItsTwins) {
  using namespace WQBL;
  using namespace WQRepos;
  // IC settings get spectrum defaults and the reverse, and no two twins hold the same value, so a
  // query that reads its twin's file gives the wrong value.
  EXPECT_PREFERENCE_KEPT(ICBaseline, BaselineParams::DefaultMS());
  EXPECT_PREFERENCE_KEPT(ICNoise, NoiseParams::DefaultMS());
  EXPECT_PREFERENCE_KEPT(ICPeakDetect, PeakDetectParams::DefaultMS());
  EXPECT_PREFERENCE_KEPT(ICSmooth, SmoothParams::DefaultMS());
  EXPECT_PREFERENCE_KEPT(ICThreshold, Changed<ThresholdParams>([](auto& p) { p.Level = 1; }));
  EXPECT_PREFERENCE_KEPT(MZBaseline, BaselineParams::DefaultIC());
  EXPECT_PREFERENCE_KEPT(MZNoise, NoiseParams::DefaultIC());
  EXPECT_PREFERENCE_KEPT(MZOPD, OPDParams());
  EXPECT_PREFERENCE_KEPT(MZPeakDetect, PeakDetectParams::DefaultIC());
  EXPECT_PREFERENCE_KEPT(MZSmooth, SmoothParams::DefaultIC());
  EXPECT_PREFERENCE_KEPT(MZThreshold, Changed<ThresholdParams>([](auto& p) { p.Level = 2; }));
  EXPECT_PREFERENCE_KEPT(RampAlgorithm, Changed<RampAlgorithmParams>([](auto& p) { p.Steps = 3; }));
  EXPECT_PREFERENCE_KEPT(CSDecon, Changed<ChargeStateParams>([](auto& p) { p.MaxCharge = 5; }));
  EXPECT_PREFERENCE_KEPT(AppThreadingPrefs,
                         Changed<AppThreadingParams>([](auto& p) { p.ThreadCount = 7; }));
  EXPECT_PREFERENCE_KEPT(GenTIC, Changed<GenTICPrefs>([](auto& p) { p.Option = 7; }));
  EXPECT_PREFERENCE_KEPT(GenEIC, Changed<GenEICPrefs>([](auto& p) { p.Names = {L"a"}; }));
  EXPECT_PREFERENCE_KEPT(GenBIC, Changed<GenBICPrefs>([](auto& p) { p.EvalMethodName = L"a"; }));
  EXPECT_PREFERENCE_KEPT(GenSpectra, Changed<GenSpectraPrefs>([](auto& p) { p.Values = {1, 2}; }));
  EXPECT_PREFERENCE_KEPT(TuneFieldOrder, FieldNamed(L"f"));
  EXPECT_PREFERENCE_KEPT(StepTblColOrder, FieldNamed(L"ff"));
  EXPECT_PREFERENCE_KEPT(ICPkTblColOrder, FieldNamed(L"fff"));
  EXPECT_PREFERENCE_KEPT(MZPkTblColOrder, FieldNamed(L"ffff"));
  EXPECT_PREFERENCE_KEPT(ATCprefs, Changed<AutotunePrefs>([](auto& p) { p.PrimeDelay = 60; }));
  prefs.WGUILayoutPrefs(Changed<GUILayoutPrefs>([](auto& p) { p.Number = 9; }));
  EXPECT_EQ(prefs.QGUILayoutPrefs().Number, 9u);
}

TEST_F(PreferencesTest, EveryTruncationGivesTheDefaultConstructedRecord) {
  prefs.WICPeakDetect(WQBL::PeakDetectParams::DefaultMS());
  prefs.WTuneFieldOrder({FieldNamed(L"Mass")[0], FieldNamed(L"Time")[0]});
  const std::pair<const char*, std::function<bool()>> queries[] = {
      {"ICPeakDetect", [this] { return prefs.QICPeakDetect() == WQBL::PeakDetectParams(); }},
      {"TuneFieldOrder", [this] { return prefs.QTuneFieldOrder().empty(); }}};
  for (const auto& [name, givesDefaultConstructed] : queries) {
    const std::string whole = ReadBytes(File(name));
    for (std::size_t length = 0; length < whole.size(); ++length) {
      WriteBytes(File(name), whole.substr(0, length));
      EXPECT_TRUE(givesDefaultConstructed()) << name << " cut at " << length;
    }
  }
}

TEST_F(PreferencesTest, HugeFieldCountWithNothingAfterItGivesAnEmptyOrderQuickly) {
  WriteBytes(File("MZPkTblColOrder"), U32(1) + U32(4000000000u));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT(prefs.QMZPkTblColOrder(), IsEmpty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(PreferencesTest, SaveIntoMissingDirectoryThrowsNamingTheFile) {
  fs::remove_all(Dir("Prefs"));
  EXPECT_THAT([this] { prefs.WGenTIC(WQRepos::GenTICPrefs()); },
              ThrowsMessage<std::runtime_error>(
                  "In function`anonymous-namespace'::SavePreference; \nerror creating/saving "
                  "preference file " +
                  File("GenTIC").string()));
  EXPECT_FALSE(fs::exists(Dir("Prefs")));
}

TEST_F(PreferencesTest, AutotuneDialogIsStoredAsItIsAndCompletedWithTheTuneMixOnEveryRead) {
  AutotuneDlgPrefs expected;
  expected.TuneMixFile = DefaultTuneMix();
  EXPECT_EQ(prefs.QAutotunePrefs(), expected);

  AutotuneDlgPrefs stored;
  stored.Value1 = 17;
  prefs.WAutotunePrefs(stored);
  EXPECT_EQ(ReadBytes(File("AutoTune")), U32(1) + BytesOf(stored));
  expected.Value1 = 17;
  EXPECT_EQ(prefs.QAutotunePrefs(), expected);

  stored.TuneMixFile = L"/elsewhere/mix.xtc";
  prefs.WAutotunePrefs(stored);
  EXPECT_EQ(prefs.QAutotunePrefs(), stored);

  // Even the record a broken file resets to is completed.
  WriteBytes(File("AutoTune"), U32(1) + U32(9));
  EXPECT_EQ(prefs.QAutotunePrefs().TuneMixFile, DefaultTuneMix());
}

}  // namespace
