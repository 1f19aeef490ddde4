#include <WQPlatformTesting/SimulatedDisk.h>

#include <cerrno>
#include <cstring>

namespace WQPlatformTesting {
namespace {

std::string DirectoryOf(const std::string& path) {
  const auto cut = path.rfind(WQPlatform::kSeparator);
  return cut == std::string::npos ? "." : path.substr(0, cut);
}

int Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

void SimulatedDisk::PutDurable(const std::string& path, const std::string& content) {
  names_[path] = durableNames_[path] = NewInode(content);
}

std::optional<std::string> SimulatedDisk::AfterPowerLoss(const std::string& path) const {
  const auto found = durableNames_.find(path);
  return found == durableNames_.end() ? std::nullopt : std::optional(inodes_[found->second].synced);
}

int SimulatedDisk::NewInode(const std::string& content) {
  inodes_.push_back({content, content});
  return static_cast<int>(inodes_.size() - 1);
}

int SimulatedDisk::OpenInode(int inode) {
  open_[nextDescriptor_] = {inode, 0};
  return nextDescriptor_++;
}

SimulatedDisk::Open* SimulatedDisk::Opened(int descriptor) {
  const auto found = open_.find(descriptor);
  if (found != open_.end()) return &found->second;
  errno = EBADF;
  return nullptr;
}

int SimulatedDisk::Changed(int result) {
  if (observer_) observer_();
  return result;
}

int SimulatedDisk::OpenTruncating(const std::string& path) {
  const auto found = names_.find(path);
  const int inode = found == names_.end() ? names_[path] = NewInode() : found->second;
  inodes_[inode] = {};
  return Changed(OpenInode(inode));
}

int SimulatedDisk::CreateTemporary(std::string& pathTemplate) {
  const std::string unique = std::to_string(100000 + nextTemporary_++);
  pathTemplate.replace(pathTemplate.rfind("XXXXXX"), 6, unique.substr(unique.size() - 6));
  return Changed(OpenInode(names_[pathTemplate] = NewInode()));
}

int SimulatedDisk::Adopt(int, const WQPlatform::FileStatus&) { return 0; }

long SimulatedDisk::Write(int descriptor, const char* data, std::size_t size) {
  Open* open = Opened(descriptor);
  if (!open) return -1;
  inodes_[open->inode].data.append(data, size);
  Changed();
  return static_cast<long>(size);
}

int SimulatedDisk::Sync(int descriptor) {
  Open* open = Opened(descriptor);
  if (!open) return -1;
  inodes_[open->inode].synced = inodes_[open->inode].data;
  return Changed();
}

int SimulatedDisk::Close(int descriptor) { return open_.erase(descriptor) == 1 ? 0 : Fail(EBADF); }

int SimulatedDisk::Rename(const std::string& from, const std::string& to) {
  const auto found = names_.find(from);
  if (found == names_.end()) return Fail(ENOENT);
  const int inode = found->second;
  names_.erase(found);
  names_[to] = inode;
  return Changed();
}

int SimulatedDisk::SyncDirectory(const std::string& directory) {
  for (auto it = durableNames_.begin(); it != durableNames_.end();)
    it = DirectoryOf(it->first) == directory ? durableNames_.erase(it) : std::next(it);
  for (const auto& [path, inode] : names_)
    if (DirectoryOf(path) == directory) durableNames_[path] = inode;
  return Changed();
}

int SimulatedDisk::Unlink(const std::string& path) {
  return names_.erase(path) == 0 ? Fail(ENOENT) : Changed();
}

int SimulatedDisk::OpenForReading(const std::string& path) {
  const auto found = names_.find(path);
  return found == names_.end() ? Fail(ENOENT) : OpenInode(found->second);
}

int SimulatedDisk::Status(int descriptor, WQPlatform::FileStatus& status) {
  Open* open = Opened(descriptor);
  if (!open) return -1;
  status = WQPlatform::FileStatus{true, inodes_[open->inode].data.size(), 0644};
  return 0;
}

long SimulatedDisk::Read(int descriptor, char* data, std::size_t size) {
  Open* open = Opened(descriptor);
  if (!open) return -1;
  const std::string& content = inodes_[open->inode].data;
  const std::size_t count = std::min(size, content.size() - open->position);
  std::memcpy(data, content.data() + open->position, count);
  open->position += count;
  return static_cast<long>(count);
}

PowerLossOutcome LosePowerEverywhere(SimulatedDisk& disk, const std::string& path,
                                     const std::string& older, const std::string& newer,
                                     const std::function<void()>& save) {
  PowerLossOutcome outcome;
  bool acknowledged = false;
  const auto check = [&] {
    ++outcome.crashPoints;
    const auto survivor = disk.AfterPowerLoss(path);
    if (survivor != older && survivor != newer) ++outcome.tornFiles;
    if (acknowledged && survivor != newer) ++outcome.acknowledgedLost;
  };
  disk.Observe(check);
  save();
  acknowledged = true;
  check();
  disk.Observe(nullptr);
  return outcome;
}

}  // namespace WQPlatformTesting
