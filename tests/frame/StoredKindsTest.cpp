// The catalogue of stored kinds against what the module really stores, and against the fuzzer's
// readers, which must walk it.
#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>
#include <gmock/gmock.h>

#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "Readers.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using WQRepos::Config;
using WQRepos::StoredKind;

class StoredKindsTest : public UnrecordedDataDirectoryTest {
 protected:
  // The module's directory of `directory`.
  static std::wstring DirectoryOf(Config::DirTypes directory) {
    const std::wstring item = WQRepos::QItemPath(directory, L"x", L"");
    return item.substr(0, item.size() - 2);
  }
  // Every file under the directory of `directory`, named from it ("Old/Scan.kem").
  std::vector<std::string> FilesIn(Config::DirTypes directory) const {
    const fs::path top = WQCommon::WQWideToNarrowStr(DirectoryOf(directory));
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(top))
      if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(top).string());
    return names;
  }
};

// One file of every kind, each saved the module's own way.
void SaveOneOfEach() {
  WQRepos::SaveAcqMethod(L"Scan", MethodOf(1));
  WQRepos::SaveTune(L"Low", WQBL::Tune());
  WQRepos::SaveSpectrumEvalMethod(L"Peaks", {});
  WQRepos::SaveICEvalMethod(L"Peaks", {});
  WQRepos::ForEachPreference([](const auto& entry) {
    WQRepos::Preferences preferences;
    (preferences.*entry.Write)(entry.Default());
  });
  WQRepos::SaveReferenceCalibrants({WQRepos::RefCal(L"Caffeine", 195.09, 1.0, 2.0)});
  WQRepos::WDataDirectoryFileNameInfo({});
  WQRepos::SaveSystemConfiguration({});
  WQRepos::SaveStoredFile(Config::PrefsDir, L"SpectrumDataInfo", L".xml", "<SpectrumDataInfo/>");
  WQCommon::XMLBuilder autotune;
  autotune << WQRepos::AutotunePrefs();
  std::ostringstream document;
  autotune.Write(document);
  WQRepos::SaveStoredFile(Config::AutotuneDir, L"Autotune", L".xml", document.str());
}

TEST_F(StoredKindsTest, EverySavedFileIsOfACataloguedKindThatReadsItStrictly) {
  SaveOneOfEach();
  std::set<std::string> found;
  for (int directory = Config::AcqMethodDir; directory <= Config::AutotuneDir; ++directory) {
    const auto type = static_cast<Config::DirTypes>(directory);
    for (const std::string& name : FilesIn(type)) {
      const StoredKind* kind = WQRepos::FindStoredKind(type, WQCommon::WQNarrowToWideStr(name));
      ASSERT_NE(kind, nullptr) << name;
      const std::wstring path = DirectoryOf(type) + L"/" + WQCommon::WQNarrowToWideStr(name);
      EXPECT_NO_THROW(kind->ReadStrictly(path, kind->ItemOf(WQCommon::WQNarrowToWideStr(name))))
          << name;
      found.insert(kind->Name);
    }
  }
  std::set<std::string> catalogued;
  for (const StoredKind& kind : WQRepos::StoredKinds()) catalogued.insert(kind.Name);
  EXPECT_EQ(found, catalogued);
  EXPECT_EQ(catalogued.size(), WQRepos::StoredKinds().size()) << "a name given twice";
}

// The data and log folders hold runs, exports and logs: every other folder holds stored kinds.
TEST_F(StoredKindsTest, EveryRecordFolderHoldsACataloguedKindAndTheFuzzerReadsEachKind) {
  std::set<Config::DirTypes> folders;
  for (const StoredKind& kind : WQRepos::StoredKinds()) {
    folders.insert(kind.Directory);
    EXPECT_EQ(wqfuzz::FindReader(kind.Name).name, kind.Name);
  }
  EXPECT_EQ(folders, (std::set<Config::DirTypes>{Config::AcqMethodDir, Config::EvalMethodDir,
                                                 Config::TunesDir, Config::CalibrationDir,
                                                 Config::PrefsDir, Config::AutotuneDir}));
}

TEST_F(StoredKindsTest, NamesAreMatchedByTheirKindsRules) {
  const struct {
    Config::DirTypes directory;
    const wchar_t* name;
    const char* kind;  // empty: no kind
  } cases[] = {
      {Config::AcqMethodDir, L"Scan.kem", "method"},
      {Config::AcqMethodDir, L"Old/Scan.kem", "method"},
      {Config::AcqMethodDir, L".kem", ""},
      {Config::AcqMethodDir, L"..kem", ""},
      {Config::AcqMethodDir, L"Old/..kem", ""},
      {Config::AcqMethodDir, L"Scan.ket", ""},
      {Config::TunesDir, L"Scan.kem", ""},
      {Config::EvalMethodDir, L"Peaks.iem", "ic_eval"},
      {Config::EvalMethodDir, L"Peaks.sem", "spectrum_eval"},
      {Config::PrefsDir, L"GenTIC.pref", "pref_GenTIC"},
      {Config::PrefsDir, L"Old/GenTIC.pref", ""},
      {Config::PrefsDir, L"Unknown.pref", ""},
      {Config::PrefsDir, L"DataFileName.pref", "data_file_name"},
      {Config::PrefsDir, L"SystemConfiguration.xml", "system_configuration"},
      {Config::PrefsDir, L"Other.xml", ""},
      {Config::CalibrationDir, L"RefCals.cal", "ref_cals"},
      {Config::CalibrationDir, L"Other.cal", ""},
      {Config::AutotuneDir, L"Old/Autotune.xml", "autotune_xml"},
  };
  for (const auto& test : cases) {
    const StoredKind* kind = WQRepos::FindStoredKind(test.directory, test.name);
    EXPECT_EQ(kind ? kind->Name : "", test.kind) << WQCommon::WQWideToNarrowStr(test.name);
  }
  EXPECT_EQ(WQRepos::StoredKindNamed("tune").ItemOf(L"Low/Scan.ket"), L"Low/Scan");
  EXPECT_THAT([] { WQRepos::StoredKindNamed("tunes"); },
              ::testing::ThrowsMessage<std::invalid_argument>("No stored kind is called tunes"));
}

// What the application's read takes for the defaults, the strict read refuses.
TEST_F(StoredKindsTest, EveryStrictReaderRefusesAFileThatHoldsNoRecord) {
  for (const StoredKind& kind : WQRepos::StoredKinds()) {
    const std::wstring item = kind.File.empty() ? L"Bad" : kind.ItemOf(kind.File);
    const std::wstring path = WQRepos::QItemPath(kind.Directory, item, kind.Extension);
    WriteBytes(WQCommon::WQWideToNarrowStr(path), "<");
    EXPECT_ANY_THROW(kind.ReadStrictly(path, item)) << kind.Name;
    fs::remove(WQCommon::WQWideToNarrowStr(path));
  }
}

// The autotune records' own readers stop short of a file cut between their fields and keep what
// they read: the strict reader refuses such a file, and a file of another version, with the reason.
TEST_F(StoredKindsTest, StrictPreferenceReaderRefusesAnAutotuneRecordCutShort) {
  WQRepos::AutotunePrefs prefs;
  prefs.TunePoints.resize(2);
  WQRepos::Preferences().WATCprefs(prefs);
  const StoredKind& kind = WQRepos::StoredKindNamed("pref_AutoTuneCmpnds");
  const std::wstring path = WQRepos::QItemPath(kind.Directory, L"AutoTuneCmpnds", kind.Extension);
  const std::string file = WQCommon::WQWideToNarrowStr(path);
  const std::string whole = ReadBytes(file);
  kind.ReadStrictly(path, L"AutoTuneCmpnds");
  WriteBytes(file, whole.substr(0, whole.size() - 4));
  EXPECT_THAT([&] { kind.ReadStrictly(path, L"AutoTuneCmpnds"); },
              ::testing::ThrowsMessage<WQCommon::StreamError>(
                  "Binary stream ended early: a value needs 4 bytes, 0 remain"));
  WriteBytes(file, std::string("\x02\0\0\0", 4) + whole.substr(4));
  EXPECT_THAT([&] { kind.ReadStrictly(path, L"AutoTuneCmpnds"); },
              ::testing::ThrowsMessage<std::runtime_error>("unknown file version 2"));
}

// A save refuses content larger than its reader reads, and keeps the earlier file.
TEST_F(StoredKindsTest, ASaveLargerThanItsKindsBoundIsRefusedAndTheEarlierFileKept) {
  WQRepos::SaveSystemConfiguration({});
  const fs::path file = Dir("Prefs") / "SystemConfiguration.xml";
  const std::string before = ReadBytes(file);
  WQRepos::SystemConfiguration large;
  // Each '<' is written as "&lt;": four bytes of the file for each character held.
  large.SystemName.assign(WQRepos::StoredKindNamed("system_configuration").SizeLimit / 4 + 1, L'<');
  EXPECT_THAT([&large] { WQRepos::SaveSystemConfiguration(large); },
              ::testing::ThrowsMessage<WQRepos::FileError>(
                  "Unable to create system configuration file " + file.string()));
  EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
