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
  const int inode = NewInode(content);
  inodes_[inode].synced = content;
  names_[path] = durableNames_[path] = inode;
}

std::optional<std::string> SimulatedDisk::Current(const std::string& path) const {
  const auto found = names_.find(path);
  if (found == names_.end()) return std::nullopt;
  return inodes_[found->second].data;
}

std::optional<std::string> SimulatedDisk::AfterPowerLoss(const std::string& path) const {
  const auto found = durableNames_.find(path);
  if (found == durableNames_.end()) return std::nullopt;
  return inodes_[found->second].synced;
}

std::vector<std::string> SimulatedDisk::Names(const std::string& directory) const {
  std::vector<std::string> names;
  for (const auto& [path, inode] : names_)
    if (DirectoryOf(path) == directory) names.push_back(path);
  return names;
}

int SimulatedDisk::NewInode(const std::string& content) {
  inodes_.push_back({content, {}});
  return static_cast<int>(inodes_.size() - 1);
}

int SimulatedDisk::OpenInode(int inode) {
  open_[nextDescriptor_] = {inode, 0};
  return nextDescriptor_++;
}

void SimulatedDisk::Changed() {
  if (observer_) observer_();
}

int SimulatedDisk::OpenTruncating(const std::string& path) {
  auto found = names_.find(path);
  int inode;
  if (found == names_.end()) {
    inode = NewInode({});
    names_[path] = inode;
  } else {
    inode = found->second;
    inodes_[inode].data.clear();
    inodes_[inode].synced.clear();
  }
  Changed();
  return OpenInode(inode);
}

int SimulatedDisk::CreateTemporary(std::string& pathTemplate) {
  const auto marker = pathTemplate.rfind("XXXXXX");
  if (marker == std::string::npos) return Fail(EINVAL);
  std::string unique = std::to_string(100000 + nextTemporary_++);
  pathTemplate.replace(marker, 6, unique.substr(unique.size() - 6));
  names_[pathTemplate] = NewInode({});
  Changed();
  return OpenInode(names_[pathTemplate]);
}

int SimulatedDisk::Adopt(int descriptor, const WQPlatform::FileStatus&) {
  return open_.count(descriptor) ? 0 : Fail(EBADF);
}

long SimulatedDisk::Write(int descriptor, const char* data, std::size_t size) {
  const auto found = open_.find(descriptor);
  if (found == open_.end()) return Fail(EBADF);
  inodes_[found->second.inode].data.append(data, size);
  Changed();
  return static_cast<long>(size);
}

int SimulatedDisk::Sync(int descriptor) {
  const auto found = open_.find(descriptor);
  if (found == open_.end()) return Fail(EBADF);
  Inode& inode = inodes_[found->second.inode];
  inode.synced = inode.data;
  Changed();
  return 0;
}

int SimulatedDisk::Close(int descriptor) { return open_.erase(descriptor) == 1 ? 0 : Fail(EBADF); }

int SimulatedDisk::Rename(const std::string& from, const std::string& to) {
  const auto found = names_.find(from);
  if (found == names_.end()) return Fail(ENOENT);
  const int inode = found->second;
  names_.erase(found);
  names_[to] = inode;
  Changed();
  return 0;
}

int SimulatedDisk::SyncDirectory(const std::string& directory) {
  for (auto it = durableNames_.begin(); it != durableNames_.end();)
    it = DirectoryOf(it->first) == directory ? durableNames_.erase(it) : std::next(it);
  for (const auto& [path, inode] : names_)
    if (DirectoryOf(path) == directory) durableNames_[path] = inode;
  Changed();
  return 0;
}

int SimulatedDisk::Unlink(const std::string& path) {
  if (names_.erase(path) == 0) return Fail(ENOENT);
  Changed();
  return 0;
}

int SimulatedDisk::OpenForReading(const std::string& path) {
  const auto found = names_.find(path);
  return found == names_.end() ? Fail(ENOENT) : OpenInode(found->second);
}

int SimulatedDisk::Status(int descriptor, WQPlatform::FileStatus& status) {
  const auto found = open_.find(descriptor);
  if (found == open_.end()) return Fail(EBADF);
  status = WQPlatform::FileStatus{};
  status.regular = true;
  status.size = inodes_[found->second.inode].data.size();
  status.mode = 0644;
  return 0;
}

long SimulatedDisk::Read(int descriptor, char* data, std::size_t size) {
  const auto found = open_.find(descriptor);
  if (found == open_.end()) return Fail(EBADF);
  const std::string& content = inodes_[found->second.inode].data;
  const std::size_t count = std::min(size, content.size() - found->second.position);
  std::memcpy(data, content.data() + found->second.position, count);
  found->second.position += count;
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
