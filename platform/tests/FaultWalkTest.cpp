// Saves and recoveries failed at each of their file operations in turn: a failure is reported
// naming the file, or ridden out, and never loses a file's content nor leaves a temporary file
// behind.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "PlatformFixture.h"

namespace {

namespace fs = std::filesystem;
using PlatformTests::OnlyTemporaryIn;
using PlatformTests::PlatformTest;
using PlatformTests::Save;
using WQPlatformTesting::ReadBytes;

// Every operation of a save fails in turn, until none is left to fail: each failure is reported,
// leaves the earlier file as it was and no temporary file behind; only a failed sync of the
// directory, after the new file took the target's place, leaves the new content.
TEST_F(PlatformTest, SaveFailedAtAnyOperationKeepsTheEarlierFileAndLeavesNothing) {
  Save(Path("a.kem"), "earlier");
  for (int failAt = 1;; ++failAt) {
    ASSERT_LT(failAt, 50) << "a save of a small file makes far fewer operations";
    WQPlatformTesting::FaultInjector injector(failAt, WQPlatformTesting::Fault::IOError,
                                              WQPlatformTesting::Mode::Once);
    WQPlatform::ScopedFileOps seam(injector);
    bool reported = false;
    try {
      Save(Path("a.kem"), "later");
    } catch (const WQPlatform::SaveError&) {
      reported = true;
    }
    EXPECT_EQ(reported, !injector.FirstStruck().empty()) << "at " << failAt;
    if (!reported) {
      EXPECT_EQ(ReadBytes(Path("a.kem")), "later");
      EXPECT_GT(failAt, 5);
      break;
    }
    const bool placed = injector.FirstStruck() == "SyncDirectory";
    EXPECT_EQ(ReadBytes(Path("a.kem")), placed ? "later" : "earlier")
        << "failing " << injector.FirstStruck() << " at " << failAt;
    EXPECT_EQ(EntryCount(), 1u) << "failing " << injector.FirstStruck() << " at " << failAt;
    if (placed) Save(Path("a.kem"), "earlier");
  }
}

// Fails the `failAt`-th of all the file operations of saves and recoveries with EIO, reading
// aside, and tells a local file system, where locks hold, only when `locksHold`.
class FailingOps : public WQPlatform::FileOps {
 public:
  FailingOps(int failAt, bool locksHold) : failAt_(failAt), locksHold_(locksHold) {}
  // The name of the operation failed; empty when none was.
  const std::string& Struck() const { return struck_; }

  int CreateTemporary(std::string& path) override {
    return Strikes("CreateTemporary") ? -1 : FileOps::CreateTemporary(path);
  }
  int Adopt(int descriptor, const WQPlatform::FileStatus& like) override {
    return Strikes("Adopt") ? -1 : FileOps::Adopt(descriptor, like);
  }
  long Write(int descriptor, const char* data, std::size_t size) override {
    return Strikes("Write") ? -1 : FileOps::Write(descriptor, data, size);
  }
  int Sync(int descriptor) override { return Strikes("Sync") ? -1 : FileOps::Sync(descriptor); }
  int Close(int descriptor) override {
    // The descriptor is released either way, as close() does when it reports an error.
    const int result = FileOps::Close(descriptor);
    return Strikes("Close") ? -1 : result;
  }
  int Rename(const std::string& from, const std::string& to) override {
    return Strikes("Rename") ? -1 : FileOps::Rename(from, to);
  }
  int RenameNoReplace(const std::string& from, const std::string& to) override {
    return Strikes("RenameNoReplace") ? -1 : FileOps::RenameNoReplace(from, to);
  }
  int PathStatus(const std::string& path, WQPlatform::FileStatus& status) override {
    return Strikes("PathStatus") ? -1 : FileOps::PathStatus(path, status);
  }
  int LinkStatus(const std::string& path, WQPlatform::FileStatus& status) override {
    return Strikes("LinkStatus") ? -1 : FileOps::LinkStatus(path, status);
  }
  int Access(const std::string& path, int mode) override {
    return Strikes("Access") ? -1 : FileOps::Access(path, mode);
  }
  int ResolvePath(const std::string& path, std::string& resolved) override {
    return Strikes("ResolvePath") ? -1 : FileOps::ResolvePath(path, resolved);
  }
  int CreateDirectory(const std::string& path) override {
    return Strikes("CreateDirectory") ? -1 : FileOps::CreateDirectory(path);
  }
  int ReadDirectory(const std::string& directory, const EntryVisitor& visit) override {
    return Strikes("ReadDirectory") ? -1 : FileOps::ReadDirectory(directory, visit);
  }
  int Signal(long pid, int signal) override {
    return Strikes("Signal") ? -1 : FileOps::Signal(pid, signal);
  }
  int SyncDirectory(const std::string& directory) override {
    return Strikes("SyncDirectory") ? -1 : FileOps::SyncDirectory(directory);
  }
  int Unlink(const std::string& path) override {
    return Strikes("Unlink") ? -1 : FileOps::Unlink(path);
  }
  int Status(int descriptor, WQPlatform::FileStatus& status) override {
    return Strikes("Status") ? -1 : FileOps::Status(descriptor, status);
  }
  int HoldLock(int descriptor) override {
    return Strikes("HoldLock") ? -1 : FileOps::HoldLock(descriptor);
  }
  int ProbeLock(const std::string& path) override {
    return Strikes("ProbeLock") ? -1 : FileOps::ProbeLock(path);
  }
  bool LocalFileSystem(const std::string& path) override {
    return locksHold_ && FileOps::LocalFileSystem(path);
  }

 private:
  bool Strikes(const char* operation) {
    if (++count_ != failAt_) return false;
    struck_ = operation;
    errno = EIO;
    return true;
  }
  int failAt_;
  bool locksHold_;
  int count_ = 0;
  std::string struck_;
};

// The run part of this process's temporary names, so that a leftover can pass for one of its own
// boot and pid namespace whose writer is gone.
std::string CurrentRun(const std::string& probe) {
  WQPlatform::AtomicFile file(probe);
  const std::string name = OnlyTemporaryIn(fs::path(probe).parent_path());
  return name.substr(name.size() - 23, 16);
}

// The temporary files in `directory` but `kept`.
std::size_t TemporariesBut(const fs::path& directory, const std::string& kept) {
  std::size_t found = 0;
  for (const auto& entry : fs::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    found += name != kept && WQPlatform::IsTemporaryName(name);
  }
  return found;
}

// A save through a link, beside the complete file of an earlier save whose writer has gone, fails
// at each of its operations in turn, with the locks of a local file system and without them (where
// the writer's process is asked for): the link stays a link; a failure is reported naming the file
// and leaves the earlier content (the new one only when the last sync of the directory failed) and
// no temporary file of its own; a save that goes on past a failed look or clean-up leaves the new
// content, and a save with no failure removes the earlier save's file.
TEST_F(PlatformTest, SaveThroughALinkFailedAtAnyOperationKeepsTheLinkAndOneWholeContent) {
  const std::string stale = ".a.kem.wqnew-lab-99999999-" + CurrentRun(Path("p.kem")) + "-Bbbbbb";
  fs::create_symlink("a.kem", Path("l.kem"));
  for (const bool locksHold : {true, false}) {
    for (int failAt = 1;; ++failAt) {
      ASSERT_LT(failAt, 60) << "a save of a small file makes far fewer operations";
      Save(Path("a.kem"), "earlier");
      std::ofstream(Path(stale)) << "stale";
      fs::last_write_time(Path(stale), fs::last_write_time(Path("a.kem")) - std::chrono::hours(1));
      FailingOps ops(failAt, locksHold);
      std::string failure;
      {
        WQPlatform::ScopedFileOps seam(ops);
        try {
          Save(Path("l.kem"), "later");
        } catch (const WQPlatform::SaveError& error) {
          failure = error.what();
        }
      }
      const std::string where = ops.Struck() + " at " + std::to_string(failAt);
      EXPECT_TRUE(fs::is_symlink(Path("l.kem"))) << where;
      if (ops.Struck().empty()) {
        EXPECT_EQ(ReadBytes(Path("a.kem")), "later");
        EXPECT_FALSE(fs::exists(Path(stale)));
        EXPECT_GT(failAt, 10);
        break;
      }
      const bool placed = failure.empty() || ops.Struck() == "SyncDirectory";
      EXPECT_EQ(ReadBytes(Path("a.kem")), placed ? "later" : "earlier") << where << ": " << failure;
      if (!failure.empty()) {
        EXPECT_THAT(failure, ::testing::AnyOf(::testing::HasSubstr(Path("a.kem") + ": "),
                                              ::testing::HasSubstr(Path("l.kem") + ": ")))
            << where;
      }
      EXPECT_EQ(TemporariesBut(scratch.Path(), stale), 0u) << where;
    }
  }
}

// A save into a folder made for it, without replacing, fails at each operation in turn: when the
// folder cannot be made, the save is refused naming its file; any failure leaves no file and no
// temporary file, a success the whole one.
TEST_F(PlatformTest, SaveIntoANewFolderFailedAtAnyOperationIsRefusedOrWhole) {
  const std::string folder = Path("made");
  const std::string target = folder + "/a.kem";
  for (int failAt = 1;; ++failAt) {
    ASSERT_LT(failAt, 60) << "a save of a small file makes far fewer operations";
    fs::remove_all(folder);
    FailingOps ops(failAt, true);
    std::string failure;
    {
      WQPlatform::ScopedFileOps seam(ops);
      try {
        WQPlatform::MakeDirectory(folder);
        WQPlatform::AtomicFile file(target, false);
        file.Stream() << "new";
        file.Commit();
      } catch (const WQPlatform::SaveError& error) {
        failure = error.what();
      }
    }
    if (ops.Struck().empty()) {
      EXPECT_EQ(ReadBytes(target), "new");
      break;
    }
    const std::string where = ops.Struck() + " at " + std::to_string(failAt);
    if (ops.Struck() == "CreateDirectory") {
      EXPECT_EQ(failure,
                "Cannot create a temporary file for " + target + ": No such file or directory");
    }
    const bool placed = failure.empty() || ops.Struck() == "SyncDirectory";
    EXPECT_EQ(fs::exists(target), placed) << where << ": " << failure;
    if (placed) {
      EXPECT_EQ(ReadBytes(target), "new") << where;
    } else {
      EXPECT_THAT(failure, ::testing::HasSubstr(target + ": ")) << where;
    }
    if (fs::exists(folder)) {
      EXPECT_EQ(TemporariesBut(folder, ""), 0u) << where;
    }
  }
}

// Every operation of a recovery fails in turn: the content of a save cut short after it was
// complete is never lost, it stays under its own name or takes the target's, and a recovery
// that meets no failure puts it in place and removes the rest.
TEST_F(PlatformTest, RecoveryFailedAtAnyOperationNeverLosesTheCompleteSave) {
  const std::string run = CurrentRun(Path("probe.kem"));
  const std::string complete = ".g.kem.wqnew-lab-99999999-" + run + "-Bbbbbb";
  const std::string unfinished = ".g.kem.wqtmp-lab-99999999-" + run + "-Cccccc";
  fs::create_directory(Path("sub"));
  for (const bool locksHold : {true, false}) {
    for (int failAt = 1;; ++failAt) {
      ASSERT_LT(failAt, 50) << "a recovery of two leftovers makes far fewer operations";
      fs::remove(Path("sub/g.kem"));
      std::ofstream(Path("sub/" + complete)) << "complete";
      std::ofstream(Path("sub/" + unfinished)) << "half";
      FailingOps ops(failAt, locksHold);
      {
        WQPlatform::ScopedFileOps seam(ops);
        WQPlatform::RecoverInterruptedSaves({scratch.Path().string()}, 3600);
      }
      if (ops.Struck().empty()) {
        EXPECT_EQ(ReadBytes(Path("sub/g.kem")), "complete");
        EXPECT_EQ(std::distance(fs::directory_iterator(Path("sub")), fs::directory_iterator()), 1);
        EXPECT_GT(failAt, 5);
        break;
      }
      const std::string kept = fs::exists(Path("sub/g.kem")) ? "sub/g.kem" : "sub/" + complete;
      EXPECT_EQ(ReadBytes(Path(kept)), "complete") << ops.Struck() << " at " << failAt;
      fs::remove(Path("sub/" + unfinished));
    }
  }
}

}  // namespace
