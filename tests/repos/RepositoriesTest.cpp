// The repositories of acquisition methods, tunes, evaluation methods and reference calibrants.
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/NetworkClient.h>
#include <WQRepos/AcqMethods.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/Preferences.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <limits>
#include <optional>
#include <thread>
#include <tuple>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using WQBL::CurveEval;

using RepositoriesTest = DataDirectoryTest;

// `text` with its @, if any, standing for `name`.
std::string With(std::string text, const std::string& name) {
  if (const auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, name);
  return text;
}

WQBL::TimePeriod Period(double duration, std::uint32_t loops, std::uint32_t timeout,
                        std::initializer_list<double> itemDurations) {
  WQBL::TimePeriod period;
  std::tie(period.Duration, period.NumLoops, period.Timeout) = std::tie(duration, loops, timeout);
  for (const double itemDuration : itemDurations)
    period.Items.emplace_back().Duration = itemDuration;
  return period;
}

// The polarity switch time of the system configuration is read for every load, and refusals of its
// texts pass through.
TEST_F(RepositoriesTest, PeriodsWithoutLengthGetTheTimeTheirItemsTakeOrTheConfigurationsRefusal) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  WQBL::Method method;
  method.TimePeriods = {Period(0.0, 3, 7, {1.5, 2.25}),    Period(0.0, 1, 7, {0.0004, 0.0003}),
                        Period(2.0, 3, 77, {1.5}),         Period(0.0, 9, 55, {}),
                        Period(5e-8, 2, 0, {1.0}),         Period(nan, 2, 66, {1.0}),
                        Period(0.0, 4000000, 0, {1200.0}), Period(0.0, 1, 5, {infinity}),
                        Period(-1.0, 1, 5, {-0.0015})};
  WQRepos::SaveAcqMethod(L"Open", method);
  const fs::path elsewhere = Dir("Data") / "open.bin";
  fs::copy_file(Dir("AcqMethod") / "Open.kem", elsewhere);
  const auto timeouts = [](const WQBL::Method& loaded) {
    std::vector<std::uint32_t> values;
    for (const auto& period : loaded.TimePeriods) values.push_back(period.Timeout);
    return values;
  };
  const auto completed = ElementsAre(11250u, 1u, 77u, 0u, 2000u, 66u,
                                     static_cast<std::uint32_t>(4800000000000ULL), 0u, 0xFFFFFFFFu);
  EXPECT_THAT(timeouts(WQRepos::LoadFullyQualifiedAcqMethod(Wide(elsewhere))), completed);
  EXPECT_THAT(timeouts(WQRepos::LoadAcqMethod(L"Open")), completed);
  WriteBytes(Dir("Prefs") / "SystemConfiguration.xml",
             "<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>");
  EXPECT_THAT([] { WQRepos::LoadAcqMethod(L"Open"); },
              ThrowsQMVException(L"String Vial_3 not found in enumeration map."));
}

const std::vector<CurveEval> kMethod{CurveEval(WQBL::BaselineParams::DefaultIC()),
                                     CurveEval(WQBL::ThresholdParams()),
                                     CurveEval(WQBL::PeakDetectParams::DefaultIC())};

TEST_F(RepositoriesTest, SpectrumAndChromatogramFamiliesAreKeptApart) {
  WQRepos::SaveSpectrumEvalMethod(L"same", kMethod);
  WQRepos::SaveICEvalMethod(L"same", {kMethod[1]});
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetSpectrumEvalMethodNames(), ElementsAre(L"same"));
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), ElementsAre(L"same"));

  EXPECT_TRUE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_FALSE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), IsEmpty());
}

TEST_F(RepositoriesTest, DefaultMethodFollowsTheSpectrumPreferences) {
  EXPECT_THAT(
      WQRepos::DefaultSpectrumEvalMethod(),
      ElementsAre(CurveEval(WQBL::BaselineParams::DefaultMS()),
                  CurveEval(WQBL::NoiseParams::DefaultMS()), CurveEval(WQBL::ThresholdParams()),
                  CurveEval(WQBL::PeakDetectParams::DefaultMS())));

  WQRepos::Preferences prefs;
  WQBL::PeakDetectParams withoutThreshold;
  withoutThreshold.UseThreshold = false;
  prefs.WMZPeakDetect(withoutThreshold);
  prefs.WMZBaseline(WQBL::BaselineParams());
  EXPECT_THAT(WQRepos::DefaultSpectrumEvalMethod(),
              ElementsAre(CurveEval(WQBL::BaselineParams()),
                          CurveEval(WQBL::NoiseParams::DefaultMS()), CurveEval(withoutThreshold)));
}

TEST_F(RepositoriesTest, SafeLoadReplacesTheMethodOnlyOnSuccessAndReportsFailures) {
  std::vector<CurveEval> method{CurveEval()};
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"gone", method, WQRepos::LoadICEvalMethod),
            L"Unable to load evaluation method gone\r\nReason: Unable to open evaluation method "
            L"file.");
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(nullptr, method, WQRepos::LoadICEvalMethod),
            L"Invalid file name pointer");
  EXPECT_THAT(method, ElementsAre(CurveEval()));

  WQRepos::SaveSpectrumEvalMethod(L"good", kMethod);
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"good", method, WQRepos::LoadSpectrumEvalMethod), L"");
  EXPECT_EQ(method, kMethod);
}

// Names that callers hand to the repositories may come from a user: none of them may reach a file
// outside the repository's directory or stand for the file of another name, and a sub-folder
// inside it keeps working. Each operation throws its own message exactly, with @ standing for the
// name, and gives the path and the reason as the error's detail.
TEST_F(RepositoriesTest, NamesLeadingOutOfTheRepositoryAreRefusedByEveryOperation) {
  const std::pair<std::wstring, std::string> unsafeNames[] = {
      {L"../../victim", "the name \"../../victim\" leads outside its directory"},
      {L"sub/../../x", "the name \"sub/../../x\" leads outside its directory"},
      {L"..", "the name \"..\" leads outside its directory"},
      {L"sub/..", "the name \"sub/..\" names a folder, not an item"},
      {L"sub/", "the name \"sub/\" names a folder, not an item"},
      {L"", "the name is empty"},
      {L"/tmp/x", "the name \"/tmp/x\" is an absolute path"},
      // Lone surrogates, and byte escapes that make a UTF-8 character (\xC3\xA9 is "é").
      {L"Cal\xD800", "the name \"Cal\xEF\xBF\xBD\" holds text that no file name can hold"},
      {L"Cal\xDFFF", "the name \"Cal\xEF\xBF\xBD\" holds text that no file name can hold"},
      {L"Cal\xDCC3\xDCA9", "the name \"Cal\xC3\xA9\" holds text that no file name can hold"},
      {std::wstring(L"../../victim\0", 13), "the name holds a NUL character"},
      {std::wstring(L"x\0/../../../victim", 18), "the name holds a NUL character"}};
  const std::string tune = (Dir("Tunes") / "@.ket").string();
  const std::string method = (Dir("AcqMethod") / "@.kem").string();
  const std::tuple<std::function<void(const std::wstring&)>, std::string, const char*, const char*>
      operations[] = {
          {[](auto& n) { WQRepos::SaveAcqMethod(n, WQBL::Method()); },
           "Unable to create acquisition method file (@)", "AcqMethod", ".kem"},
          {[](auto& n) { WQRepos::LoadAcqMethod(n); },
           "Unable to open acquisition method file (" + method + ")", "AcqMethod", ".kem"},
          {[](auto& n) { WQRepos::SaveTune(n, WQBL::Tune()); },
           "Unable to create tune file: " + tune, "Tunes", ".ket"},
          {[](auto& n) { WQRepos::LoadTune(n); }, "Unable to open tune file: " + tune, "Tunes",
           ".ket"},
          {[](auto& n) { WQRepos::SaveSpectrumEvalMethod(n, {}); },
           "Unable to create evaluation method file.", "EvalMethod", ".sem"},
          {[](auto& n) { WQRepos::LoadICEvalMethod(n); }, "Unable to open evaluation method file.",
           "EvalMethod", ".iem"},
          {[](auto& n) { WQRepos::DeleteAcqMethod(n); },
           "Unable to delete acquisition method file (" + method + ")", "AcqMethod", ".kem"},
          {[](auto& n) { WQRepos::RenameTune(L"x", n); },
           "Unable to rename tune file: " + With(tune, "x") + " to " + tune, "Tunes", ".ket"}};
  const fs::path victim = Base().parent_path() / "victim.sem";
  WriteBytes(victim, "someone else's file");
  for (const auto& [name, reason] : unsafeNames) {
    std::string shown;
    for (const char c : WQCommon::WQWideToNarrowStr(name)) c == '\0' ? shown += "\\0" : shown += c;
    for (const auto& [call, failure, folder, extension] : operations) {
      const std::string path = (Dir(folder) / "@").string() + extension;
      EXPECT_THAT([&] { call(name); },
                  ThrowsFileError(With(failure, shown), With(path, shown) + ": " + reason));
    }
    EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(name));
    EXPECT_FALSE(WQRepos::DeleteICEvalMethod(name));
    EXPECT_FALSE(WQRepos::TuneExists(name));
  }
  EXPECT_EQ(ReadBytes(victim), "someone else's file");
  EXPECT_EQ(std::distance(fs::directory_iterator(Base().parent_path()), fs::directory_iterator()),
            2)
      << "nothing was written beside the base directory";
}

// The system takes ".." from where a linked folder leads: after one it leads outside, while a
// plain name through the link, or a ".." after a real folder within it, stays where the link leads.
TEST_F(RepositoriesTest, DotDotAfterALinkedFolderIsRefusedAndNamesThroughItKeepWorking) {
  const fs::path elsewhere = Base().parent_path() / "elsewhere";
  fs::create_directories(elsewhere / "sub");
  fs::create_directory_symlink(elsewhere, Dir("EvalMethod") / "lab");
  const fs::path victim = Base().parent_path() / "victim.sem";
  WriteBytes(victim, "someone else's file");
  for (const std::wstring name : {L"lab/../victim", L"lab/sub/../../victim"}) {
    EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(name));
    EXPECT_THAT(
        [&] { WQRepos::LoadSpectrumEvalMethod(name); },
        ThrowsFileError("Unable to open evaluation method file.",
                        (Dir("EvalMethod") / name).string() + ".sem: the name \"" +
                            WQCommon::WQWideToNarrowStr(name) +
                            "\" leads outside its directory through the linked folder lab"));
  }
  EXPECT_EQ(ReadBytes(victim), "someone else's file");
  for (const std::wstring name : {L"lab/x", L"lab/sub/../y"}) {
    WQRepos::SaveSpectrumEvalMethod(name, kMethod);
    EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(name), kMethod);
  }
  EXPECT_TRUE(fs::exists(elsewhere / "x.sem") && fs::exists(elsewhere / "y.sem"));
  EXPECT_TRUE(WQRepos::DeleteSpectrumEvalMethod(L"lab/x"));
}

// A stored file whose name is not UTF-8 (Latin-1 here) is listed, loaded and deleted under its own
// name, which is no other file's: not that of the file named with U+FFFD in its place. A file
// with an extension only is no stored item.
TEST_F(RepositoriesTest, NamesThatAreNotUtf8MapToTheirOwnFiles) {
  WQRepos::SaveSpectrumEvalMethod(L"Old\uFFFD", kMethod);
  WQRepos::SaveSpectrumEvalMethod(L"Old\xDCE9", {});
  WQRepos::SaveSpectrumEvalMethod(L"Alt\xDCE9\xDCC3", kMethod);
  WriteBytes(Dir("EvalMethod") / ".sem", U32(1) + U32(0));
  EXPECT_EQ(ReadBytes(Dir("EvalMethod") / "Old\xE9.sem"), U32(1) + U32(0));
  EXPECT_THAT(WQRepos::GetSpectrumEvalMethodNames(),
              ::testing::UnorderedElementsAre(L"Old\uFFFD", L"Old\xDCE9", L"Alt\xDCE9\xDCC3"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"Alt\xDCE9\xDCC3"), kMethod);
  EXPECT_TRUE(WQRepos::DeleteSpectrumEvalMethod(L"Old\xDCE9"));
  EXPECT_FALSE(fs::exists(Dir("EvalMethod") / "Old\xE9.sem"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"Old\uFFFD"), kMethod);
}

TEST_F(RepositoriesTest, SubFoldersAndDotsThatStayInsideKeepWorking) {
  fs::create_directory(Dir("AcqMethod") / "lab");
  fs::create_directory(Dir("EvalMethod") / "lab");
  for (const std::wstring name : {L"lab/a", L"./lab/../lab/b", L"lab//c", L"..d", L"e.."}) {
    WQRepos::SaveAcqMethod(name, WQBL::Method());
    EXPECT_NO_THROW(WQRepos::LoadAcqMethod(name));
    WQRepos::SaveSpectrumEvalMethod(name, {});
    EXPECT_TRUE(WQRepos::DeleteSpectrumEvalMethod(name));
  }
}

// Each family renames in one step, replacing a stored name only when asked, and reports what the
// system refused with the file and the reason.
TEST_F(RepositoriesTest, RenameReplacesOnlyWhenAskedAndDeleteAndRenameGiveTheSystemsReason) {
  const struct {
    const char* folder;
    const char* extension;
    std::function<void(const std::wstring&, int)> save;
    bool (*exists)(const std::wstring&);
    void (*rename)(const std::wstring&, const std::wstring&, bool);
    std::function<void(const std::wstring&)> remove;
    std::string renameFailure;  // @ stands for the folder
    std::string deleteFailure;
  } families[] = {
      {"AcqMethod", ".kem", [](auto& n, int v) { WQRepos::SaveAcqMethod(n, MethodOf(v)); },
       WQRepos::AcqMethodExists, WQRepos::RenameAcqMethod, WQRepos::DeleteAcqMethod,
       "Unable to rename acquisition method file (@/A.kem) to (@/B.kem)",
       "Unable to delete acquisition method file (@/A.kem)"},
      {"Tunes", ".ket",
       [](auto& n, int v) {
         WQBL::Tune tune;
         tune.ConeVoltage = v;
         WQRepos::SaveTune(n, tune);
       },
       WQRepos::TuneExists, WQRepos::RenameTune, WQRepos::DeleteTune,
       "Unable to rename tune file: @/A.ket to @/B.ket", "Unable to delete tune file: @/A.ket"},
      {"EvalMethod", ".iem",
       [](auto& n, int v) { WQRepos::SaveICEvalMethod(n, std::vector<CurveEval>(v)); },
       WQRepos::ICEvalMethodExists, WQRepos::RenameICEvalMethod, nullptr,
       "Unable to rename evaluation method file @/A.iem to @/B.iem", ""}};
  for (const auto& family : families) {
    SCOPED_TRACE(family.folder);
    const fs::path dir = Dir(family.folder);
    const auto file = [&](const char* name) {
      return dir / (name + std::string(family.extension));
    };
    const auto failure = [&](const std::string& text, const std::string& reason) {
      return ThrowsFileError(With(With(text, dir), dir), reason);
    };
    family.save(L"A", 1);
    family.save(L"B", 2);
    const std::string a = ReadBytes(file("A")), b = ReadBytes(file("B"));
    EXPECT_THAT([&] { family.rename(L"A", L"B", false); },
                failure(family.renameFailure, "File exists"));
    EXPECT_EQ(ReadBytes(file("A")) + ReadBytes(file("B")), a + b);
    fs::create_directory(file("C"));
    EXPECT_FALSE(family.exists(L"C"));
    family.rename(L"A", L"B", true);
    EXPECT_TRUE(family.exists(L"B") && !family.exists(L"A"));
    EXPECT_EQ(ReadBytes(file("B")), a);
    EXPECT_THAT([&] { family.rename(L"A", L"B", true); },
                failure(family.renameFailure, "No such file or directory"));
    if (family.remove) {
      EXPECT_THAT(
          [&] { family.remove(L"A"); },
          failure(family.deleteFailure, file("A").string() + ": No such file or directory"));
      family.remove(L"B");
      EXPECT_FALSE(fs::exists(file("B")));
    }
  }
}

// A repository file that cannot be read is refused with its own message: missing, of another file
// or record version, ending early or holding bytes after its end, which the toolkit's error
// reports naming the file. Every proper prefix of every stored file goes
// through its reader in the corpus replay test; here each kind of file is cut once, where its next
// value is missing. A special file is not read at all.
TEST_F(RepositoriesTest, UnreadableFileOfEachKindIsRefusedWithItsMessage) {
  using Load = void (*)();
  const Load method = [] { WQRepos::LoadAcqMethod(L"Bad"); };
  const Load tune = [] { WQRepos::LoadTune(L"Bad"); };
  const Load eval = [] { WQRepos::LoadICEvalMethod(L"Bad"); };
  const Load refCals = [] { WQRepos::LoadReferenceCalibrants(); };
  const Load naming = [] { WQRepos::QDataDirectoryFileNameInfo(); };
  const std::string endsAfterVersion = "Binary stream ended early: a value needs 4 bytes, 0 remain";
  // Without bytes the file is missing; `stream` marks the toolkit's error; @ stands for the file.
  const struct {
    const char* file;
    std::string bytes;
    Load load;
    std::string message;
    bool stream = false;
  } cases[] = {
      {"AcqMethod/Bad.kem", "", method, "Unable to open acquisition method file (@)"},
      {"AcqMethod/Bad.kem", U32(2), method, "Invalid acquisition method file (@)"},
      {"AcqMethod/Bad.kem", U32(1), method, endsAfterVersion, true},
      {"Tunes/Bad.ket", "", tune, "Unable to open tune file: @"},
      {"Tunes/Bad.ket", U32(7), tune, "Invalid tune file version. Tune file: @ version: 7"},
      {"Tunes/Bad.ket", U32(4000000000u), tune,
       "Invalid tune file version. Tune file: @ version: 4000000000"},
      {"Tunes/Bad.ket", U32(1), tune, endsAfterVersion, true},
      {"Tunes/Bad.ket", U32(1) + BytesOf(WQBL::Tune()) + std::string(16, '\0'), tune,
       "Binary stream holds 16 bytes after its last value", true},
      {"EvalMethod/Bad.iem", U32(2) + U32(0), eval, "Invalid evaluation method file."},
      {"EvalMethod/Bad.iem", U32(1), eval, endsAfterVersion, true},
      {"Calibration/RefCals.cal", U32(2) + U32(0), refCals, "Invalid reference calibrants file."},
      {"Calibration/RefCals.cal", U32(1) + U32(1) + U32(3) + BytesOf(WQRepos::RefCal()).substr(4),
       refCals, "Unknown RefCal version."},
      {"Calibration/RefCals.cal", U32(1), refCals, endsAfterVersion, true},
      {"Prefs/DataFileName.pref", U32(3) + I64(777) + U32(99), naming,
       "Unknown DataFileNameInfo version."},
      {"Prefs/DataFileName.pref", U32(2) + "abc", naming,
       "Binary stream ended early: a value needs 8 bytes, 3 remain", true}};
  for (const auto& [file, bytes, load, message, stream] : cases) {
    SCOPED_TRACE(message);
    const std::string path = (Base() / file).string();
    if (!bytes.empty()) WriteBytes(path, bytes);
    if (stream) {
      EXPECT_THAT(load, ::testing::Throws<WQCommon::StreamError>(
                            IsErrorWithContext(message, "Cannot read " + path)));
    } else {
      EXPECT_THAT(load, ThrowsMessage<std::runtime_error>(With(message, path)));
    }
  }
}

// A special file is neither read nor replaced, and a save into a missing directory creates none.
// A load that finds its file missing or cut short while a save of it is in flight reads it again
// until the save is over; without a save in flight it fails at once; a complete save that never
// took the file's place is put there after the wait.
TEST_F(RepositoriesTest, LoadRidesOutASaveInFlight) {
  WQRepos::SaveAcqMethod(L"M", MethodOf(2));
  const fs::path file = Dir("AcqMethod") / "M.kem";
  const std::string bytes = ReadBytes(file);
  const fs::path unfinished = Dir("AcqMethod") / ".M.kem.wqtmp-lab-1-0123456789abcdef-Abcdef";
  for (const std::string& early : {std::string(), bytes.substr(0, bytes.size() - 3)}) {
    if (early.empty())
      fs::remove(file);
    else
      WriteBytes(file, early);
    WriteBytes(unfinished, "");
    std::thread saver([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      WriteBytes(file, bytes);
      fs::remove(unfinished);
    });
    EXPECT_EQ(WQRepos::LoadAcqMethod(L"M"), MethodOf(2));
    saver.join();
  }
  fs::remove(file);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(WQRepos::LoadAcqMethod(L"M"), std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, WQPlatform::kInterruptedSaveWait / 4);
  WriteBytes(Dir("AcqMethod") / ".M.kem.wqnew-lab-1-0123456789abcdef-Abcdef", bytes);
  EXPECT_EQ(WQRepos::LoadAcqMethod(L"M"), MethodOf(2));
  EXPECT_EQ(ReadBytes(file), bytes);
}

// A complete save whose writer, in another container, was killed a moment ago before it took its
// method's place.
fs::path PlantCompleteSave(const fs::path& directory, const std::string& name, int value) {
  WQRepos::SaveAcqMethod(L"Planted", MethodOf(value));
  const fs::path stage = directory / ("." + name + ".kem.wqnew-lab-1-0123456789abcdef-Abcdef");
  fs::rename(directory / "Planted.kem", stage);
  return stage;
}

// On a local disk the killed writer's save goes at the next Initialize, not a day later: no lock
// holds it, whatever container the writer ran in.
TEST_F(RepositoriesTest, DeletedMethodDoesNotComeBackFromASaveCutShort) {
  WQRepos::SaveAcqMethod(L"M", MethodOf(2));
  PlantCompleteSave(Dir("AcqMethod"), "M", 3);
  WQRepos::DeleteAcqMethod(L"M");
  EXPECT_THROW(WQRepos::LoadAcqMethod(L"M"), std::runtime_error);
  WQRepos::Initialize();
  EXPECT_FALSE(WQRepos::AcqMethodExists(L"M"));
  if (!WQPlatform::FileOps().LocalFileSystem(Base().string())) return;
  WQRepos::SaveAcqMethod(L"N", MethodOf(2));
  PlantCompleteSave(Dir("AcqMethod"), "N", 3);
  WQRepos::Initialize();
  EXPECT_EQ(TemporaryFiles(Base()), 0u);
  EXPECT_EQ(WQRepos::LoadAcqMethod(L"N"), MethodOf(2));
}

TEST_F(RepositoriesTest, RenamedAndReplacedMethodsDoNotComeBackFromSavesCutShort) {
  WQRepos::SaveAcqMethod(L"From", MethodOf(2));
  WQRepos::SaveAcqMethod(L"To", MethodOf(4));
  PlantCompleteSave(Dir("AcqMethod"), "From", 3);
  PlantCompleteSave(Dir("AcqMethod"), "To", 5);
  WQRepos::RenameAcqMethod(L"From", L"To", true);
  WQRepos::DeleteAcqMethod(L"To");
  WQRepos::Initialize();
  EXPECT_FALSE(WQRepos::AcqMethodExists(L"From"));
  EXPECT_FALSE(WQRepos::AcqMethodExists(L"To"));
}

// A network client may serve a file's earlier, shorter size for a moment after a save that another
// computer made, and a FUSE client hides a file open on it by renaming it away just before it
// replaces it: there a file cut short or missing is read again for a while though no save of it
// shows. A local disk tells the size at once: a file cut short there fails at once.
TEST_F(RepositoriesTest, LoadRereadsAFileCutShortOrMissingWithoutASaveInSightOnANetworkClientOnly) {
  WQRepos::SaveAcqMethod(L"M", MethodOf(2));
  const fs::path file = Dir("AcqMethod") / "M.kem";
  const std::string bytes = ReadBytes(file);
  WriteBytes(file, bytes.substr(0, bytes.size() - 3));
  if (WQPlatform::FileOps().LocalFileSystem(file.string())) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(WQRepos::LoadAcqMethod(L"M"), std::runtime_error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  }
  WQPlatformTesting::NetworkClient network;
  WQPlatform::ScopedFileOps seam(network);
  for (const bool missing : {false, true}) {
    if (missing) fs::remove(file);
    std::thread saver([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      WriteBytes(file, bytes);
    });
    std::optional<WQBL::Method> loaded;
    EXPECT_NO_THROW(loaded = WQRepos::LoadAcqMethod(L"M")) << (missing ? "missing" : "cut short");
    saver.join();
    EXPECT_EQ(loaded, MethodOf(2));
  }
}

// A file that another workstation moved away and back, missing for the load's opens only.
class MissingForTheLoad : public WQPlatform::FileOps {
 public:
  int OpenForReading(const std::string& path) override {
    if (misses_ == 0) return FileOps::OpenForReading(path);
    --misses_;
    errno = ENOENT;
    return -1;
  }

 private:
  int misses_ = 3;  // the load's first look, its second at once, and its last
};

TEST_F(RepositoriesTest, LoadOfAFileMovedMeanwhileSaysWhatHappened) {
  WQRepos::SaveAcqMethod(L"M", MethodOf(2));
  const std::string file = (Dir("AcqMethod") / "M.kem").string();
  MissingForTheLoad moving;
  WQPlatform::ScopedFileOps seam(moving);
  EXPECT_THAT([] { WQRepos::LoadAcqMethod(L"M"); },
              ThrowsFileError("Unable to open acquisition method file (" + file + ")",
                              file + ": it was missing or changing when it was read and is whole "
                                     "now, as when another workstation moves or replaces it "
                                     "meanwhile"));
}

TEST_F(RepositoriesTest, SpecialFileOrMissingDirectoryIsNeitherReadNorWritten) {
  const fs::path pipe = Dir("Tunes") / "Pipe.ket";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_THAT([&] { WQRepos::LoadFullyQualifiedTune(Wide(pipe)); },
              ThrowsFileError("Unable to open tune file: " + pipe.string(),
                              pipe.string() + ": not a regular file"));
  EXPECT_THAT([] { WQRepos::SaveTune(L"Pipe", WQBL::Tune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " + pipe.string()));
  EXPECT_TRUE(fs::is_fifo(pipe));
  fs::remove_all(Dir("AcqMethod"));
  EXPECT_THAT(
      [] { WQRepos::SaveAcqMethod(L"Alpha", WQBL::Method()); },
      ThrowsMessage<std::runtime_error>("Unable to create acquisition method file (Alpha)"));
  EXPECT_THAT([] { WQRepos::SaveAcqMethod(L"Alpha", WQBL::Method()); },
              ::testing::Throws<WQRepos::FileError>(::testing::Property(
                  &WQRepos::FileError::Detail, "Cannot create a temporary file for " +
                                                   (Dir("AcqMethod") / "Alpha.kem").string() +
                                                   ": No such file or directory")));
  EXPECT_FALSE(fs::exists(Dir("AcqMethod")));
}

}  // namespace
