// The platform layer on the real file system, each test in a directory of its own, and against
// what a careless or hostile user may put at a path: special files, links, long names, foreign
// permissions and owners. Cases that need privileges the machine does not give are skipped.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <WQPlatformTesting/NetworkClient.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "PlatformFixture.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;
using PlatformTests::OnlyTemporaryIn;
using PlatformTests::PlatformTest;
using PlatformTests::Save;
using WQPlatformTesting::ReadBytes;

using HostileFilesTest = PlatformTest;

// Content larger than the save's buffer goes out in several writes. A failed one after the first
// (operation 3, after creating the temporary file) fails the save at Commit with its own error,
// and the earlier file stays.
TEST_F(PlatformTest, LargeContentIsWrittenWholeOrNotAtAll) {
  std::string large(300000, 'x');
  for (std::size_t i = 0; i < large.size(); i += 7) large[i] = static_cast<char>('a' + i % 26);
  Save(Path("a.kem"), large);
  EXPECT_EQ(ReadBytes(Path("a.kem")), large);
  WQPlatformTesting::FaultInjector injector(3, WQPlatformTesting::Fault::NoSpace,
                                            WQPlatformTesting::Mode::Once);
  WQPlatform::ScopedFileOps seam(injector);
  WQPlatform::AtomicFile file(Path("a.kem"));
  for (const char character : std::string(200000, 'y')) file.Stream().put(character);
  EXPECT_THAT([&] { file.Commit(); },
              ThrowsMessage<WQPlatform::SaveError>("Cannot write " + Path("a.kem") +
                                                   ": No space left on device"));
  EXPECT_EQ(injector.FirstStruck(), "Write");
  EXPECT_EQ(ReadBytes(Path("a.kem")), large);
  EXPECT_EQ(EntryCount(), 1u);
}

// A save bounded by what its reader takes: content of exactly the limit is saved; one byte more
// fails at Commit, the earlier file stays, and the temporary file never held more than the limit.
TEST_F(PlatformTest, SaveLargerThanItsLimitIsRefusedAndTheEarlierFileStays) {
  constexpr std::uint64_t kLimit = 100000;
  const auto save = [this](std::size_t size) {
    WQPlatform::AtomicFile file(Path("a.pref"), true, kLimit);
    for (std::size_t i = 0; i < size; ++i) file.Stream().put('y');
    file.Commit();
  };
  save(kLimit);
  EXPECT_EQ(fs::file_size(Path("a.pref")), kLimit);
  Save(Path("a.pref"), "earlier");
  EXPECT_THAT([&] { save(kLimit + 1); },
              ThrowsMessage<WQPlatform::SaveError>(StrEq(
                  "Cannot write " + Path("a.pref") +
                  ": it would be larger than 100000 bytes, the most that is read back")));
  EXPECT_EQ(ReadBytes(Path("a.pref")), "earlier");
  EXPECT_EQ(EntryCount(), 1u);
}

// File operations that report every file smaller than it is, as if it grew after its fstat.
class GrowingFileOps : public WQPlatform::FileOps {
 public:
  int Status(int descriptor, WQPlatform::FileStatus& status) override {
    const int result = FileOps::Status(descriptor, status);
    status.size = 1;
    return result;
  }
};

constexpr char kElsewhere[] = "0123456789abcdef";  // the run of another boot or container

// Where locks do not tell, who wrote a temporary file decides when it may go: a writer of this boot
// and pid namespace as soon as its process has ended, never while it runs; any other, or a name of
// the form without an origin, only once the file is older than the limit. A save in progress is
// hidden from listings.
TEST_F(PlatformTest, OnlyAbandonedTemporariesAreRemoved) {
  WQPlatformTesting::NetworkClient network;
  WQPlatform::ScopedFileOps seam(network);
  WQPlatform::AtomicFile live(Path("live.kem"));
  live.Stream() << "new";
  const std::string own = OnlyTemporaryIn(scratch.Path());
  EXPECT_THAT(own,
              ::testing::MatchesRegex("\\.live\\.kem\\.wqtmp-[-_A-Za-z0-9]+-" +
                                      std::to_string(getpid()) + "-[0-9a-f]{16}-[A-Za-z0-9]{6}"));
  const std::string run = own.substr(own.size() - 23, 16);
  Save(Path("b.kem"), "b");
  struct Case {
    std::string name;
    bool old;  // last written two days ago
    bool removed;
  };
  const Case cases[] = {
      {own, true, false},
      {".a.kem.wqtmp-lab-2-99999999-" + run + "-Ab12Cd", false, true},
      {".b.kem.wqnew-lab-99999999-" + run + "-Ab12Cd", false, true},
      {std::string(".c.kem.wqtmp-lab-99999999-") + kElsewhere + "-Ab12Cd", false, false},
      {std::string(".d.kem.wqtmp-lab-99999999-") + kElsewhere + "-Ab12Cd", true, true},
      {".e.kem.wqtmp-99999999-Ab12Cd", false, false},
      {".f.kem.wqtmp-99999999-Ab12Cd", true, true},
      // Stored files whose names merely look like temporaries.
      {".notes.wqtmp-keep", true, false},
      {".keep.wqtmp-99999999-1.kem", true, false},
      {".keep.wqtmp-99999999-Ab12Cd.kem", true, false},
  };
  const auto twoDaysAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
  for (const Case& each : cases) {
    if (each.name != own) std::ofstream(Path(each.name)) << "half a method";
    if (each.old) fs::last_write_time(Path(each.name), twoDaysAgo);
  }
  EXPECT_THAT(WQPlatform::ListDirectory(scratch.Path().string(), "*.kem"),
              UnorderedElementsAre("b.kem", cases[8].name, cases[9].name));
  const WQPlatform::CleanUp done =
      WQPlatform::RecoverInterruptedSaves({scratch.Path().string()}, 3600);
  for (const Case& each : cases) EXPECT_NE(fs::exists(Path(each.name)), each.removed) << each.name;
  EXPECT_EQ(done.removed, 4);
  EXPECT_EQ(done.kept, 3);
  live.Commit();
  EXPECT_EQ(ReadBytes(Path("live.kem")), "new");
}

// A save cut short after its content was complete, where the target was gone already: the newest
// complete file takes the target's place, at once when its writer has ended, after a wait when it
// was written elsewhere; the older one goes.
TEST_F(PlatformTest, CompleteSaveTakesTheMissingTargetsPlace) {
  std::string run;
  {
    WQPlatform::AtomicFile probe(Path("probe.kem"));
    run = OnlyTemporaryIn(scratch.Path()).substr(OnlyTemporaryIn(scratch.Path()).size() - 23, 16);
  }
  const auto now = fs::file_time_type::clock::now();
  const std::string older = ".g.kem.wqnew-lab-99999999-" + run + "-Aaaaaa";
  const std::string newer = ".g.kem.wqnew-lab-99999999-" + run + "-Bbbbbb";
  std::ofstream(Path(older)) << "older";
  std::ofstream(Path(newer)) << "newer";
  fs::last_write_time(Path(older), now - std::chrono::seconds(20));
  fs::last_write_time(Path(newer), now - std::chrono::seconds(10));
  std::ofstream(Path(std::string(".h.kem.wqnew-lab-99999999-") + kElsewhere + "-Cccccc"))
      << "elsewhere";
  const WQPlatform::CleanUp done =
      WQPlatform::RecoverInterruptedSaves({scratch.Path().string()}, 3600);
  EXPECT_EQ(ReadBytes(Path("g.kem")), "newer");
  EXPECT_EQ(ReadBytes(Path("h.kem")), "elsewhere");
  EXPECT_EQ(done.restored, 2);
  EXPECT_EQ(EntryCount(), 2u);
}

// A file system that replaces a file by removing it first, and fails after that.
class RemovingFirstFileOps : public WQPlatform::FileOps {
 public:
  int Rename(const std::string& from, const std::string& to) override {
    if (from.find(".wqnew-") == std::string::npos || !fs::exists(to))
      return FileOps::Rename(from, to);
    fs::remove(to);
    errno = EIO;
    return -1;
  }
};

// The failed save keeps its complete file, and a later look puts it in the target's place.
TEST_F(PlatformTest, ReplacementCutShortAfterTheTargetWentKeepsTheNewContent) {
  Save(Path("a.kem"), "old");
  {
    RemovingFirstFileOps removing;
    WQPlatform::ScopedFileOps seam(removing);
    EXPECT_THAT([this] { Save(Path("a.kem"), "new"); },
                ThrowsMessage<WQPlatform::SaveError>(
                    StrEq("Cannot replace " + Path("a.kem") + ": Input/output error")));
  }
  EXPECT_TRUE(WQPlatform::SaveInFlight(Path("a.kem")));
  EXPECT_TRUE(WQPlatform::RestoreInterruptedSave(Path("a.kem")));
  EXPECT_EQ(ReadBytes(Path("a.kem")), "new");
  EXPECT_EQ(EntryCount(), 1u);
}

// A complete file written elsewhere under `name`, last modified `age` ago (negative: ahead).
std::string PlantCompleteSave(const fs::path& directory, const std::string& name,
                              std::chrono::seconds age) {
  const std::string stage =
      (directory / ("." + name + ".wqnew-lab-99999999-" + kElsewhere + "-Aaaaaa")).string();
  std::ofstream(stage) << "stage";
  fs::last_write_time(stage, fs::file_time_type::clock::now() - age);
  return stage;
}

// A save cut short before a later one was made must not take the later one's place, should the
// file be deleted; one made after it, by a clock ahead, is not the later save's to remove.
TEST_F(PlatformTest, SaveRemovesOlderCompleteSavesOfItsFile) {
  const std::string older = PlantCompleteSave(scratch.Path(), "a.kem", std::chrono::seconds(10));
  Save(Path("a.kem"), "new");
  EXPECT_FALSE(fs::exists(older));
  const std::string ahead = PlantCompleteSave(scratch.Path(), "b.kem", std::chrono::seconds(-60));
  Save(Path("b.kem"), "new");
  EXPECT_TRUE(fs::exists(ahead));
}

// A save of the same file by another thread that lands between a writer's complete stage and its
// final replace, with the writer's stage made to look older: on a local disk and on a network one.
class SaveLandingBeforeTheReplace : public WQPlatform::FileOps {
 public:
  explicit SaveLandingBeforeTheReplace(bool local) : local_(local) {}
  bool LocalFileSystem(const std::string& path) override {
    return local_ && FileOps::LocalFileSystem(path);
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (from.find(".wqnew-") != std::string::npos && std::exchange(first_, false)) {
      fs::last_write_time(from, fs::file_time_type::clock::now() - std::chrono::seconds(10));
      Save(to, "other");
    }
    return FileOps::Rename(from, to);
  }

 private:
  bool local_;
  bool first_ = true;
};

TEST_F(PlatformTest, SaveNeverRemovesALiveWritersCompleteSave) {
  for (const bool local : {true, false}) {
    SaveLandingBeforeTheReplace landing(local);
    WQPlatform::ScopedFileOps seam(landing);
    EXPECT_NO_THROW(Save(Path("a.kem"), "later")) << "local " << local;
    EXPECT_EQ(ReadBytes(Path("a.kem")), "later");
    EXPECT_EQ(EntryCount(), 1u);
  }
}

// A writer in another container or pid namespace on this computer, shown by the lock it holds on
// its file while it saves; one killed has no lock, whatever its file's age.
TEST_F(PlatformTest, WriterElsewhereOnThisComputerIsToldByItsLock) {
  if (!WQPlatform::FileOps().LocalFileSystem(scratch.Path().string()))
    GTEST_SKIP() << "the scratch directory is not on a local file system";
  const std::string live = PlantCompleteSave(scratch.Path(), "live.kem", std::chrono::hours(48));
  const std::string killed =
      PlantCompleteSave(scratch.Path(), "killed.kem", std::chrono::seconds(1));
  const std::string unfinished =
      Path(std::string(".killed.kem.wqtmp-lab-99999999-") + kElsewhere + "-Bbbbbb");
  std::ofstream(unfinished) << "half";
  const int held = open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  Save(Path("live.kem"), "newer");
  EXPECT_EQ(WQPlatform::RetireInterruptedSaves(Path("live.kem")), 0);
  const WQPlatform::CleanUp done =
      WQPlatform::RecoverInterruptedSaves({scratch.Path().string()}, 3600);
  EXPECT_TRUE(fs::exists(live));
  EXPECT_EQ(ReadBytes(Path("killed.kem")), "stage");
  EXPECT_FALSE(fs::exists(unfinished));
  EXPECT_EQ(done.restored, 1);
  EXPECT_EQ(done.removed, 1);
  EXPECT_EQ(done.kept, 1);
  close(held);
  EXPECT_EQ(WQPlatform::RetireInterruptedSaves(Path("live.kem")), 1);
}

TEST_F(PlatformTest, RetiringRemovesEveryCompleteSaveOfTheFileOnly) {
  const std::string stage = PlantCompleteSave(scratch.Path(), "a.kem", std::chrono::seconds(-60));
  const std::string other = PlantCompleteSave(scratch.Path(), "b.kem", std::chrono::seconds(10));
  EXPECT_EQ(WQPlatform::RetireInterruptedSaves(Path("a.kem")), 1);
  EXPECT_FALSE(fs::exists(stage));
  EXPECT_TRUE(fs::exists(other));
}

// Only a regular file is put in place: not a link, nor a folder, that someone put under the name.
TEST_F(HostileFilesTest, LinkOrFolderUnderACompleteSavesNameIsNotPutInPlace) {
  std::ofstream(Path("secret")) << "secret";
  fs::create_symlink(Path("secret"),
                     Path(std::string(".l.kem.wqnew-lab-99999999-") + kElsewhere + "-Aaaaaa"));
  fs::create_directory(Path(std::string(".d.kem.wqnew-lab-99999999-") + kElsewhere + "-Aaaaaa"));
  EXPECT_FALSE(WQPlatform::RestoreInterruptedSave(Path("l.kem")));
  EXPECT_FALSE(WQPlatform::RestoreInterruptedSave(Path("d.kem")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Path("l.kem"))));
  EXPECT_FALSE(fs::exists(Path("d.kem")));
}

// A save that lands after the target was found missing, before the complete file is renamed.
class SaveLandingMeanwhile : public WQPlatform::FileOps {
 public:
  explicit SaveLandingMeanwhile(std::string target) : target_(std::move(target)) {}
  int LinkStatus(const std::string& path, WQPlatform::FileStatus& status) override {
    std::ofstream(target_) << "newer";
    return FileOps::LinkStatus(path, status);
  }

 private:
  std::string target_;
};

TEST_F(PlatformTest, CompleteSaveNeverOverwritesASaveThatLandedMeanwhile) {
  const std::string stage = PlantCompleteSave(scratch.Path(), "a.kem", std::chrono::seconds(10));
  SaveLandingMeanwhile landing(Path("a.kem"));
  WQPlatform::ScopedFileOps seam(landing);
  EXPECT_FALSE(WQPlatform::RestoreInterruptedSave(Path("a.kem")));
  EXPECT_EQ(ReadBytes(Path("a.kem")), "newer");
  EXPECT_TRUE(fs::exists(stage));
}

// A FUSE or network client that hides an open target for a moment while it is replaced.
class HidingTargetOnce : public WQPlatform::FileOps {
 public:
  int Rename(const std::string& from, const std::string& to) override {
    if (from.find(".wqnew-") == std::string::npos || !std::exchange(hide_, false))
      return FileOps::Rename(from, to);
    errno = ENOENT;
    return -1;
  }

 private:
  bool hide_ = true;
};

TEST_F(PlatformTest, ReplaceRidesOutATargetHiddenForAMoment) {
  Save(Path("a.kem"), "old");
  HidingTargetOnce hiding;
  WQPlatform::ScopedFileOps seam(hiding);
  Save(Path("a.kem"), "new");
  EXPECT_EQ(ReadBytes(Path("a.kem")), "new");
  EXPECT_EQ(EntryCount(), 1u);
}

// Write access refused for the reason `error`, as access() gives it.
class RefusingAccess : public WQPlatform::FileOps {
 public:
  explicit RefusingAccess(int error) : error_(error) {}
  int Access(const std::string&, int) override {
    errno = error_;
    return -1;
  }

 private:
  int error_;
};

TEST_F(PlatformTest, TargetRenamedAwayBeforeTheAccessCheckIsSavedAnew) {
  Save(Path("a.kem"), "old");
  RefusingAccess gone(ENOENT);
  WQPlatform::ScopedFileOps seam(gone);
  Save(Path("a.kem"), "new");
  EXPECT_EQ(ReadBytes(Path("a.kem")), "new");
}

TEST_F(PlatformTest, RefusedAccessIsReportedWithItsOwnReason) {
  Save(Path("a.kem"), "old");
  RefusingAccess readOnly(EROFS);
  WQPlatform::ScopedFileOps seam(readOnly);
  EXPECT_THAT([this] { Save(Path("a.kem"), "new"); },
              ThrowsMessage<WQPlatform::SaveError>(
                  StrEq("Cannot replace " + Path("a.kem") + ": Read-only file system")));
}

// A file system without unnamed files gets a named one, gone from the directory before it is used,
// or once it is closed where an open file cannot be removed (SMB); an empty TMPDIR stands for none.
TEST_F(PlatformTest, ScratchWithoutUnnamedFilesIsNamedAndRemovedAtOnce) {
  class WithoutUnnamedFiles : public WQPlatformTesting::FaultInjector {
   public:
    WithoutUnnamedFiles(int failAt, bool busy)
        : FaultInjector(failAt, WQPlatformTesting::Fault::NoSpace, WQPlatformTesting::Mode::Once),
          busy_(busy) {}
    int CreateScratch(const std::string&) override {
      errno = EOPNOTSUPP;
      return -1;
    }
    int Unlink(const std::string& path) override {
      if (!std::exchange(busy_, false)) return FileOps::Unlink(path);
      errno = EBUSY;
      return -1;
    }

   private:
    bool busy_;
  };
  const std::string previous = WQPlatform::EnvironmentVariable("TMPDIR").value_or("");
  ::setenv("TMPDIR", scratch.Path().c_str(), 1);
  const auto fill = [](const WQPlatform::ReadOnlyFile::Writer& write) { write("inflated run"); };
  for (const bool busy : {false, true}) {
    WithoutUnnamedFiles ops(0, busy);
    WQPlatform::ScopedFileOps seam(ops);
    auto file = WQPlatform::ReadOnlyFile::Scratch("run.gz", fill);
    EXPECT_EQ(EntryCount(), busy ? 1u : 0u);
    std::string content(12, '\0');
    EXPECT_EQ(file->ReadAt(0, content.data(), content.size()), 12u);
    EXPECT_EQ(content, "inflated run");
    file.reset();
    EXPECT_EQ(EntryCount(), 0u);
  }
  WithoutUnnamedFiles failing(1, false);
  {
    WQPlatform::ScopedFileOps seam(failing);
    EXPECT_THAT([&] { WQPlatform::ReadOnlyFile::Scratch("run.gz", fill); },
                ThrowsMessage<WQPlatform::ReadError>(
                    StrEq("Cannot create a temporary file for run.gz in " +
                          scratch.Path().string() + ": No space left on device")));
  }
  EXPECT_EQ(EntryCount(), 0u);
  ::setenv("TMPDIR", "", 1);
  EXPECT_EQ(WQPlatform::ReadOnlyFile::Scratch("run.gz", fill)->Size(), 12u);
  ::setenv("TMPDIR", previous.c_str(), 1);
  if (previous.empty()) ::unsetenv("TMPDIR");
}

// Owner and group only where the machine lets a process give a file away.
TEST_F(HostileFilesTest, ReplacedFileKeepsItsPermissionsAndOwner) {
  const std::string path = Path("a.kem");
  for (unsigned mode : {0600u, 0640u, 0664u}) {
    Save(path, "old");
    chmod(path.c_str(), mode);
    const bool foreign = geteuid() == 0 && chown(path.c_str(), 4321, 8765) == 0;
    Save(path, "new");
    struct stat status {};
    stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 07777, mode);
    if (foreign) {
      EXPECT_EQ(std::tie(status.st_uid, status.st_gid), std::make_tuple(4321u, 8765u));
    }
  }
}

// A save refuses them also through a link and leaves no temporary file; both the whole-file read
// and the positional reads of a run refuse them, and a FIFO without a writer keeps neither waiting.
TEST_F(HostileFilesTest, SpecialFilesAreNeitherSavedOverNorRead) {
  fs::create_directory(Path("directory"));
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  for (const std::string kind : {"directory", "fifo"}) {
    SCOPED_TRACE(kind);
    const auto type = fs::symlink_status(Path(kind)).type();
    EXPECT_THAT([&] { WQPlatform::AtomicFile file(Path(kind)); },
                ThrowsMessage<WQPlatform::SaveError>(HasSubstr("not a regular file")));
    fs::create_symlink(Path(kind), Path("link-to-" + kind));
    EXPECT_THROW(Save(Path("link-to-" + kind), "x"), WQPlatform::SaveError);
    EXPECT_EQ(fs::symlink_status(Path(kind)).type(), type);
  }
  EXPECT_EQ(EntryCount(), 4u) << "no temporary file is left";
  for (const std::string& path : {std::string("/dev/zero"), Path("directory"), Path("fifo")}) {
    const auto refused =
        ThrowsMessage<WQPlatform::ReadError>(StrEq("Cannot read " + path + ": not a regular file"));
    EXPECT_THAT([&] { WQPlatform::ReadFile(path); }, refused);
    EXPECT_THAT([&] { WQPlatform::ReadOnlyFile::Open(path); }, refused);
  }
}

// The link stays a link and the file it leads to is replaced; a link that leads nowhere is
// refused without making the directories it names.
TEST_F(HostileFilesTest, SaveThroughALinkReplacesTheFileItLeadsTo) {
  fs::create_directory(Path("shared"));
  Save(Path("shared/a.kem"), "old");
  fs::create_symlink("shared/a.kem", Path("link.kem"));
  Save(Path("link.kem"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.kem")));
  EXPECT_EQ(ReadBytes(Path("shared/a.kem")), "new");
  fs::create_symlink(Path("nowhere/a.kem"), Path("dangling.kem"));
  EXPECT_THAT([this] { Save(Path("dangling.kem"), "x"); },
              ThrowsMessage<WQPlatform::SaveError>(HasSubstr(Path("dangling.kem"))));
  EXPECT_TRUE(fs::is_symlink(Path("dangling.kem")));
  EXPECT_FALSE(fs::exists(Path("nowhere")));
  EXPECT_EQ(EntryCount(), 3u);
}

// Two saves that only create, at once: the one committed first wins, the other keeps its hands off.
TEST_F(PlatformTest, SaveThatOnlyCreatesNeverReplaces) {
  const std::string target = Path("b.kem");
  WQPlatform::AtomicFile first(target, false);
  WQPlatform::AtomicFile second(target, false);
  first.Stream() << "first";
  second.Stream() << "second";
  first.Commit();
  const std::string exists = "Cannot create " + target + ": File exists";
  EXPECT_THAT([&] { second.Commit(); }, ThrowsMessage<WQPlatform::SaveError>(StrEq(exists)));
  EXPECT_THAT([&] { WQPlatform::AtomicFile third(target, false); },
              ThrowsMessage<WQPlatform::SaveError>(StrEq(exists)));
  EXPECT_EQ(ReadBytes(target), "first");
  EXPECT_EQ(EntryCount(), 1u) << "no temporary file is left";
}

// Hard links and a symbolic link: each name keeps the file, whether or not a move may replace.
TEST_F(HostileFilesTest, MoveBetweenTwoNamesOfOneFileIsRefused) {
  Save(Path("a.kem"), "method");
  fs::create_hard_link(Path("a.kem"), Path("b.kem"));
  fs::create_symlink("a.kem", Path("c.kem"));
  for (const auto& [from, to] : {std::pair("a.kem", "b.kem"), std::pair("c.kem", "a.kem")}) {
    for (const bool replace : {true, false}) {
      EXPECT_EQ(WQPlatform::MoveFile(Path(from), Path(to), replace),
                "both names lead to the same file");
    }
  }
  EXPECT_EQ(ReadBytes(Path("a.kem")), "method");
  EXPECT_EQ(fs::hard_link_count(Path("a.kem")), 2u);
  EXPECT_TRUE(fs::is_symlink(Path("c.kem")));
}

TEST_F(HostileFilesTest, LongestFileNamesCanBeSavedAgainAndAgain) {
  // 255 bytes, the most a name may hold, and a name of two-byte characters.
  std::string utf8;
  while (utf8.size() + 2 <= 251) utf8 += "\xc3\xa9";
  for (const std::string& name : {std::string(251, 'n') + ".kem", utf8 + ".kem"}) {
    Save(Path(name), "first");
    Save(Path(name), "second");
    EXPECT_EQ(ReadBytes(Path(name)), "second");
  }
  EXPECT_EQ(EntryCount(), 2u);
}

// A file larger than its kind is refused before it is read. A file that grew after it was opened
// is read past that size to its end, and no further than the limit of its kind.
TEST_F(HostileFilesTest, ReadRefusesAFileLargerThanItsKindAndTakesOneThatGrewUpToTheLimit) {
  const std::string path = Path("sparse.pref");
  WQPlatformTesting::WriteBytes(path, "");
  fs::resize_file(path, std::uintmax_t{1} << 30);
  EXPECT_THAT([&] { WQPlatform::ReadFile(path); },
              ThrowsMessage<WQPlatform::ReadError>(
                  StrEq("Cannot read " + path +
                        ": it holds 1073741824 bytes, more than the 67108864 that a file of its "
                        "kind can hold")));
  fs::resize_file(path, 100);
  EXPECT_EQ(WQPlatform::ReadFile(path, 100)->size(), 100u);
  EXPECT_THROW(WQPlatform::ReadFile(path, 99), WQPlatform::ReadError);
  const std::string content(100000, 'g');
  Save(path, content);
  GrowingFileOps growing;
  WQPlatform::ScopedFileOps seam(growing);
  EXPECT_EQ(WQPlatform::ReadFile(path), content);
  EXPECT_EQ(WQPlatform::ReadFile(path, content.size()), content);
  EXPECT_THAT([&] { WQPlatform::ReadFile(path, 99999); },
              ThrowsMessage<WQPlatform::ReadError>(
                  StrEq("Cannot read " + path +
                        ": it grew beyond the 99999 bytes that a file of its kind can hold")));
}

}  // namespace
