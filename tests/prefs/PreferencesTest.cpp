#include <WQCommon/Text.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include <chrono>
#include <functional>
#include <set>
#include <sstream>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQBL::BaselineParams;

std::string BytesOf(const WQCommon::IWQSerial& record) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << record;
  return stream.str();
}

class PreferencesTest : public DataDirectoryTest {
 protected:
  fs::path File(const char* name) const { return Dir("Prefs") / (std::string(name) + ".pref"); }

  // Cuts the file `name` at every length short of its whole and expects `isDefaultConstructed`
  // of what the query then gives.
  void ExpectEveryTruncationGivesTheDefaultConstructed(const char* name,
                                                       const std::function<bool()>& isDefault) {
    const std::string whole = ReadBytes(File(name));
    ASSERT_FALSE(whole.empty());
    for (std::size_t length = 0; length < whole.size(); ++length) {
      WriteBytes(File(name), whole.substr(0, length));
      EXPECT_TRUE(isDefault()) << name << " cut at " << length;
    }
  }

  WQRepos::Preferences prefs;
};

TEST_F(PreferencesTest, WithoutFilesEachQueryGivesItsOwnDefault) {
  EXPECT_TRUE(prefs.QICBaseline() == BaselineParams::DefaultIC());
  EXPECT_TRUE(prefs.QICNoise() == WQBL::NoiseParams::DefaultIC());
  EXPECT_TRUE(prefs.QICPeakDetect() == WQBL::PeakDetectParams::DefaultIC());
  EXPECT_TRUE(prefs.QICSmooth() == WQBL::SmoothParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZBaseline() == BaselineParams::DefaultMS());
  EXPECT_TRUE(prefs.QMZNoise() == WQBL::NoiseParams::DefaultMS());
  EXPECT_TRUE(prefs.QMZOPD() == WQBL::OPDParams::DefaultMS());
  EXPECT_TRUE(prefs.QMZPeakDetect() == WQBL::PeakDetectParams::DefaultMS());
  EXPECT_TRUE(prefs.QMZSmooth() == WQBL::SmoothParams::DefaultMS());
  EXPECT_THAT(prefs.QTuneFieldOrder(), IsEmpty());
}

TEST_F(PreferencesTest, EveryPreferenceKeepsAFileOfItsOwnAndReadsBackWhatWasWritten) {
  // IC settings get spectrum defaults and the reverse, so a query that reads its twin's file
  // gives the wrong value.
  WQBL::ThresholdParams icThreshold, mzThreshold;
  icThreshold.Level = 10.0;
  mzThreshold.Level = 20.0;
  WQBL::RampAlgorithmParams ramp;
  ramp.Steps = 3;
  WQBL::ChargeStateParams chargeState;
  chargeState.MaxCharge = 5;
  WQBL::AppThreadingParams threading;
  threading.ThreadCount = 7;
  WQRepos::GenTICPrefs tic;
  tic.Option = 7;
  WQRepos::GenEICPrefs eic;
  eic.Names = {L"caffeine"};
  WQRepos::GenBICPrefs bic;
  bic.EvalMethodName = L"peaks";
  WQRepos::GenSpectraPrefs spectra;
  spectra.Values = {1, 2};
  WQRepos::GUILayoutPrefs layout;
  layout.Number = 9;
  std::vector<WQRepos::FieldPref> fields(4);
  for (std::size_t i = 0; i < fields.size(); ++i) fields[i].Name = std::wstring(i + 1, L'f');

  prefs.WICBaseline(BaselineParams::DefaultMS());
  prefs.WICNoise(WQBL::NoiseParams::DefaultMS());
  prefs.WICPeakDetect(WQBL::PeakDetectParams::DefaultMS());
  prefs.WICSmooth(WQBL::SmoothParams::DefaultMS());
  prefs.WICThreshold(icThreshold);
  prefs.WMZBaseline(BaselineParams::DefaultIC());
  prefs.WMZNoise(WQBL::NoiseParams::DefaultIC());
  prefs.WMZOPD(WQBL::OPDParams());
  prefs.WMZPeakDetect(WQBL::PeakDetectParams::DefaultIC());
  prefs.WMZSmooth(WQBL::SmoothParams::DefaultIC());
  prefs.WMZThreshold(mzThreshold);
  prefs.WRampAlgorithm(ramp);
  prefs.WCSDecon(chargeState);
  prefs.WAppThreadingPrefs(threading);
  prefs.WGenTIC(tic);
  prefs.WGenEIC(eic);
  prefs.WGenBIC(bic);
  prefs.WGenSpectra(spectra);
  prefs.WTuneFieldOrder({fields[0]});
  prefs.WStepTblColOrder({fields[1]});
  prefs.WICPkTblColOrder({fields[2]});
  prefs.WMZPkTblColOrder({fields[3]});
  prefs.WGUILayoutPrefs(layout);

  EXPECT_TRUE(prefs.QICBaseline() == BaselineParams::DefaultMS());
  EXPECT_TRUE(prefs.QICNoise() == WQBL::NoiseParams::DefaultMS());
  EXPECT_TRUE(prefs.QICPeakDetect() == WQBL::PeakDetectParams::DefaultMS());
  EXPECT_TRUE(prefs.QICSmooth() == WQBL::SmoothParams::DefaultMS());
  EXPECT_TRUE(prefs.QICThreshold() == icThreshold);
  EXPECT_TRUE(prefs.QMZBaseline() == BaselineParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZNoise() == WQBL::NoiseParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZOPD() == WQBL::OPDParams());
  EXPECT_TRUE(prefs.QMZPeakDetect() == WQBL::PeakDetectParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZSmooth() == WQBL::SmoothParams::DefaultIC());
  EXPECT_TRUE(prefs.QMZThreshold() == mzThreshold);
  EXPECT_TRUE(prefs.QRampAlgorithm() == ramp);
  EXPECT_TRUE(prefs.QCSDecon() == chargeState);
  EXPECT_TRUE(prefs.QAppThreadingPrefs() == threading);
  EXPECT_TRUE(prefs.QGenTIC() == tic);
  EXPECT_TRUE(prefs.QGenEIC() == eic);
  EXPECT_TRUE(prefs.QGenBIC() == bic);
  EXPECT_TRUE(prefs.QGenSpectra() == spectra);
  EXPECT_EQ(prefs.QTuneFieldOrder(), std::vector<WQRepos::FieldPref>{fields[0]});
  EXPECT_EQ(prefs.QStepTblColOrder(), std::vector<WQRepos::FieldPref>{fields[1]});
  EXPECT_EQ(prefs.QICPkTblColOrder(), std::vector<WQRepos::FieldPref>{fields[2]});
  EXPECT_EQ(prefs.QMZPkTblColOrder(), std::vector<WQRepos::FieldPref>{fields[3]});
  EXPECT_EQ(prefs.QGUILayoutPrefs().Number, 9u);

  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(Dir("Prefs")))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{
                       "ICBaseline.pref",      "ICNoise.pref",         "ICPeakDetect.pref",
                       "ICSmooth.pref",        "ICThreshold.pref",     "MZBaseline.pref",
                       "MZNoise.pref",         "MZOPD.pref",           "MZPeakDetect.pref",
                       "MZSmooth.pref",        "MZThreshold.pref",     "RampAlgorithm.pref",
                       "CSDecon.pref",         "MultiThread.pref",     "GenTIC.pref",
                       "GenEIC.pref",          "GenBIC.pref",          "GenSpectra.pref",
                       "TuneFieldOrder.pref",  "StepTblColOrder.pref", "ICPkTblColOrder.pref",
                       "MZPkTblColOrder.pref", "GUILayout.pref"}));
}

TEST_F(PreferencesTest, ChromatogramAndSpectrumSettingsAreKeptApart) {
  BaselineParams written;
  written.WindowWidth = 3;
  prefs.WICBaseline(written);
  EXPECT_TRUE(prefs.QICBaseline() == written);
  EXPECT_TRUE(prefs.QMZBaseline() == BaselineParams::DefaultMS());
}

TEST_F(PreferencesTest, UnreadableFileGivesTheDefaultConstructedRecordNotTheQueryDefault) {
  const std::string body = BytesOf(BaselineParams::DefaultMS());
  std::string refusedBody = body;
  refusedBody[0] = 7;
  for (const std::string& content : {std::string(), U32(2) + body, U32(1) + refusedBody}) {
    WriteBytes(File("ICBaseline"), content);
    EXPECT_TRUE(prefs.QICBaseline() == BaselineParams()) << content.size();
  }
}

TEST_F(PreferencesTest, EveryTruncationGivesTheDefaultConstructedRecord) {
  WQRepos::GenBICPrefs bic;
  bic.MassRanges = {WQBL::MZRange(WQBL::MZRange::Bounded, 100.0, 200.0)};
  prefs.WGenBIC(bic);
  prefs.WICPeakDetect(WQBL::PeakDetectParams::DefaultMS());
  prefs.WGUILayoutPrefs(WQRepos::GUILayoutPrefs());
  WQRepos::FieldPref field;
  field.Name = L"Mass";
  prefs.WTuneFieldOrder({field, field});

  ExpectEveryTruncationGivesTheDefaultConstructed(
      "GenBIC", [this] { return prefs.QGenBIC() == WQRepos::GenBICPrefs(); });
  ExpectEveryTruncationGivesTheDefaultConstructed(
      "ICPeakDetect", [this] { return prefs.QICPeakDetect() == WQBL::PeakDetectParams(); });
  ExpectEveryTruncationGivesTheDefaultConstructed(
      "GUILayout", [this] { return prefs.QGUILayoutPrefs().Number == 4; });
  ExpectEveryTruncationGivesTheDefaultConstructed(
      "TuneFieldOrder", [this] { return prefs.QTuneFieldOrder().empty(); });
}

TEST_F(PreferencesTest, EmptyFieldOrderIsTheVersionAndACountOfZero) {
  prefs.WStepTblColOrder({});
  EXPECT_EQ(ReadBytes(File("StepTblColOrder")), U32(1) + U32(0));
  EXPECT_THAT(prefs.QStepTblColOrder(), IsEmpty());
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

TEST_F(PreferencesTest, SaveReplacesTheWholeFileWithTheFrameVersionAndTheRecord) {
  WriteBytes(File("ICThreshold"), std::string(100, 'x'));
  prefs.WICThreshold(WQBL::ThresholdParams());
  EXPECT_EQ(ReadBytes(File("ICThreshold")), U32(1) + BytesOf(WQBL::ThresholdParams()));
}

}  // namespace

namespace {

using WQRepos::AutotuneDlgPrefs;
using WQRepos::AutotunePrefs;

std::wstring DefaultTuneMix(const fs::path& autotuneDir) {
  return WQCommon::WQNarrowToWideStr(
      (autotuneDir / "QMV Tune mix positive up to 2000u.xtc").string());
}

TEST_F(PreferencesTest, AutotuneDialogWithoutFileGetsTheDefaultTuneMixFile) {
  AutotuneDlgPrefs expected;
  expected.TuneMixFile = DefaultTuneMix(Dir("Autotune"));
  EXPECT_EQ(WQRepos::Preferences().QAutotunePrefs(), expected);
}

TEST_F(PreferencesTest, AutotuneDialogIsStoredWithoutCompletionAndCompletedOnEveryRead) {
  WQRepos::Preferences prefs;
  AutotuneDlgPrefs stored;
  stored.Value1 = 17;
  prefs.WAutotunePrefs(stored);
  const AutotuneDlgPrefs read = prefs.QAutotunePrefs();
  EXPECT_EQ(read.TuneMixFile, DefaultTuneMix(Dir("Autotune")));
  EXPECT_EQ(read.Value1, 17);

  stored.TuneMixFile = L"/elsewhere/mix.xtc";
  prefs.WAutotunePrefs(stored);
  EXPECT_EQ(prefs.QAutotunePrefs(), stored);

  // Even the record a broken file resets to is completed.
  WriteBytes(Dir("Prefs") / "AutoTune.pref", U32(1) + U32(9));
  EXPECT_EQ(prefs.QAutotunePrefs().TuneMixFile, DefaultTuneMix(Dir("Autotune")));
}

TEST_F(PreferencesTest, AutotuneCompoundsKeepAFileOfTheirOwn) {
  WQRepos::Preferences prefs;
  EXPECT_EQ(prefs.QATCprefs(), AutotunePrefs());
  AutotunePrefs compounds;
  compounds.PrimeDelay = 60;
  compounds.TunePoints.push_back({L"Caffeine", 195.09, 20, 1.5e6, 0.8});
  prefs.WATCprefs(compounds);
  EXPECT_TRUE(fs::exists(Dir("Prefs") / "AutoTuneCmpnds.pref"));
  EXPECT_EQ(prefs.QATCprefs(), compounds);
}

}  // namespace
