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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <streambuf>
#include <string_view>
#include <utility>

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

// A temporary file is named ".<target name>.wqtmp-<process id>-XXXXXX": hidden, never ending in a
// stored file's extension, and telling which process is writing it. The target's name is cut
// short where the whole would not fit in a file name.
constexpr char kTemporaryMark[] = ".wqtmp-";
constexpr std::size_t kUniqueLength = 6;
constexpr char kUniqueCharacters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string TemporaryTemplateFor(const std::string& target) {
  const std::string suffix =
      kTemporaryMark + std::to_string(getpid()) + "-" + std::string(kUniqueLength, 'X');
  std::string name = NameOf(target);
  const std::size_t room = NAME_MAX - 1 - suffix.size();
  if (name.size() > room) {
    std::size_t cut = room;
    // Never cut inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return DirectoryOf(target) + kSeparator + "." + name + suffix;
}

// The process id in `name` when it has exactly the form of a temporary file's name.
std::optional<long> TemporaryOwner(const std::string& name) {
  if (name.size() < 1 + sizeof kTemporaryMark + 1 + kUniqueLength || name[0] != '.') return {};
  const std::string unique = name.substr(name.size() - kUniqueLength);
  if (unique.find_first_not_of(kUniqueCharacters) != std::string::npos) return {};
  const std::string rest = name.substr(0, name.size() - kUniqueLength - 1);
  if (name[name.size() - kUniqueLength - 1] != '-') return {};
  const auto mark = rest.rfind(kTemporaryMark);
  if (mark == std::string::npos || mark == 0) return {};
  const std::string owner = rest.substr(mark + sizeof kTemporaryMark - 1);
  if (owner.empty() || owner.find_first_not_of("0123456789") != std::string::npos ||
      owner.size() > 9)
    return {};
  return std::stol(owner);
}

// True when the temporary file `name` belongs to a process that no longer runs.
bool IsStaleTemporary(const std::string& name) {
  const std::optional<long> pid = TemporaryOwner(name);
  return pid && *pid > 0 && kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH;
}

bool EndsWith(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
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

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return {};
  return std::string(value);
}

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) { return Ops().Unlink(path) == 0; }

namespace {

// The literal text after a leading "*" that is the pattern's only wildcard, as in "*.kem": what
// nearly every listing asks for, told by a comparison of the name's end instead of fnmatch.
std::optional<std::string_view> SuffixOnly(const std::string& pattern) {
  if (pattern.empty() || pattern[0] != '*') return std::nullopt;
  const std::string_view suffix = std::string_view(pattern).substr(1);
  if (suffix.find_first_of("*?[\\") != std::string_view::npos) return std::nullopt;
  return suffix;
}

}  // namespace

std::vector<std::string> ListDirectory(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> names;
  VisitDirectory(directory, pattern, [&names](std::string_view name) { names.emplace_back(name); });
  return names;
}

bool VisitDirectory(const std::string& directory, const std::string& pattern,
                    const std::function<void(std::string_view name)>& visit) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return false;
  const std::optional<std::string_view> suffix = SuffixOnly(pattern);
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    const bool matches =
        suffix ? EndsWith(name, *suffix) : fnmatch(pattern.c_str(), entry->d_name, 0) == 0;
    if (matches) visit(name);
  }
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsListableDirectory(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  return dir != nullptr;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool SameFile(const std::string& first, const std::string& second) {
  struct stat one, other;
  return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
         one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool IsRegularFile(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

namespace {

std::optional<std::string> Failure(int error) { return std::string(std::strerror(error)); }

// Syncs the directory of `path`, so that a rename or removal there outlives a power loss.
std::optional<std::string> SyncDirectoryOf(const std::string& path) {
  if (Ops().SyncDirectory(DirectoryOf(path)) != 0) return Failure(errno);
  return std::nullopt;
}

// Renames `from` to `to` unless a file is there. Where the file system cannot do that in one step,
// the test before the rename leaves a moment in which another process may create `to`.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  struct stat existing;
  if (lstat(to.c_str(), &existing) == 0) {
    errno = EEXIST;
    return -1;
  }
  return Ops().Rename(from, to);
}

}  // namespace

std::optional<std::string> DeleteFile(const std::string& path) {
  if (IsDirectory(path) && !IsSymbolicLink(path)) return Failure(EISDIR);
  if (Ops().Unlink(path) != 0) return Failure(errno);
  return SyncDirectoryOf(path);
}

std::optional<std::string> MoveFile(const std::string& from, const std::string& to, bool replace) {
  struct stat source;
  if (stat(from.c_str(), &source) != 0) return Failure(errno);
  if (!S_ISREG(source.st_mode)) return std::string("not a regular file");
  if (IsDirectory(to)) return Failure(EISDIR);
  if ((replace ? Ops().Rename(from, to) : RenameWithoutReplacing(from, to)) != 0)
    return Failure(errno);
  if (const auto failure = SyncDirectoryOf(to)) return failure;
  return DirectoryOf(from) == DirectoryOf(to) ? std::nullopt : SyncDirectoryOf(from);
}

TemporaryFile::TemporaryFile(const std::function<void(std::ostream&)>& fill) {
  const std::optional<std::string> variable = EnvironmentVariable("TMPDIR");
  std::string name = (variable && !variable->empty() ? *variable : "/tmp") + "/wqrepos-XXXXXX";
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) throw ReadError(SystemError("Cannot create a file like", name, errno));
  close(descriptor);
  path_ = name;
  std::ofstream out(path_, std::ios::binary);
  try {
    fill(out);
  } catch (...) {
    unlink(path_.c_str());
    throw;
  }
  out.close();
  if (!out) {
    const int error = errno;
    unlink(path_.c_str());
    throw ReadError(SystemError("Cannot write", path_, error));
  }
}

TemporaryFile::~TemporaryFile() { unlink(path_.c_str()); }

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

std::optional<std::string> UnreadableReason(const std::string& path) {
  const ReadingDescriptor descriptor(Ops().OpenForReading(path));
  if (descriptor.get() < 0) return std::string(std::strerror(errno));
  FileStatus status;
  if (Ops().Status(descriptor.get(), status) != 0) return std::string(std::strerror(errno));
  if (!status.regular) return std::string("not a regular file");
  return std::nullopt;
}

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
  // One byte more than the file held: a read that comes back short has met the end of a regular
  // file, so no second read is needed to find it. A full one means the file has grown since its
  // fstat; the rest is read as it comes, no further than the limit.
  std::string content(static_cast<std::size_t>(status.size) + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) {
      if (filled > limit) {
        throw ReadError("Cannot read " + path + ": it grew beyond the " + std::to_string(limit) +
                        " bytes that a file of its kind can hold");
      }
      content.resize(std::min(2 * filled, limit + 1));
    }
    const long got = Ops().Read(descriptor.get(), content.data() + filled, content.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    filled += static_cast<std::size_t>(got);
    if (filled < content.size()) break;
  }
  content.resize(filled);
  return content;
}

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path) {
  const int descriptor = Ops().OpenForReading(path);
  if (descriptor < 0) return nullptr;
  std::unique_ptr<ReadOnlyFile> file(new ReadOnlyFile(path, descriptor, 0));
  FileStatus status;
  if (Ops().Status(descriptor, status) != 0) return nullptr;
  if (!status.regular) throw ReadError("Cannot read " + path + ": not a regular file");
  file->size_ = status.size;
  return file;
}

ReadOnlyFile::ReadOnlyFile(std::string path, int descriptor, std::uint64_t size)
    : path_(std::move(path)), descriptor_(descriptor), size_(size) {}

ReadOnlyFile::~ReadOnlyFile() { Ops().Close(descriptor_); }

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  if (offset >= size_) return 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
  std::size_t done = 0;
  while (done < size) {
    const long got = Ops().ReadAt(descriptor_, data + done, size - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ReadError("Cannot read " + path_ + ": " + std::strerror(errno));
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

namespace {

// The file a save to `target` replaces: the final target of a symbolic link, so that the link
// stays a link and a file shared through it stays shared.
std::string ReplacedFile(const std::string& target) {
  struct stat link;
  if (lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return target;
  std::unique_ptr<char, void (*)(void*)> resolved(realpath(target.c_str(), nullptr), std::free);
  if (!resolved) throw SaveError(SystemError("Cannot follow the link", target, errno));
  return resolved.get();
}

// The status of the file that `target` names, when one exists. Throws SaveError for anything a
// save must not replace: a directory, device, FIFO or socket, or a file the user may not write.
std::optional<FileStatus> ReplaceableFile(const std::string& target) {
  struct stat existing;
  if (stat(target.c_str(), &existing) != 0) return std::nullopt;
  if (!S_ISREG(existing.st_mode)) {
    throw SaveError(
        SystemError("Cannot replace", target, S_ISDIR(existing.st_mode) ? EISDIR : EINVAL) +
        " (not a regular file)");
  }
  if (access(target.c_str(), W_OK) != 0)
    throw SaveError(SystemError("Cannot replace", target, EACCES));
  FileStatus status;
  status.regular = true;
  status.size = static_cast<std::uint64_t>(existing.st_size);
  status.mode = existing.st_mode & 07777;
  status.owner = existing.st_uid;
  status.group = existing.st_gid;
  return status;
}

// Writes everything given, resuming short and interrupted writes; false, with errno telling why,
// when a write fails.
bool WriteAll(int descriptor, const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const long done = Ops().Write(descriptor, data + written, size - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return false;
    }
    written += static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Scratch(
    std::string name, const std::function<void(const Writer&)>& fill) {
  const std::string directory = EnvironmentVariable("TMPDIR").value_or("/tmp");
  const int descriptor = Ops().CreateScratch(directory);
  if (descriptor < 0) {
    throw ReadError("Cannot create a temporary file for " + name + " in " + directory + ": " +
                    std::strerror(errno));
  }
  std::unique_ptr<ReadOnlyFile> file(new ReadOnlyFile(std::move(name), descriptor, 0));
  fill([&file](std::string_view bytes) {
    if (!WriteAll(file->descriptor_, bytes.data(), bytes.size())) {
      throw ReadError("Cannot write the temporary file for " + file->path_ + ": " +
                      std::strerror(errno));
    }
    file->size_ += bytes.size();
  });
  return file;
}

// The stream buffer of an AtomicFile: content goes into the temporary file as it comes, a buffer
// at a time, so that a save holds no more than one buffer of it. The first failed write is kept,
// and nothing is written after it.
class AtomicFile::Output : public std::streambuf {
 public:
  explicit Output(int descriptor) : descriptor_(descriptor) { setp(buffer_, buffer_ + kSize); }

  // Writes what the buffer holds; false, with errno set to the first failed write's error, once
  // any write has failed.
  bool Flush() {
    if (error_ == 0 && !WriteAll(descriptor_, pbase(), static_cast<std::size_t>(pptr() - pbase())))
      error_ = errno;
    setp(buffer_, buffer_ + kSize);
    errno = error_;
    return error_ == 0;
  }

 protected:
  int_type overflow(int_type character) override {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(character);
      pbump(1);
    }
    return traits_type::not_eof(character);
  }

  // Large pieces go to the file directly instead of through the buffer.
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    if (size < static_cast<std::streamsize>(kSize)) return std::streambuf::xsputn(data, size);
    if (!Flush()) return 0;
    if (!WriteAll(descriptor_, data, static_cast<std::size_t>(size))) {
      error_ = errno;
      return 0;
    }
    return size;
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  static constexpr std::size_t kSize = 64 * 1024;
  int descriptor_;
  int error_ = 0;
  char buffer_[kSize];
};

AtomicFile::AtomicFile(std::string target) : target_(ReplacedFile(target)) {
  const std::optional<FileStatus> existing = ReplaceableFile(target_);
  temporary_ = TemporaryTemplateFor(target_);
  descriptor_ = Ops().CreateTemporary(temporary_);
  if (descriptor_ < 0) {
    const int error = errno;
    temporary_.clear();
    throw SaveError(SystemError("Cannot create a temporary file for", target_, error));
  }
  // The new file takes the place of the old one: it keeps the old one's owner and permissions.
  if (existing && Ops().Adopt(descriptor_, *existing) != 0) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError("Cannot give the permissions of", target_, error));
  }
  output_ = std::make_unique<Output>(descriptor_);
  stream_.rdbuf(output_.get());
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (descriptor_ >= 0) Ops().Close(descriptor_);
  descriptor_ = -1;
  if (!temporary_.empty()) Ops().Unlink(temporary_);
  temporary_.clear();
}

void AtomicFile::Commit() {
  const auto fail = [this](const std::string& action) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError(action, target_, error));
  };
  if (!output_->Flush()) fail("Cannot write");
  // A failed fsync is never retried: the kernel may already have dropped the dirty pages.
  if (Ops().Sync(descriptor_) != 0) fail("Cannot sync");
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (Ops().Close(descriptor) != 0) fail("Cannot close");
  if (Ops().Rename(temporary_, target_) != 0) fail("Cannot replace");
  temporary_.clear();
  if (Ops().SyncDirectory(DirectoryOf(target_)) != 0) {
    const int error = errno;
    throw SaveError(SystemError("Cannot sync the directory of", target_, error));
  }
}

bool IsTemporaryName(const std::string& name) { return TemporaryOwner(name).has_value(); }

void RemoveStaleTemporaries(const std::string& directory) {
  for (const std::string& name : ListDirectory(directory, std::string(".*") + kTemporaryMark + "*"))
    if (IsStaleTemporary(name)) Ops().Unlink(directory + kSeparator + name);
}

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

long FileOps::ReadAt(int descriptor, char* data, std::size_t size, std::uint64_t offset) {
  return static_cast<long>(pread(descriptor, data, size, static_cast<off_t>(offset)));
}

ScopedFileOps::ScopedFileOps(FileOps& ops) : previous_(currentOps) { currentOps = &ops; }

ScopedFileOps::~ScopedFileOps() { currentOps = previous_; }

}  // namespace WQPlatform
