// The history of the stored items: a record per change with its fields, restore, changes made
// without the module, a history that cannot be written, plain git on it, a lock left on its
// branch, and two writers at once, each in a pid namespace of its own.
#include <WQBL/Tune.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "support/DataDirectory.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;
using wqtest::ReadBytes;
using wqtest::WriteBytes;

class HistoryTest : public wqtest::DataDirectoryTest {
 protected:
  fs::path History() const { return Base() / "History"; }

  // The operation and the items of each record, newest first: "save Tunes/A.ket".
  static std::vector<std::string> Summary() {
    std::vector<std::string> lines;
    for (const WQRepos::HistoryRecord& record : WQRepos::QHistoryRecords()) {
      std::string line = record.Operation;
      for (const std::wstring& item : record.Items) line += " " + WQCommon::WQWideToNarrowStr(item);
      lines.push_back(line);
    }
    return lines;
  }

  // The newest `count` lines of Summary().
  static std::vector<std::string> Newest(std::size_t count) {
    std::vector<std::string> lines = Summary();
    lines.resize(std::min(count, lines.size()));
    return lines;
  }

  // Runs a git command on the history; its exit status.
  int Git(const std::string& arguments) const {
    return std::system(
        ("git -C '" + History().string() + "' " + arguments + " >/dev/null 2>&1").c_str());
  }
};

WQBL::Tune TuneOf(double value) {
  WQBL::Tune tune;
  tune.ConeVoltage = value;
  return tune;
}

TEST_F(HistoryTest, EveryOperationOfEveryKindIsOneRecordWithItsFields) {
  const std::int64_t start = std::time(nullptr);
  WQRepos::SystemConfiguration configuration;
  configuration.UserName = L"Ann Operator";
  WQRepos::SaveSystemConfiguration(configuration);
  WQRepos::SaveAcqMethod(L"Scan", wqtest::MethodOf(1));
  fs::create_directory(Dir("Tunes") / "Low");
  WQRepos::SaveTune(L"Low/L+A", TuneOf(1));
  WQRepos::SaveSpectrumEvalMethod(L"Peaks", {});
  WQRepos::SaveICEvalMethod(L"Peaks", {});
  WQRepos::Preferences().WGenTIC(WQRepos::GenTICPrefs());
  WQRepos::SaveReferenceCalibrants({WQRepos::RefCal(L"Caffeine", 195.09, 1.0, 2.0)});
  WQRepos::SaveStoredFile(WQRepos::Config::AutotuneDir, L"Autotune", L".xml", "<AutoTunePrefs/>");
  {
    const WQRepos::ScopedHistoryOperation import("import");
    WQRepos::SaveTune(L"Imported", TuneOf(2));
  }
  WQRepos::RenameAcqMethod(L"Scan", L"Renamed", false);
  WQRepos::DeleteTune(L"Imported");
  EXPECT_TRUE(WQRepos::DeleteICEvalMethod(L"Peaks"));
  WQRepos::DeleteStoredFile(WQRepos::Config::AutotuneDir, L"Autotune", L".xml");

  EXPECT_THAT(Summary(), ElementsAre("delete Autotune/Autotune.xml", "delete EvalMethod/Peaks.iem",
                                     "delete Tunes/Imported.ket",
                                     "rename AcqMethod/Renamed.kem AcqMethod/Scan.kem",
                                     "import Tunes/Imported.ket", "save Autotune/Autotune.xml",
                                     "save Calibration/RefCals.cal", "save Prefs/GenTIC.pref",
                                     "save EvalMethod/Peaks.iem", "save EvalMethod/Peaks.sem",
                                     "save Tunes/Low/L+A.ket", "save AcqMethod/Scan.kem",
                                     "save Prefs/SystemConfiguration.xml"));
  for (const WQRepos::HistoryRecord& record : WQRepos::QHistoryRecords()) {
    EXPECT_EQ(record.Id.size(), 40u);
    EXPECT_GE(record.Time, start);
    EXPECT_LE(record.Time, std::time(nullptr));
    EXPECT_EQ(record.User, WQPlatform::UserName());
    EXPECT_EQ(record.Host, WQPlatform::HostName());
    EXPECT_EQ(record.Operator, "Ann Operator");
    EXPECT_EQ(record.Version, WQRepos::QVersion());
  }
  // One item's records, and plain git reads the repository as whole.
  EXPECT_THAT(WQRepos::QHistoryRecords(L"Tunes/Imported.ket"), ::testing::SizeIs(2));
  EXPECT_EQ(Git("fsck --strict"), 0);
  EXPECT_TRUE(WQRepos::VerifyHistory().Whole());
}

TEST_F(HistoryTest, RestoreGivesBackTheEarlierBytesAsARecordOfItsOwn) {
  WQRepos::SaveTune(L"A", TuneOf(1));
  const std::string first = ReadBytes(Dir("Tunes") / "A.ket");
  const std::string record = WQRepos::QHistoryRecords(L"Tunes/A.ket").front().Id;
  WQRepos::SaveTune(L"A", TuneOf(2));
  ASSERT_NE(ReadBytes(Dir("Tunes") / "A.ket"), first);

  EXPECT_EQ(WQRepos::QHistoryContent(L"Tunes/A.ket", record), first);
  EXPECT_EQ(WQRepos::QHistoryContent(L"Tunes/B.ket", record), std::nullopt);
  WQRepos::RestoreHistoryItem(L"Tunes/A.ket", record.substr(0, 10));
  EXPECT_EQ(ReadBytes(Dir("Tunes") / "A.ket"), first);
  EXPECT_THAT(Summary(),
              ElementsAre("restore Tunes/A.ket", "save Tunes/A.ket", "save Tunes/A.ket"));
  EXPECT_THAT([&] { WQRepos::RestoreHistoryItem(L"Tunes/B.ket", record); },
              ::testing::ThrowsMessage<WQRepos::HistoryError>(
                  "Cannot restore Tunes/B.ket: it was not stored at the record " + record));
  EXPECT_THAT([&] { WQRepos::RestoreHistoryItem(L"Tunes/../../x", record); },
              ::testing::ThrowsMessage<WQRepos::FileError>(
                  "Cannot restore Tunes/../../x: it is no stored item"));
}

TEST_F(HistoryTest, AChangeMadeWithoutTheModuleIsFoundAndRecordedAsSuch) {
  WQRepos::SaveTune(L"A", TuneOf(1));
  WriteBytes(Dir("Tunes") / "B.ket", ReadBytes(Dir("Tunes") / "A.ket"));
  fs::remove(Dir("Tunes") / "A.ket");
  WriteBytes(Dir("Data") / "run.dat", "not kept");

  const WQRepos::HistoryVerification found = WQRepos::VerifyHistory();
  EXPECT_EQ(found.Damage, "");
  EXPECT_THAT(found.Unrecorded, ElementsAre(L"Tunes/A.ket", L"Tunes/B.ket"));
  WQRepos::SaveAcqMethod(L"M", wqtest::MethodOf(0));
  EXPECT_THAT(Summary(), ElementsAre("save AcqMethod/M.kem", "outside Tunes/A.ket Tunes/B.ket",
                                     "save Tunes/A.ket"));
  EXPECT_TRUE(WQRepos::VerifyHistory().Whole());
}

// A record reads only the files that changed since the last walk of the stored files, as the
// history's index tells by their times and sizes; a change made without the module is found all
// the same, by the next record.
TEST_F(HistoryTest, EveryChangeMadeWithoutTheModuleIsFoundByTheNextRecord) {
  const auto tune = [&](int i) { return Dir("Tunes") / ("T" + std::to_string(i) + ".ket"); };
  constexpr int kTunes = 20;  // more files changed since the last walk than a record reads
  for (int i = 0; i < kTunes; ++i) WQRepos::SaveTune(L"T" + std::to_wstring(i), TuneOf(i));
  const auto past = fs::last_write_time(tune(0)) - std::chrono::hours(1);
  for (int i = 0; i < kTunes; ++i) fs::last_write_time(tune(i), past);
  WriteBytes(Dir("Tunes") / "New.ket", "new");
  WQRepos::SaveTune(L"T0", TuneOf(100));
  EXPECT_THAT(Newest(2), ElementsAre("save Tunes/T0.ket", "outside Tunes/New.ket"));

  // The same size, and a time that is not the one the last walk found, though not later.
  std::string bytes = ReadBytes(tune(1));
  bytes.back() = bytes.back() == 'x' ? 'y' : 'x';
  WriteBytes(tune(1), bytes);
  fs::last_write_time(tune(1), past + std::chrono::seconds(1));
  WQRepos::SaveTune(L"T0", TuneOf(101));
  fs::remove(tune(2));
  WQRepos::SaveTune(L"T0", TuneOf(102));
  // A damaged index is only a cache of the files' state.
  WriteBytes(History() / "index", "damaged");
  WriteBytes(tune(3), "edited");
  WQRepos::SaveTune(L"T0", TuneOf(103));
  EXPECT_THAT(Newest(6),
              ElementsAre("save Tunes/T0.ket", "outside Tunes/T3.ket", "save Tunes/T0.ket",
                          "outside Tunes/T2.ket", "save Tunes/T0.ket", "outside Tunes/T1.ket"));
  const std::vector<std::string> summary = Summary();
  EXPECT_EQ(std::count_if(summary.begin(), summary.end(),
                          [](const std::string& line) { return line.rfind("outside", 0) == 0; }),
            4);
  EXPECT_TRUE(WQRepos::VerifyHistory().Whole());
  EXPECT_EQ(Git("fsck --strict"), 0);
}

TEST_F(HistoryTest, AHistoryThatCannotBeUsedNeverBlocksASaveAndIsReported) {
  const auto savesAndReports = [&](const std::string& damage) {
    WQRepos::SaveTune(L"A", TuneOf(3));
    EXPECT_EQ(WQRepos::LoadTune(L"A"), TuneOf(3));
    EXPECT_THAT(WQRepos::VerifyHistory().Damage, StartsWith(damage));
  };
  WriteBytes(History(), "a file");
  savesAndReports("Cannot use the history " + History().string() + ": not a folder");
  fs::remove(History());
  fs::create_directory(Base() / "Elsewhere");
  fs::create_directory_symlink(Base() / "Elsewhere", History());
  savesAndReports("Cannot use the history " + History().string() + ": a link, not a folder");
  fs::remove(History());
  fs::create_directory(History());
  savesAndReports("Cannot open the history " + History().string() + ": ");

  // A damaged object: the saves go on, and the damage is named.
  fs::remove_all(History());
  WQRepos::SaveTune(L"A", TuneOf(4));
  for (const auto& entry : fs::recursive_directory_iterator(History() / "objects")) {
    if (!entry.is_regular_file()) continue;
    fs::permissions(entry.path(), fs::perms::owner_all);
    WriteBytes(entry.path(), "garbage");
  }
  savesAndReports("object ");

  // A history removed whole is made again, and takes in what is stored as a change outside.
  fs::remove_all(History());
  EXPECT_TRUE(WQRepos::VerifyHistory().Whole());
  WQRepos::SaveTune(L"B", TuneOf(5));
  EXPECT_THAT(Summary(), ElementsAre("save Tunes/B.ket", "outside Tunes/A.ket"));
}

TEST_F(HistoryTest, APushToABareRemoteCarriesEveryRecord) {
  for (int i = 0; i < 3; ++i) WQRepos::SaveTune(L"T" + std::to_wstring(i), TuneOf(i));
  const fs::path remote = Base().parent_path() / "remote.git";
  ASSERT_EQ(std::system(("git init -q --bare '" + remote.string() + "'").c_str()), 0);
  ASSERT_EQ(Git("push file://" + remote.string() + " main"), 0);
  const std::string count = remote.string() + "/count";
  ASSERT_EQ(
      std::system(
          ("git -C '" + remote.string() + "' rev-list --count main > '" + count + "'").c_str()),
      0);
  EXPECT_EQ(ReadBytes(count), std::to_string(WQRepos::QHistoryRecords().size()) + "\n");
  EXPECT_EQ(WQRepos::QHistoryRecords().size(), 3u);
}

TEST_F(HistoryTest, LocksLeftByAKilledRecordAreRemovedAndRecordingGoesOn) {
  WQRepos::SaveTune(L"A", TuneOf(1));
  // What a process killed after it took the branch's lock, before it moved the branch, leaves.
  const fs::path lock = History() / "refs" / "heads" / "main.lock";
  WriteBytes(lock, WQRepos::QHistoryRecords().front().Id + "\n");
  WQRepos::SaveTune(L"A", TuneOf(2));
  EXPECT_THAT(Summary(), ElementsAre("save Tunes/A.ket", "save Tunes/A.ket"));
  EXPECT_FALSE(fs::exists(lock));
  EXPECT_EQ(Git("fsck --strict"), 0);

  // The index's lock, left by a process killed while it wrote the index after a walk, an hour ago.
  const fs::path indexLock = History() / "index.lock";
  WriteBytes(indexLock, "DIRC");
  fs::last_write_time(indexLock,
                      fs::last_write_time(lock.parent_path() / "main") - std::chrono::hours(1));
  const auto written = fs::last_write_time(History() / "index");
  // Temporary files of objects and packs that killed writers left, and one being written now.
  const fs::path objects = History() / "objects";
  const std::vector<fs::path> left{objects / "tmp_object_git2_a1b2c3",
                                   objects / "pack" / "pack_git2_d4e5f6",
                                   objects / "pack" / "pack-0123.idx.lock"};
  for (const fs::path& file : left) {
    WriteBytes(file, "x");
    fs::last_write_time(file, fs::last_write_time(indexLock));
  }
  const fs::path writing = objects / "tmp_object_git2_g7h8i9";
  WriteBytes(writing, "x");
  WriteBytes(Dir("Tunes") / "B.ket", "made without the module");
  WQRepos::SaveTune(L"A", TuneOf(3));
  EXPECT_FALSE(fs::exists(indexLock));
  EXPECT_GT(fs::last_write_time(History() / "index"), written);
  for (const fs::path& file : left) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(writing));
}

// True when this process can make pid and mount namespaces: as root, where unshare is allowed.
bool CanMakeNamespaces() {
  return std::system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") == 0;
}

// Runs `work` in a child process, with `contained` as pid 1 of a pid namespace of its own with its
// own /proc, as `unshare --pid --fork --mount-proc` starts a container; the child's pid outside.
template <typename Work>
pid_t Writer(bool contained, const Work& work) {
  const pid_t child = fork();
  if (child != 0) return child;
  if (contained) {
    if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) _exit(2);
    const pid_t inner = fork();
    if (inner != 0) {
      int status = 0;
      waitpid(inner, &status, 0);
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("proc", "/proc", "proc", 0, nullptr) != 0 || getpid() != 1)
      _exit(2);
  }
  work();
  _exit(0);
}

// Both writers are pid 1, each of its own pid namespace, on one host: nothing that tells saves or
// records apart may rest on the pid alone. Each saves a tune of its own and one method that both
// save, of a length that changes with each save, which one may replace while the other reads it.
TEST_F(HistoryTest, TwoProcessesInTwoPidNamespacesSavingAtOnceLoseNoRecord) {
  constexpr int kSaves = 30;
  const bool contained = CanMakeNamespaces();
  std::vector<pid_t> children;
  for (const char* writer : {"a", "b"}) {
    children.push_back(Writer(contained, [&] {
      for (int i = 0; i < kSaves; ++i) {
        WQRepos::SaveTune(WQCommon::WQNarrowToWideStr(writer) + std::to_wstring(i), TuneOf(i));
        WQRepos::SaveAcqMethod(L"Shared", wqtest::MethodOf(i % 2 == 0 ? 0 : 2000));
      }
    }));
    ASSERT_GE(children.back(), 0);
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
  }
  std::size_t saves = 0;
  for (const WQRepos::HistoryRecord& record : WQRepos::QHistoryRecords())
    saves += record.Operation == "save";
  EXPECT_EQ(saves, 4u * kSaves);
  EXPECT_EQ(Git("fsck --strict"), 0);
  if (!contained)
    GTEST_SKIP() << "the two writers ran as plain processes: pid namespaces need root and unshare";
}

// Writers that start at once on a data directory without a history each make its first record:
// of those that find no branch, one makes it, and the others must find it under its lock and
// build on it rather than write their own over it. A race: a branch written over lost about one
// round in a hundred here, and over sshfs, where each look at a file is a round trip, more.
TEST_F(HistoryTest, WritersMakingTheFirstRecordsAtOnceLoseNone) {
  constexpr int kRounds = 20;
  constexpr int kWriters = 4;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(History());
    for (const auto& tune : fs::directory_iterator(Dir("Tunes"))) fs::remove(tune.path());
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
      children.push_back(Writer(false, [&] {
        close(start[1]);
        char go;
        if (read(start[0], &go, 1) != 0) _exit(3);
        WQRepos::SaveTune(L"W" + std::to_wstring(writer), TuneOf(round));
      }));
    }
    close(start[0]);
    close(start[1]);  // every writer's read returns at once
    for (const pid_t child : children) {
      int status = 0;
      waitpid(child, &status, 0);
      EXPECT_EQ(status, 0);
    }
    const auto records = WQRepos::QHistoryRecords();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const auto& record) { return record.Operation == "save"; }),
              kWriters)
        << "round " << round;
  }
}

TEST_F(HistoryTest, AHistoryTurnedOffRecordsNothing) {
  {
    wqtest::ConfigClientFile config("<AcqClient><BaseDir>" + Base().string() +
                                    "</BaseDir><History> Off </History></AcqClient>");
    WQRepos::Initialize();
  }
  WQRepos::SaveTune(L"A", TuneOf(1));
  EXPECT_FALSE(fs::exists(History()));
  EXPECT_FALSE(WQRepos::VerifyHistory().Enabled);
  EXPECT_TRUE(WQRepos::QHistoryRecords().empty());
}

}  // namespace
