#include <WQPlatform/Platform.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace WQPlatform {
namespace {

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

FileOps* currentOps = nullptr;

FileOps& Ops() { return currentOps ? *currentOps : SystemFileOps(); }

std::string DirectoryOf(const std::string& path) {
  const auto cut = path.rfind(kSeparator);
  if (cut == std::string::npos) return ".";
  if (cut == 0) return std::string(1, kSeparator);
  return path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
  const auto cut = path.rfind(kSeparator);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A temporary file is named ".<target name>.wqtmp-<process id>-XXXXXX", so that it is hidden,
// never ends in the target's extension, and tells which process is writing it.
constexpr char kTemporaryMark[] = ".wqtmp-";

std::string TemporaryTemplateFor(const std::string& target) {
  return DirectoryOf(target) + kSeparator + "." + NameOf(target) + kTemporaryMark +
         std::to_string(getpid()) + "-XXXXXX";
}

// True when the temporary file `name` belongs to a process that no longer runs.
bool IsStaleTemporary(const std::string& name) {
  const auto mark = name.rfind(kTemporaryMark);
  if (mark == std::string::npos) return false;
  const std::string owner = name.substr(mark + sizeof kTemporaryMark - 1);
  char* end = nullptr;
  const long pid = std::strtol(owner.c_str(), &end, 10);
  if (end == owner.c_str() || *end != '-' || pid <= 0) return false;
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

std::string SystemError(const std::string& action, const std::string& path, int error) {
  return action + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string host(name);
  return host.substr(0, host.find('.'));
}

std::string UserName() {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return found->pw_name;
  return {};
}

std::string LibraryPathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

std::int64_t CurrentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) { return Ops().Unlink(path) == 0; }

std::vector<std::string> ListDirectory(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    if (fnmatch(pattern.c_str(), entry->d_name, 0) == 0) names.emplace_back(entry->d_name);
  }
  return names;
}

bool IsListableDirectory(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  return dir != nullptr;
}

bool SameFile(const std::string& first, const std::string& second) {
  struct stat one, other;
  return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
         one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

namespace {

// Closes a descriptor opened through the file operations when the reading is over.
class ReadingDescriptor {
 public:
  explicit ReadingDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~ReadingDescriptor() {
    if (descriptor_ >= 0) Ops().Close(descriptor_);
  }
  ReadingDescriptor(const ReadingDescriptor&) = delete;
  ReadingDescriptor& operator=(const ReadingDescriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

}  // namespace

std::optional<std::string> ReadFile(const std::string& path, std::size_t limit) {
  const ReadingDescriptor descriptor(Ops().OpenForReading(path));
  if (descriptor.get() < 0) return std::nullopt;
  FileStatus status;
  if (Ops().Status(descriptor.get(), status) != 0) return std::nullopt;
  if (!status.regular) throw ReadError("Cannot read " + path + ": not a regular file");
  if (status.size > limit) {
    throw ReadError("Cannot read " + path + ": it holds " + std::to_string(status.size) +
                    " bytes, more than the " + std::to_string(limit) +
                    " that a file of its kind can hold");
  }
  std::string content;
  content.reserve(static_cast<std::size_t>(status.size));
  char chunk[65536];
  for (;;) {
    const long got = Ops().Read(descriptor.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
    // The file may grow while it is read; what was checked is what is read.
    if (content.size() > limit) {
      throw ReadError("Cannot read " + path + ": it grew beyond the " + std::to_string(limit) +
                      " bytes that a file of its kind can hold");
    }
  }
  return content;
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  struct stat existing;
  if (stat(target_.c_str(), &existing) == 0 &&
      (S_ISDIR(existing.st_mode) || access(target_.c_str(), W_OK) != 0)) {
    throw SaveError(
        SystemError("Cannot replace", target_, S_ISDIR(existing.st_mode) ? EISDIR : EACCES));
  }
  RemoveStaleTemporaries(DirectoryOf(target_));
  temporary_ = TemporaryTemplateFor(target_);
  descriptor_ = Ops().CreateTemporary(temporary_);
  if (descriptor_ < 0) {
    const int error = errno;
    temporary_.clear();
    throw SaveError(SystemError("Cannot create a temporary file for", target_, error));
  }
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (descriptor_ >= 0) Ops().Close(descriptor_);
  descriptor_ = -1;
  if (!temporary_.empty()) Ops().Unlink(temporary_);
  temporary_.clear();
}

void AtomicFile::Commit() {
  const std::string content = buffer_.str();
  const auto fail = [this](const std::string& action) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError(action, target_, error));
  };
  std::size_t written = 0;
  while (written < content.size()) {
    const long done = Ops().Write(descriptor_, content.data() + written, content.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      fail("Cannot write");
    }
    written += static_cast<std::size_t>(done);
  }
  // A failed fsync is never retried: the kernel may already have dropped the dirty pages.
  if (Ops().Sync(descriptor_) != 0) fail("Cannot sync");
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (Ops().Close(descriptor) != 0) fail("Cannot close");
  // The permissions a new file gets from the process's umask, as a directly created file would.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temporary_.c_str(), 0666 & ~mask);
  if (Ops().Rename(temporary_, target_) != 0) fail("Cannot replace");
  temporary_.clear();
  if (Ops().SyncDirectory(DirectoryOf(target_)) != 0) {
    const int error = errno;
    throw SaveError(SystemError("Cannot sync the directory of", target_, error));
  }
}

void RemoveStaleTemporaries(const std::string& directory) {
  for (const std::string& name : ListDirectory(directory, std::string(".*") + kTemporaryMark + "*"))
    if (IsStaleTemporary(name)) Ops().Unlink(directory + kSeparator + name);
}

FileOps::~FileOps() = default;

int FileOps::CreateTemporary(std::string& pathTemplate) {
  return mkostemp(pathTemplate.data(), O_CLOEXEC);
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

int FileOps::OpenForReading(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
  return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int FileOps::Status(int descriptor, FileStatus& status) {
  struct stat found;
  if (fstat(descriptor, &found) != 0) return -1;
  status.regular = S_ISREG(found.st_mode);
  status.size = static_cast<std::uint64_t>(found.st_size);
  status.mode = found.st_mode & 07777;
  status.owner = found.st_uid;
  status.group = found.st_gid;
  return 0;
}

long FileOps::Read(int descriptor, char* data, std::size_t size) {
  return static_cast<long>(read(descriptor, data, size));
}

ScopedFileOps::ScopedFileOps(FileOps& ops) : previous_(currentOps) { currentOps = &ops; }

ScopedFileOps::~ScopedFileOps() { currentOps = previous_; }

}  // namespace WQPlatform
