// A power loss at any moment of a save leaves the old file or the new one, never a torn one, and
// never loses a save that was reported done. The same check is shown to catch the classic ways of
// getting this wrong.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/SimulatedDisk.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

using WQPlatformTesting::SimulatedDisk;

const std::string kTarget = "/lab/Prefs/GenTIC.pref";
const std::string kOld = "old record, fully on disk";
const std::string kNew = "the new record, which is a little longer";

struct Outcome {
  int crashPoints = 0;
  int tornFiles = 0;
  int acknowledgedLost = 0;
};

// Runs `save` over a disk that holds the old file and looks at what a power loss would leave
// after every operation of it, and after it returned.
Outcome LosePowerEverywhere(const std::function<void(SimulatedDisk&)>& save) {
  SimulatedDisk disk;
  disk.PutDurable(kTarget, kOld);
  Outcome outcome;
  bool acknowledged = false;
  const auto check = [&] {
    ++outcome.crashPoints;
    const auto survivor = disk.AfterPowerLoss(kTarget);
    if (survivor != kOld && survivor != kNew) ++outcome.tornFiles;
    if (acknowledged && survivor != kNew) ++outcome.acknowledgedLost;
  };
  disk.Observe(check);
  save(disk);
  acknowledged = true;
  check();
  return outcome;
}

void AtomicSave(SimulatedDisk& disk) {
  WQPlatform::ScopedFileOps seam(disk);
  WQPlatform::AtomicFile file(kTarget);
  file.Stream() << kNew;
  file.Commit();
}

void WriteInTwoParts(SimulatedDisk& disk, int descriptor) {
  const std::size_t half = kNew.size() / 2;
  disk.Write(descriptor, kNew.data(), half);
  disk.Write(descriptor, kNew.data() + half, kNew.size() - half);
}

// Seeded fault: rewrites the file in place.
void TruncatingSave(SimulatedDisk& disk) {
  const int descriptor = disk.OpenTruncating(kTarget);
  WriteInTwoParts(disk, descriptor);
  disk.Sync(descriptor);
  disk.Close(descriptor);
}

// Seeded fault: renames a file whose data may not be on the disk yet.
void SaveWithoutFileSync(SimulatedDisk& disk) {
  std::string temporary = kTarget + ".tmpXXXXXX";
  const int descriptor = disk.CreateTemporary(temporary);
  WriteInTwoParts(disk, descriptor);
  disk.Close(descriptor);
  disk.Rename(temporary, kTarget);
  disk.SyncDirectory("/lab/Prefs");
}

// Seeded fault: reports success before the new name is on the disk.
void SaveWithoutDirectorySync(SimulatedDisk& disk) {
  std::string temporary = kTarget + ".tmpXXXXXX";
  const int descriptor = disk.CreateTemporary(temporary);
  WriteInTwoParts(disk, descriptor);
  disk.Sync(descriptor);
  disk.Close(descriptor);
  disk.Rename(temporary, kTarget);
}

TEST(PowerLoss, AtomicSaveLeavesOldOrNewAndKeepsWhatItAcknowledged) {
  const Outcome outcome = LosePowerEverywhere(AtomicSave);
  EXPECT_GE(outcome.crashPoints, 6);
  EXPECT_EQ(outcome.tornFiles, 0);
  EXPECT_EQ(outcome.acknowledgedLost, 0);
}

TEST(PowerLoss, CheckCatchesEverySeededBrokenWriter) {
  const Outcome truncating = LosePowerEverywhere(TruncatingSave);
  const Outcome noFileSync = LosePowerEverywhere(SaveWithoutFileSync);
  const Outcome noDirectorySync = LosePowerEverywhere(SaveWithoutDirectorySync);
  EXPECT_GT(truncating.tornFiles, 0);
  EXPECT_GT(noFileSync.tornFiles, 0);
  EXPECT_GT(noDirectorySync.acknowledgedLost, 0);
  const int detected = (truncating.tornFiles > 0) + (noFileSync.tornFiles > 0) +
                       (noDirectorySync.acknowledgedLost > 0);
  std::cout << "seeded broken writers detected: " << detected << " of 3\n";
}

TEST(PowerLoss, LoadsReadWhatTheRunningSystemSees) {
  SimulatedDisk disk;
  AtomicSave(disk);
  WQPlatform::ScopedFileOps seam(disk);
  EXPECT_EQ(WQPlatform::ReadFile(kTarget), kNew);
  EXPECT_EQ(disk.Names("/lab/Prefs"), std::vector<std::string>{kTarget});
}

}  // namespace
