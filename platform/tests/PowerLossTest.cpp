// A power loss at any moment of a save leaves the old file or the new one, never a torn one, and
// never loses a save that was reported done.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/SimulatedDisk.h>
#include <gtest/gtest.h>

namespace {

using namespace WQPlatformTesting;

const std::string kTarget = "/lab/Prefs/GenTIC.pref";
const std::string kOld = "old record, fully on disk";
const std::string kNew = "the new record, which is a little longer";

void AtomicSave(SimulatedDisk& disk) {
  WQPlatform::ScopedFileOps seam(disk);
  WQPlatform::AtomicFile file(kTarget);
  file.Stream() << kNew;
  file.Commit();
}

TEST(PowerLoss, AtomicSaveLeavesOldOrNewAndKeepsWhatItAcknowledged) {
  SimulatedDisk disk;
  disk.PutDurable(kTarget, kOld);
  const PowerLossOutcome outcome =
      LosePowerEverywhere(disk, kTarget, kOld, kNew, [&disk] { AtomicSave(disk); });
  EXPECT_GE(outcome.crashPoints, 6);
  EXPECT_EQ(outcome.tornFiles, 0);
  EXPECT_EQ(outcome.acknowledgedLost, 0);
}

TEST(PowerLoss, LoadsReadWhatTheRunningSystemSees) {
  SimulatedDisk disk;
  AtomicSave(disk);
  WQPlatform::ScopedFileOps seam(disk);
  EXPECT_EQ(WQPlatform::ReadFile(kTarget), kNew);
  EXPECT_EQ(disk.Names("/lab/Prefs"), std::vector<std::string>{kTarget});
}

}  // namespace
