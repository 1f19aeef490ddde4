// Saves and recoveries failed at each of their file operations in turn: a failure never loses a
// file's content nor leaves a temporary file behind.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <cerrno>
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

// Fails the `failAt`-th of the looks, lock probes, renames and removals that recovery makes.
class FailingRecoveryOps : public WQPlatform::FileOps {
 public:
  explicit FailingRecoveryOps(int failAt) : failAt_(failAt) {}
  bool Struck() const { return count_ >= failAt_; }

  int LinkStatus(const std::string& path, WQPlatform::FileStatus& status) override {
    return Strikes() ? -1 : FileOps::LinkStatus(path, status);
  }
  int Access(const std::string& path, int mode) override {
    return Strikes() ? -1 : FileOps::Access(path, mode);
  }
  int ProbeLock(const std::string& path) override {
    return Strikes() ? -1 : FileOps::ProbeLock(path);
  }
  int RenameNoReplace(const std::string& from, const std::string& to) override {
    return Strikes() ? -1 : FileOps::RenameNoReplace(from, to);
  }
  int Unlink(const std::string& path) override { return Strikes() ? -1 : FileOps::Unlink(path); }

 private:
  bool Strikes() {
    if (++count_ != failAt_) return false;
    errno = EIO;
    return true;
  }
  int failAt_;
  int count_ = 0;
};

// Every operation of a recovery fails in turn: the content of a save cut short after it was
// complete is never lost, it stays under its own name or takes the target's, and a recovery
// that meets no failure puts it in place and removes the rest.
TEST_F(PlatformTest, RecoveryFailedAtAnyOperationNeverLosesTheCompleteSave) {
  std::string run;
  {
    WQPlatform::AtomicFile probe(Path("probe.kem"));
    run = OnlyTemporaryIn(scratch.Path()).substr(OnlyTemporaryIn(scratch.Path()).size() - 23, 16);
  }
  const std::string complete = ".g.kem.wqnew-lab-99999999-" + run + "-Bbbbbb";
  const std::string unfinished = ".g.kem.wqtmp-lab-99999999-" + run + "-Cccccc";
  for (int failAt = 1;; ++failAt) {
    ASSERT_LT(failAt, 50) << "a recovery of two leftovers makes far fewer operations";
    fs::remove(Path("g.kem"));
    std::ofstream(Path(complete)) << "complete";
    std::ofstream(Path(unfinished)) << "half";
    FailingRecoveryOps ops(failAt);
    {
      WQPlatform::ScopedFileOps seam(ops);
      WQPlatform::RecoverInterruptedSaves({scratch.Path().string()}, 3600);
    }
    if (!ops.Struck()) {
      EXPECT_EQ(ReadBytes(Path("g.kem")), "complete");
      EXPECT_EQ(EntryCount(), 1u);
      EXPECT_GT(failAt, 3);
      break;
    }
    const std::string kept = fs::exists(Path("g.kem")) ? "g.kem" : complete;
    EXPECT_EQ(ReadBytes(Path(kept)), "complete") << "failing at " << failAt;
    fs::remove(Path(unfinished));
  }
}

}  // namespace
