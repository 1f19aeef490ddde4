// Every save of the module, failed at each of its file operations in turn with every kind of
// fault, and interrupted by a power loss after each of them: the earlier file survives whole, the
// failure is reported with the operation's own message, no temporary file stays, and no save is
// reported done that did not reach the disk.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <WQPlatformTesting/SimulatedDisk.h>
#include <gmock/gmock.h>

#include <iostream>
#include <iterator>

#include "SaveCases.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using namespace wqfuzz;
using namespace WQPlatformTesting;

using SaveFaultsTest = wqtest::UnrecordedDataDirectoryTest;

TEST_F(SaveFaultsTest, EverySaveUnderEveryFaultKeepsTheEarlierFileOrCompletes) {
  int faults = 0;
  int filesLost = 0;
  int falseSuccesses = 0;
  int temporariesLeft = 0;
  const std::vector<SaveCase> saves = AllSaveCases(Base());
  for (const SaveCase& save : saves) {
    const std::string newer = SavedBytes(save, 1);
    ASSERT_NE(newer, SavedBytes(save, 0)) << save.name;
    for (Fault fault : kAllFaults) {
      for (Mode mode : {Mode::Once, Mode::FromThenOn}) {
        // Value 1 saved over value 0 with the failAt-th operation failing, until the save has
        // fewer operations than that.
        for (int failAt = 1;; ++failAt) {
          const std::string before = SavedBytes(save, 0);
          FaultInjector injector(failAt, fault, mode);
          std::string error;
          bool saved = true;
          try {
            WQPlatform::ScopedFileOps seam(injector);
            save.save(1);
          } catch (const std::exception& failure) {
            saved = false;
            error = failure.what();
          }
          if (injector.FirstStruck().empty()) break;
          ++faults;
          const std::string where =
              save.name + ": " + Name(fault, mode) + " at " + injector.FirstStruck();
          const std::string after = ReadBytes(save.file);
          const bool replaced = after == newer;
          filesLost += after != before && !replaced;
          falseSuccesses += saved && !replaced;
          temporariesLeft += TemporaryFiles(save.file.parent_path());
          if (IsTransient(fault)) {
            EXPECT_TRUE(saved && replaced) << where << ": " << error;
            continue;
          }
          EXPECT_FALSE(saved) << where;
          if (save.failure.empty())
            EXPECT_THAT(error, ::testing::HasSubstr(save.file.string())) << where;
          else
            EXPECT_EQ(error, save.failure) << where;
          // Only a failed sync of the directory comes after the new file took the old one's name.
          if (injector.FirstStruck() != "SyncDirectory") {
            EXPECT_EQ(after, before) << where;
          }
        }
      }
    }
  }
  EXPECT_EQ(filesLost, 0);
  EXPECT_EQ(temporariesLeft, 0);
  std::cout << "Fault injection: " << faults << " faults (" << saves.size() << " saves x "
            << std::size(kAllFaults) << " kinds x 2 modes x each operation), " << filesLost
            << " files lost, " << falseSuccesses << " false successes, " << temporariesLeft
            << " temporary files left.\n";
}

TEST_F(SaveFaultsTest, PowerLossDuringAnySaveLeavesTheOldOrTheNewFile) {
  PowerLossOutcome total;
  const std::vector<SaveCase> saves = AllSaveCases(Base());
  for (const SaveCase& save : saves) {
    const std::string newer = SavedBytes(save, 1);
    const std::string older = SavedBytes(save, 0);
    // The disk holds every file of the data directory, since some saves read others first.
    SimulatedDisk disk;
    for (const auto& entry : fs::recursive_directory_iterator(Base()))
      if (entry.is_regular_file()) disk.PutDurable(entry.path().string(), ReadBytes(entry.path()));
    const PowerLossOutcome outcome =
        LosePowerEverywhere(disk, save.file.string(), older, newer, [&] {
          WQPlatform::ScopedFileOps seam(disk);
          save.save(1);
        });
    total.crashPoints += outcome.crashPoints;
    total.tornFiles += outcome.tornFiles;
    total.acknowledgedLost += outcome.acknowledgedLost;
  }
  EXPECT_EQ(total.tornFiles, 0);
  EXPECT_EQ(total.acknowledgedLost, 0);
  std::cout << "Power loss: " << total.crashPoints << " crash points over " << saves.size()
            << " saves, " << total.tornFiles << " torn files, " << total.acknowledgedLost
            << " acknowledged saves lost.\n";
}

}  // namespace
