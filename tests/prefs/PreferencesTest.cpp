#include <WQCommon/Text.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceCatalogue.h>
#include <WQRepos/Preferences.h>
#include <WQRepos/RefCals.h>
#include <gmock/gmock.h>

#include <cmath>
#include <set>
#include <sstream>
#include <type_traits>

#include "Samples.h"
#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQRepos::AutotuneDlgPrefs;
using WQRepos::GUILayoutPrefs;
using WQRepos::RefCal;

class PreferencesTest : public DataDirectoryTest {
 protected:
  fs::path File(const std::string& name) const { return Dir("Prefs") / (name + ".pref"); }

  // The autotune dialog's query completes an empty tune-mix file with this one.
  std::wstring DefaultTuneMix() const {
    return Wide(Dir("Autotune") / "QMV Tune mix positive up to 2000u.xtc");
  }

  WQRepos::Preferences prefs;
};

// Written out independently of the catalogue: the chromatogram (IC) settings take the records'
// DefaultIC(), the spectrum (MZ) settings their DefaultMS(); the rest are the plain records of the
// next test. So they do when a folder stands where the file would: it cannot be opened either.
// The autotune dialog is stored as given, without the tune-mix file its query completes.
TEST_F(PreferencesTest, TailoredQueriesWithoutAFileGiveTheirDefaultsAndTheDialogIsStoredAsGiven) {
  using namespace WQBL;
  fs::create_directory(File("ICBaseline"));
  fs::create_directory(File("MZSmooth"));
  EXPECT_EQ(prefs.QICBaseline(), BaselineParams::DefaultIC());
  EXPECT_EQ(prefs.QICNoise(), NoiseParams::DefaultIC());
  EXPECT_EQ(prefs.QICPeakDetect(), PeakDetectParams::DefaultIC());
  EXPECT_EQ(prefs.QICSmooth(), SmoothParams::DefaultIC());
  EXPECT_EQ(prefs.QMZBaseline(), BaselineParams::DefaultMS());
  EXPECT_EQ(prefs.QMZNoise(), NoiseParams::DefaultMS());
  EXPECT_EQ(prefs.QMZOPD(), OPDParams::DefaultMS());
  EXPECT_EQ(prefs.QMZPeakDetect(), PeakDetectParams::DefaultMS());
  EXPECT_EQ(prefs.QMZSmooth(), SmoothParams::DefaultMS());
  std::vector<MZPeakField> peakFields;
  for (const int type : {0, 2, 1, 3}) peakFields.emplace_back(MZPeakField::Types(type));
  EXPECT_EQ(prefs.QGenBIC().PeakFields, peakFields);
  prefs.WAutotunePrefs(AutotuneDlgPrefs());
  EXPECT_EQ(ReadBytes(File("AutoTune")), U32(1) + BytesOf(AutotuneDlgPrefs()));
}

// Without a file, every query but the tailored ones above gives the plain record: the
// default-constructed one, with the tune-mix file completed for the autotune dialog. So does
// every query for another file version, a record version older or newer than the record's, or a
// file cut short anywhere. A dialog record cut short keeps those of its first three fields that it
// read whole.
TEST_F(PreferencesTest, QueriesGiveThePlainRecordWithoutAFileOrForOneTheyCannotRead) {
  const std::set<std::wstring> tailored{L"ICBaseline", L"ICNoise",      L"ICPeakDetect",
                                        L"ICSmooth",   L"MZBaseline",   L"MZNoise",
                                        L"MZOPD",      L"MZPeakDetect", L"MZSmooth"};
  WQRepos::ForEachPreference([&](const auto& entry) {
    using Record = std::decay_t<decltype(entry.Default())>;
    const std::string name = WQCommon::WQWideToNarrowStr(entry.Name);
    const auto query = [&] { return (prefs.*entry.Query)(); };
    Record plain;
    if constexpr (std::is_same_v<Record, AutotuneDlgPrefs>) plain.TuneMixFile = DefaultTuneMix();
    EXPECT_TRUE(tailored.count(entry.Name) > 0 || Same(query(), plain)) << name << ", no file";

    const Record varied = wqfuzz::Varied(entry.Default());
    (prefs.*entry.Write)(varied);
    const std::string file = ReadBytes(File(name));
    for (const std::string& content : {U32(2) + file.substr(4), U32(1) + U32(0) + file.substr(8),
                                       U32(1) + U32(99) + file.substr(8)}) {
      WriteBytes(File(name), content);
      EXPECT_TRUE(Same(query(), plain)) << name << ", another version";
    }
    for (std::size_t length = 0; length < file.size(); ++length) {
      WriteBytes(File(name), file.substr(0, length));
      Record cut = plain;
      if constexpr (std::is_same_v<Record, AutotuneDlgPrefs>) {
        // File and record versions, the tune-mix file's length and UTF-16 text, two int64s.
        const std::size_t mixEnd = 12 + 2 * varied.TuneMixFile.size();
        if (length >= mixEnd) cut.TuneMixFile = varied.TuneMixFile;
        if (length >= mixEnd + 8) cut.Value1 = varied.Value1;
        if (length >= mixEnd + 16) cut.Value2 = varied.Value2;
      }
      EXPECT_TRUE(Same(query(), cut)) << name << ", cut at " << length;
    }
  });
}

std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }

TEST(GUILayoutPrefs, ReadsVersionOneSettingTheFlagsItLacks) {
  GUILayoutPrefs read;
  read.FlagC = read.FlagD = false;
  std::istringstream stream(U32(1) + Bool(false) + U32(7) + Bool(false) + Bool(false) +
                            Bool(false) + Bool(false));
  WQCommon::BinaryReader reader(stream);
  reader >> read;
  EXPECT_EQ(BytesOf(read),
            U32(2) + Bool(false) + Bool(false) + U32(7) + Bool(true) + Bool(true) + Bool(false));
}

TEST_F(PreferencesTest, BICEvalMethodIsTheDefaultForAnEmptyNameElseTheStoredOneOrItsError) {
  WQRepos::GenBICPrefs bic;
  EXPECT_EQ(bic.QEvalMethod(), WQRepos::DefaultSpectrumEvalMethod());
  const std::vector<WQBL::CurveEval> stored{WQBL::CurveEval(WQBL::NoiseParams())};
  WQRepos::SaveSpectrumEvalMethod(L"noise", stored);
  bic.EvalMethodName = L"noise";
  EXPECT_EQ(bic.QEvalMethod(), stored);
  bic.EvalMethodName = L"deleted";
  EXPECT_THAT([&] { bic.QEvalMethod(); },
              ThrowsMessage<std::runtime_error>("Unable to open evaluation method file."));
}

TEST(RefCal, ValuesWithinOneMillionthAreEqual) {
  const RefCal base(L"Cs", 0.0, 0.0, 0.0);
  EXPECT_TRUE(base == RefCal(L"Cs", 1e-6, -1e-6, 1e-6));
  for (const RefCal& other : {RefCal(L"Cs", 2e-6, 0.0, 0.0), RefCal(L"Cs", 0.0, 2e-6, 0.0),
                              RefCal(L"Cs", 0.0, 0.0, 2e-6), RefCal(L"cs", 0.0, 0.0, 0.0)})
    EXPECT_FALSE(base == other);
  const RefCal notANumber(L"Cs", std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(notANumber == notANumber);
}

TEST_F(PreferencesTest, MissingRefCalsFileIsAnEmptyListAndVersionOneRecordsGetParam3) {
  EXPECT_THAT(WQRepos::LoadReferenceCalibrants(), IsEmpty());
  const std::string version1 = U32(1) + U32(0) + BytesOf(195.0877) + BytesOf(0.5);
  WriteBytes(Dir("Calibration") / "RefCals.cal",
             U32(1) + U32(2) + version1 + BytesOf(RefCal(L"b", 1.0, 2.0, 3.0)));
  EXPECT_THAT(WQRepos::LoadReferenceCalibrants(),
              ElementsAre(RefCal(L"", 195.0877, 0.5, 100000.0), RefCal(L"b", 1.0, 2.0, 3.0)));
}

}  // namespace
