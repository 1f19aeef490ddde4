// An in-memory disk that behaves as POSIX promises after a power loss: only data that was synced
// survives, and only under names whose directory was synced after they were made.
#pragma once

#include <WQPlatform/Platform.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace WQPlatformTesting {

class SimulatedDisk : public WQPlatform::FileOps {
 public:
  // Puts a file at `path` that has already reached the disk.
  void PutDurable(const std::string& path, const std::string& content);
  // Calls `observer` after every operation that changes the disk: each call is a point at which
  // the power may fail.
  void Observe(std::function<void()> observer) { observer_ = std::move(observer); }

  // What would be found at `path` if the power failed now.
  std::optional<std::string> AfterPowerLoss(const std::string& path) const;

  // Opens `path` for writing in place, creating it and emptying it; the truncation reaches the
  // disk at once, as a metadata change does.
  int OpenTruncating(const std::string& path);

  // Its files take no locks, as on a network file system.
  bool LocalFileSystem(const std::string&) override { return false; }
  int CreateTemporary(std::string& pathTemplate) override;
  int Adopt(int descriptor, const WQPlatform::FileStatus& like) override;
  long Write(int descriptor, const char* data, std::size_t size) override;
  int Sync(int descriptor) override;
  int Close(int descriptor) override;
  int Rename(const std::string& from, const std::string& to) override;
  int SyncDirectory(const std::string& directory) override;
  int Unlink(const std::string& path) override;
  int OpenForReading(const std::string& path) override;
  int Status(int descriptor, WQPlatform::FileStatus& status) override;
  long Read(int descriptor, char* data, std::size_t size) override;

 private:
  struct Inode {
    std::string data, synced;
  };
  struct Open {
    int inode;
    std::size_t position;
  };

  // A new file holding `content`, on the disk as well.
  int NewInode(const std::string& content = {});
  int OpenInode(int inode);
  // The open file `descriptor`, or null after setting errno to EBADF.
  Open* Opened(int descriptor);
  // Tells the observer of a change and returns `result`.
  int Changed(int result = 0);

  std::vector<Inode> inodes_;
  std::map<std::string, int> names_;         // as the running system sees them
  std::map<std::string, int> durableNames_;  // as the disk holds them
  std::map<int, Open> open_;
  int nextDescriptor_ = 100;
  int nextTemporary_ = 0;
  std::function<void()> observer_;
};

struct PowerLossOutcome {
  int crashPoints = 0;       // moments at which the power was (virtually) lost
  int tornFiles = 0;         // of them, those that left neither the old nor the new file
  int acknowledgedLost = 0;  // those after the save returned that did not leave the new file
};

// Runs `save` on `disk`, which holds `older` at `path`, and looks at what a power loss after each
// of its operations, and after it returned, would leave at `path`.
PowerLossOutcome LosePowerEverywhere(SimulatedDisk& disk, const std::string& path,
                                     const std::string& older, const std::string& newer,
                                     const std::function<void()>& save);

}  // namespace WQPlatformTesting
