#include <WQCommon/Text.h>
#include <WQRepos/PreferenceCatalogue.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include <chrono>
#include <optional>
#include <tuple>
#include <type_traits>

#include "Samples.h"
#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQRepos::AutotuneDlgPrefs;

class PreferencesTest : public DataDirectoryTest {
 protected:
  fs::path File(const std::string& name) const { return Dir("Prefs") / (name + ".pref"); }

  std::wstring DefaultTuneMix() const {
    return Wide(Dir("Autotune") / "QMV Tune mix positive up to 2000u.xtc");
  }

  WQRepos::Preferences prefs;
};

template <typename Record>
struct Expected {
  const wchar_t* name;
  Record value;
};

// What each query gives without a file, written out independently of the catalogue: the
// chromatogram (IC) settings take the records' DefaultIC(), the spectrum (MZ) settings their
// DefaultMS(), the rest the default-constructed records.
auto ExpectedDefaults() {
  using namespace WQBL;
  using namespace WQRepos;
  using Fields = std::vector<FieldPref>;
  return std::make_tuple(Expected<BaselineParams>{L"ICBaseline", BaselineParams::DefaultIC()},
                         Expected<NoiseParams>{L"ICNoise", NoiseParams::DefaultIC()},
                         Expected<PeakDetectParams>{L"ICPeakDetect", PeakDetectParams::DefaultIC()},
                         Expected<SmoothParams>{L"ICSmooth", SmoothParams::DefaultIC()},
                         Expected<ThresholdParams>{L"ICThreshold", ThresholdParams()},
                         Expected<BaselineParams>{L"MZBaseline", BaselineParams::DefaultMS()},
                         Expected<NoiseParams>{L"MZNoise", NoiseParams::DefaultMS()},
                         Expected<OPDParams>{L"MZOPD", OPDParams::DefaultMS()},
                         Expected<PeakDetectParams>{L"MZPeakDetect", PeakDetectParams::DefaultMS()},
                         Expected<SmoothParams>{L"MZSmooth", SmoothParams::DefaultMS()},
                         Expected<ThresholdParams>{L"MZThreshold", ThresholdParams()},
                         Expected<RampAlgorithmParams>{L"RampAlgorithm", RampAlgorithmParams()},
                         Expected<ChargeStateParams>{L"CSDecon", ChargeStateParams()},
                         Expected<AppThreadingParams>{L"MultiThread", AppThreadingParams()},
                         Expected<GenTICPrefs>{L"GenTIC", GenTICPrefs()},
                         Expected<GenEICPrefs>{L"GenEIC", GenEICPrefs()},
                         Expected<GenBICPrefs>{L"GenBIC", GenBICPrefs()},
                         Expected<GenSpectraPrefs>{L"GenSpectra", GenSpectraPrefs()},
                         Expected<Fields>{L"TuneFieldOrder", Fields()},
                         Expected<Fields>{L"StepTblColOrder", Fields()},
                         Expected<Fields>{L"ICPkTblColOrder", Fields()},
                         Expected<Fields>{L"MZPkTblColOrder", Fields()},
                         Expected<GUILayoutPrefs>{L"GUILayout", GUILayoutPrefs()},
                         Expected<AutotunePrefs>{L"AutoTuneCmpnds", AutotunePrefs()},
                         Expected<AutotuneDlgPrefs>{L"AutoTune", AutotuneDlgPrefs()});
}

// GUILayoutPrefs has no operator==; its stored fields are what counts.
template <typename Record>
bool Same(const Record& a, const Record& b) {
  if constexpr (std::is_same_v<Record, WQRepos::GUILayoutPrefs>)
    return Record::Fields(a) == Record::Fields(b);
  else
    return a == b;
}

// The expected default of the catalogue's `entry`; fails the test when the table lacks it.
template <typename Record>
Record ExpectedDefault(const WQRepos::PreferenceEntry<Record>& entry) {
  std::optional<Record> found;
  std::apply(
      [&](const auto&... expected) {
        const auto match = [&](const auto& candidate) {
          if constexpr (std::is_same_v<decltype(candidate.value), Record>) {
            if (std::wstring(candidate.name) == entry.Name) found = candidate.value;
          }
        };
        (match(expected), ...);
      },
      ExpectedDefaults());
  EXPECT_TRUE(found) << WQCommon::WQWideToNarrowStr(entry.Name) << " has no expected default";
  return found.value_or(Record());
}

// A query gives its tailored default without a file, and the default-constructed record for a
// file it cannot read: another file version, a record version the record refuses, or a file cut
// short anywhere. The autotune dialog's query completes an empty tune-mix file in every case, and
// a dialog record cut short keeps those of its first three fields that it read whole.
TEST_F(PreferencesTest, EveryQueryGivesItsDefaultWithoutAFileAndThePlainRecordForABadOne) {
  std::size_t checked = 0;
  WQRepos::ForEachPreference([&](const auto& entry) {
    using Record = std::decay_t<decltype(entry.Default())>;
    const std::string name = WQCommon::WQWideToNarrowStr(entry.Name);
    const auto query = [&] { return (prefs.*entry.Query)(); };
    Record expected = ExpectedDefault(entry);
    Record plain;
    if constexpr (std::is_same_v<Record, AutotuneDlgPrefs>) {
      expected.TuneMixFile = plain.TuneMixFile = DefaultTuneMix();
    }
    EXPECT_TRUE(Same(query(), expected)) << name;

    const Record varied = wqfuzz::Varied(entry.Default());
    (prefs.*entry.Write)(varied);
    const std::string file = ReadBytes(File(name));
    for (const std::string& content :
         {U32(2) + file.substr(4), U32(1) + U32(99) + file.substr(8)}) {
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
    ++checked;
  });
  EXPECT_EQ(checked, 25u);
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

TEST_F(PreferencesTest, AutotuneDialogIsStoredAsItIsAndOnlyAnEmptyTuneMixIsCompleted) {
  AutotuneDlgPrefs stored;
  prefs.WAutotunePrefs(stored);
  EXPECT_EQ(ReadBytes(File("AutoTune")), U32(1) + BytesOf(stored));
  stored.TuneMixFile = L"/elsewhere/mix.xtc";
  prefs.WAutotunePrefs(stored);
  EXPECT_EQ(prefs.QAutotunePrefs(), stored);
}

}  // namespace
