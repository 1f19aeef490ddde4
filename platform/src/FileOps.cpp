// The system's own file operations, which tests replace through ScopedFileOps.
#include <WQPlatform/Platform.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "Internal.h"

namespace WQPlatform {
namespace {

void Describe(const struct stat& found, FileStatus& status) {
  status.regular = S_ISREG(found.st_mode);
  status.directory = S_ISDIR(found.st_mode);
  status.link = S_ISLNK(found.st_mode);
  status.size = static_cast<std::uint64_t>(found.st_size);
  status.mode = found.st_mode & 07777;
  status.owner = found.st_uid;
  status.group = found.st_gid;
  status.modified =
      static_cast<std::int64_t>(found.st_mtim.tv_sec) * 1000000000 + found.st_mtim.tv_nsec;
  status.links = found.st_nlink;
  status.device = found.st_dev;
  status.inode = found.st_ino;
}

// The file systems that this computer's kernel keeps, by their statfs magic numbers.
constexpr unsigned long kLocalFileSystems[] = {
    0xEF53,      // ext2, ext3, ext4
    0x58465342,  // XFS
    0x9123683E,  // Btrfs
    0xF2F52010,  // F2FS
    0x2FC12FC1,  // ZFS
    0x01021994,  // tmpfs
    0x858458F6,  // ramfs
    0x794C7630,  // overlay
};

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

FileOps* currentOps = nullptr;

}  // namespace

FileOps& Ops() { return currentOps ? *currentOps : SystemFileOps(); }

ScopedFileOps::ScopedFileOps(FileOps& ops) : previous_(currentOps) { currentOps = &ops; }

ScopedFileOps::~ScopedFileOps() { currentOps = previous_; }

FileOps::~FileOps() = default;

int FileOps::CreateTemporary(std::string& pathTemplate) {
  const std::size_t unique = pathTemplate.rfind(std::string(kUniqueLength, 'X'));
  if (unique == std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  // Created as open(O_CREAT, 0666) creates a file, so that the process's umask and the
  // directory's default ACL apply as they would to a file written in place; mkstemp's 0600 would
  // need the umask, which cannot be read without changing it for every thread.
  thread_local std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kUniqueCharacters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = 0; i < kUniqueLength; ++i)
      pathTemplate[unique + i] = kUniqueCharacters[pick(random)];
    const int descriptor =
        open(pathTemplate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

int FileOps::Adopt(int descriptor, const FileStatus& like) {
  // Only a privileged process may give a file away; anyone may keep a group they belong to.
  // Where neither is allowed the file stays the saving user's, as a file written anew would.
  const bool owned = fchown(descriptor, like.owner, like.group) == 0 ||
                     fchown(descriptor, static_cast<uid_t>(-1), like.group) == 0;
  static_cast<void>(owned);
  // After fchown, which clears the set-user-id and set-group-id bits.
  return fchmod(descriptor, like.mode);
}

long FileOps::Write(int descriptor, const char* data, std::size_t size) {
  return static_cast<long>(write(descriptor, data, size));
}

int FileOps::Sync(int descriptor) { return fsync(descriptor); }

int FileOps::Close(int descriptor) { return close(descriptor); }

int FileOps::Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str());
}

int FileOps::SyncDirectory(const std::string& directory) {
  const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return -1;
  const int result = fsync(descriptor);
  const int error = errno;
  close(descriptor);
  errno = error;
  return result;
}

int FileOps::Unlink(const std::string& path) { return unlink(path.c_str()); }

int FileOps::CreateScratch(const std::string& directory) {
  return open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

int FileOps::CreateNamedScratch(std::string& pathTemplate) {
  return mkostemp(pathTemplate.data(), O_CLOEXEC);
}

int FileOps::OpenForReading(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
  return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int FileOps::Status(int descriptor, FileStatus& status) {
  // A network client may remember the size of the file that had this name before: reading would
  // then stop there. Forcing a sync asks the server about the file open here.
  struct statx found;
  if (statx(descriptor, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_BASIC_STATS, &found) != 0)
    return -1;
  status.regular = S_ISREG(found.stx_mode);
  status.size = found.stx_size;
  status.mode = found.stx_mode & 07777;
  status.owner = found.stx_uid;
  status.group = found.stx_gid;
  status.links = found.stx_nlink;
  status.device = makedev(found.stx_dev_major, found.stx_dev_minor);
  status.inode = found.stx_ino;
  return 0;
}

long FileOps::Read(int descriptor, char* data, std::size_t size) {
  return static_cast<long>(read(descriptor, data, size));
}

long FileOps::ReadAt(int descriptor, char* data, std::size_t size, std::uint64_t offset) {
  return static_cast<long>(pread(descriptor, data, size, static_cast<off_t>(offset)));
}

int FileOps::RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A second name is refused where one exists, in one step; the first then goes.
  if (link(from.c_str(), to.c_str()) == 0) return unlink(from.c_str());
  if (errno == EEXIST) return -1;
  struct stat existing;
  if (lstat(to.c_str(), &existing) == 0) {
    errno = EEXIST;
    return -1;
  }
  return Rename(from, to);
}

int FileOps::PathStatus(const std::string& path, FileStatus& status) {
  struct stat found;
  if (stat(path.c_str(), &found) != 0) return -1;
  Describe(found, status);
  return 0;
}

int FileOps::LinkStatus(const std::string& path, FileStatus& status) {
  struct stat found;
  if (lstat(path.c_str(), &found) != 0) return -1;
  Describe(found, status);
  return 0;
}

std::optional<FileStatus> PathLinkStatus(const std::string& path) {
  FileStatus status;
  if (Ops().LinkStatus(path, status) != 0) return std::nullopt;
  return status;
}

int FileOps::Access(const std::string& path, int mode) { return access(path.c_str(), mode); }

int FileOps::ResolvePath(const std::string& path, std::string& resolved) {
  const std::unique_ptr<char, void (*)(void*)> found(realpath(path.c_str(), nullptr), std::free);
  if (!found) return -1;
  resolved = found.get();
  return 0;
}

int FileOps::CreateDirectory(const std::string& path) { return mkdir(path.c_str(), 0777); }

int FileOps::ReadDirectory(const std::string& directory, const EntryVisitor& visit) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return -1;
  for (;;) {
    // readdir tells the end and a failure apart only by errno.
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) return errno == 0 ? 0 : -1;
    const EntryKind kind = entry->d_type == DT_DIR       ? EntryKind::Directory
                           : entry->d_type == DT_UNKNOWN ? EntryKind::Unknown
                                                         : EntryKind::Other;
    if (!visit(entry->d_name, kind)) return 0;
  }
}

int FileOps::Signal(long pid, int signal) { return kill(static_cast<pid_t>(pid), signal); }

bool FileOps::LocalFileSystem(const std::string& path) {
  struct statfs found;
  if (statfs(path.c_str(), &found) != 0) return false;
  for (const unsigned long type : kLocalFileSystems)
    if (static_cast<unsigned long>(found.f_type) == type) return true;
  return false;
}

int FileOps::HoldLock(int descriptor) {
  // A duplicate shares the open file, and so the lock, which lasts until both are closed.
  const int holder = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (holder < 0 || flock(holder, LOCK_EX) == 0) return holder;
  const int error = errno;
  close(holder);
  errno = error;
  return -1;
}

int FileOps::ProbeLock(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (descriptor < 0 || flock(descriptor, LOCK_SH | LOCK_NB) == 0) return descriptor;
  const int error = errno;
  close(descriptor);
  errno = error;
  return -1;
}

}  // namespace WQPlatform
