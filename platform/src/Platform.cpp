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
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <streambuf>
#include <string_view>
#include <thread>
#include <utility>

#include "SaveNames.h"

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

// A save writes its content into ".<target name>.wqtmp-<origin>-XXXXXX", and renames that to
// ".<target name>.wqnew-<origin>-XXXXXX" once the content is complete and synced, before it takes
// the target's name: hidden, never ending in a stored file's extension. The origin,
// "<host>-<process id>-<run>", tells who writes it: the run is a hash of the boot and the pid
// namespace of the writing process, the only ones in which its process id means anything. The
// target's name is cut short where the whole would not fit in a file name; such a save has no
// complete stage, as the target could not be told from it. Before origins were written, names
// were ".<target name>.wqtmp-<process id>-XXXXXX"; they are still recognised.
constexpr char kUnfinishedMark[] = ".wqtmp-";
constexpr char kCompleteMark[] = ".wqnew-";
constexpr std::size_t kMarkLength = sizeof kUnfinishedMark - 1;
static_assert(sizeof kCompleteMark == sizeof kUnfinishedMark);
constexpr std::size_t kRunLength = 16;
// The run of a process whose boot or pid namespace cannot be told: never taken for anyone's own.
constexpr char kUnknownRun[] = "0000000000000000";
constexpr std::size_t kLongestHost = 32;

std::optional<std::string> FirstLineOf(const char* path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "re"), std::fclose);
  char line[128];
  if (!file || std::fgets(line, sizeof line, file.get()) == nullptr) return std::nullopt;
  return std::string(line, std::strcspn(line, "\n"));
}

// The boot of this computer and the pid namespace of this process, as 16 hexadecimal digits.
// Read on every save: a process may have been forked into another namespace since the last one.
std::string CurrentRun() {
  static const std::optional<std::string> boot = FirstLineOf("/proc/sys/kernel/random/boot_id");
  char pidNamespace[64] = {};
  if (!boot || readlink("/proc/self/ns/pid", pidNamespace, sizeof pidNamespace - 1) <= 0)
    return kUnknownRun;
  // FNV-1a: a hash fixed for good, as the runs of other versions must compare equal.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : *boot + "/" + pidNamespace) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  char run[kRunLength + 1];
  std::snprintf(run, sizeof run, "%016llx", static_cast<unsigned long long>(hash | 1));
  return run;
}

// This computer's name as a temporary file's name carries it: letters, digits, '-' and '_' only.
std::string HostPart() {
  std::string host = HostName().substr(0, kLongestHost);
  for (char& c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
  return host.empty() ? "unknown" : host;
}

// Who wrote a temporary file, and how far its save got.
struct Leftover {
  std::string target;  // the name of the file it was to replace, perhaps cut short
  bool complete = false;
  long pid = 0;
  std::string run;  // empty for the names written before origins were
};

bool AllOf(std::string_view text, const char* allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr char kDigits[] = "0123456789";

// What the name `name` tells when it has exactly the form of a temporary file's name.
std::optional<Leftover> LeftoverOf(std::string_view name) {
  if (name.size() < 2 + kMarkLength + 2 + kUniqueLength || name[0] != '.') return std::nullopt;
  const std::string_view unique = name.substr(name.size() - kUniqueLength);
  if (!AllOf(unique, kUniqueCharacters) || name[name.size() - kUniqueLength - 1] != '-')
    return std::nullopt;
  const std::string_view rest = name.substr(0, name.size() - kUniqueLength - 1);
  const std::size_t unfinished = rest.rfind(kUnfinishedMark);
  const std::size_t complete = rest.rfind(kCompleteMark);
  const bool isComplete = complete != std::string_view::npos &&
                          (unfinished == std::string_view::npos || complete > unfinished);
  const std::size_t mark = isComplete ? complete : unfinished;
  if (mark == std::string_view::npos || mark < 2) return std::nullopt;
  Leftover leftover;
  leftover.target = std::string(name.substr(1, mark - 1));
  leftover.complete = isComplete;
  std::string_view origin = rest.substr(mark + kMarkLength);
  std::string_view pid = origin;
  if (!AllOf(origin, kDigits)) {
    // "<host>-<process id>-<run>"
    const std::size_t runCut = origin.rfind('-');
    if (runCut == std::string_view::npos || origin.size() - runCut - 1 != kRunLength) return {};
    leftover.run = std::string(origin.substr(runCut + 1));
    if (!AllOf(leftover.run, "0123456789abcdef")) return std::nullopt;
    origin = origin.substr(0, runCut);
    const std::size_t pidCut = origin.rfind('-');
    if (pidCut == std::string_view::npos || pidCut == 0) return std::nullopt;
    pid = origin.substr(pidCut + 1);
  } else if (isComplete) {
    return std::nullopt;
  }
  if (!AllOf(pid, kDigits) || pid.size() > 9) return std::nullopt;
  leftover.pid = std::stol(std::string(pid));
  return leftover;
}

std::string TemporaryTemplateFor(const std::string& target, bool& whole) {
  const std::string suffix = kUnfinishedMark + HostPart() + "-" + std::to_string(getpid()) + "-" +
                             CurrentRun() + "-" + std::string(kUniqueLength, 'X');
  std::string name = NameOf(target);
  const std::size_t room = NAME_MAX - 1 - suffix.size();
  whole = name.size() <= room;
  if (!whole) {
    std::size_t cut = room;
    // Never cut inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return DirectoryOf(target) + kSeparator + "." + name + suffix;
}

// The name a complete save's temporary file `temporary` takes before it replaces its target.
std::string CompleteName(const std::string& temporary) {
  std::string complete = temporary;
  complete.replace(complete.rfind(kUnfinishedMark), kMarkLength, kCompleteMark);
  return complete;
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
  // rename(2) between two names of one file does nothing and reports success; from a link to the
  // file it leads to, it would put the link in the file's place.
  if (SameFile(from, to)) return std::string("both names lead to the same file");
  if ((replace ? Ops().Rename(from, to) : Ops().RenameNoReplace(from, to)) != 0)
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

ReadOnlyFile::~ReadOnlyFile() {
  Ops().Close(descriptor_);
  if (!removeOnClose_.empty()) Ops().Unlink(removeOnClose_);
}

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
  FileStatus status;
  if (Ops().PathStatus(target, status) != 0) return std::nullopt;
  if (!status.regular) {
    throw SaveError(SystemError("Cannot replace", target, status.directory ? EISDIR : EINVAL) +
                    " (not a regular file)");
  }
  // Another client may rename the file away between the two looks: then there is none to replace.
  if (Ops().Access(target, W_OK) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw SaveError(SystemError("Cannot replace", target, errno));
  }
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

namespace {

// A file for reading and writing in `directory` that no name leads to: unnamed where the file
// system can make one so, else named and removed at once, or, where an open file cannot be
// removed (SMB), named `removeOnClose` until it is closed. -1, with errno set, when it cannot.
int ScratchIn(const std::string& directory, std::string& removeOnClose) {
  const int unnamed = Ops().CreateScratch(directory);
  if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return unnamed;
  std::string path = directory + kSeparator + ".wqscratch-" + std::string(kUniqueLength, 'X');
  const int named = Ops().CreateNamedScratch(path);
  if (named < 0 || Ops().Unlink(path) == 0) return named;
  if (errno == EBUSY) {
    removeOnClose = path;
    return named;
  }
  const int error = errno;
  Ops().Close(named);
  Ops().Unlink(path);
  errno = error;
  return -1;
}

}  // namespace

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Scratch(
    std::string name, const std::function<void(const Writer&)>& fill) {
  std::string directory = EnvironmentVariable("TMPDIR").value_or("");
  if (directory.empty()) directory = "/tmp";
  std::string removeOnClose;
  const int descriptor = ScratchIn(directory, removeOnClose);
  if (descriptor < 0) {
    throw ReadError("Cannot create a temporary file for " + name + " in " + directory + ": " +
                    std::strerror(errno));
  }
  std::unique_ptr<ReadOnlyFile> file(new ReadOnlyFile(std::move(name), descriptor, 0));
  file->removeOnClose_ = std::move(removeOnClose);
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
  Output(int descriptor, std::uint64_t limit) : descriptor_(descriptor), left_(limit) {
    setp(buffer_, buffer_ + kSize);
  }

  // Writes what the buffer holds; false, with errno set to the first failed write's error, once
  // any write has failed.
  bool Flush() {
    if (error_ == 0 && !Write(pbase(), static_cast<std::size_t>(pptr() - pbase()))) error_ = errno;
    setp(buffer_, buffer_ + kSize);
    errno = error_;
    return error_ == 0;
  }
  // Whether more than the limit was to be written.
  bool TooLarge() const { return tooLarge_; }

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
    if (!Write(data, static_cast<std::size_t>(size))) {
      error_ = errno;
      return 0;
    }
    return size;
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Write(const char* data, std::size_t size) {
    if (size > left_) {
      tooLarge_ = true;
      errno = EFBIG;
      return false;
    }
    left_ -= size;
    return WriteAll(descriptor_, data, size);
  }

  static constexpr std::size_t kSize = 64 * 1024;
  int descriptor_;
  std::uint64_t left_;  // the bytes that may still be written
  bool tooLarge_ = false;
  int error_ = 0;
  char buffer_[kSize];
};

namespace {

// A size in mebibytes when it is a whole number of them, else in bytes.
std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kMebibyte = std::uint64_t{1} << 20;
  return bytes % kMebibyte == 0 ? std::to_string(bytes / kMebibyte) + " MiB"
                                : std::to_string(bytes) + " bytes";
}

void SupersedeCompleteSaves(const std::string& target, std::int64_t before);

// Creates the temporary file at a name made from `path`, which receives it; where `locking`, also
// takes the lock its writer holds until the save is over, through `lock`. A cleaner that found the
// file unlocked in the moment before has removed it, holding the lock meanwhile: then another is
// made. -1, with errno set, when none can be.
int CreateTemporaryFile(std::string& path, bool locking, int& lock) {
  const std::string pattern = path;
  for (int attempt = 0;; ++attempt) {
    path = pattern;
    const int descriptor = Ops().CreateTemporary(path);
    if (descriptor < 0 || !locking) return descriptor;
    lock = Ops().HoldLock(descriptor);
    FileStatus status;
    if (lock >= 0 && Ops().Status(descriptor, status) == 0 && status.links > 0) return descriptor;
    const int error = lock < 0 ? errno : ENOENT;
    if (lock >= 0) Ops().Close(lock);
    lock = -1;
    Ops().Close(descriptor);
    if (error != ENOENT || attempt == 10) {
      Ops().Unlink(path);
      errno = error;
      return -1;
    }
  }
}

// Renames `from` to `to`, trying again for up to a second while the file system refuses because
// another client has either file open for a moment, as SMB does (EBUSY; EEXIST where it removes
// the target first and cannot), or hides or moves an open file meanwhile, as FUSE and network
// clients do (ENOENT). Returns what the last rename returned.
int RenameWhenFree(const std::string& from, const std::string& to) {
  auto pause = std::chrono::milliseconds(1);
  for (auto waited = std::chrono::milliseconds(0);; waited += pause, pause *= 2) {
    const int result = Ops().Rename(from, to);
    if (result == 0 || (errno != EBUSY && errno != EEXIST && errno != ENOENT) ||
        waited >= std::chrono::seconds(1))
      return result;
    std::this_thread::sleep_for(pause);
  }
}

}  // namespace

AtomicFile::AtomicFile(std::string target, bool replace, std::uint64_t limit)
    : target_(ReplacedFile(target)), replace_(replace), limit_(limit) {
  const std::optional<FileStatus> existing = ReplaceableFile(target_);
  replacing_ = existing.has_value();
  if (replacing_ && !replace_) throw SaveError(SystemError("Cannot create", target_, EEXIST));
  bool whole = false;
  temporary_ = TemporaryTemplateFor(target_, whole);
  descriptor_ = CreateTemporaryFile(temporary_, Ops().LocalFileSystem(DirectoryOf(target_)), lock_);
  if (descriptor_ < 0) {
    const int error = errno;
    temporary_.clear();
    throw SaveError(SystemError("Cannot create a temporary file for", target_, error));
  }
  if (whole) complete_ = CompleteName(temporary_);
  // The new file takes the place of the old one: it keeps the old one's owner and permissions.
  if (existing && Ops().Adopt(descriptor_, *existing) != 0) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError("Cannot give the permissions of", target_, error));
  }
  output_ = std::make_unique<Output>(descriptor_, limit_);
  stream_.rdbuf(output_.get());
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (descriptor_ >= 0) Ops().Close(descriptor_);
  descriptor_ = -1;
  if (!temporary_.empty()) Ops().Unlink(temporary_);
  temporary_.clear();
  ReleaseLock();
}

void AtomicFile::ReleaseLock() {
  if (lock_ >= 0) Ops().Close(lock_);
  lock_ = -1;
}

void AtomicFile::Commit() {
  const auto fail = [this](const std::string& action) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError(action, target_, error));
  };
  if (!output_->Flush()) {
    if (!output_->TooLarge()) fail("Cannot write");
    Discard();
    throw SaveError("Cannot write " + target_ + ": it would be larger than " + SizeText(limit_) +
                    ", the most that is read back");
  }
  // A failed fsync is never retried: the kernel may already have dropped the dirty pages.
  if (Ops().Sync(descriptor_) != 0) fail("Cannot sync");
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (Ops().Close(descriptor) != 0) fail("Cannot close");
  // From here on the content is whole: should the replacement below be cut short where it is not
  // atomic, a load or Initialize() puts the complete file in the target's place.
  if (!complete_.empty()) {
    if (RenameWhenFree(temporary_, complete_) != 0) fail("Cannot complete the save of");
    temporary_ = complete_;
  }
  if (!replace_ && Ops().RenameNoReplace(temporary_, target_) != 0) fail("Cannot create");
  if (replace_ && RenameWhenFree(temporary_, target_) != 0) {
    // A file system that replaces by removing first may have lost the earlier file already.
    const int error = errno;
    if (replacing_ && !complete_.empty() && !PathExists(target_)) temporary_.clear();
    errno = error;
    fail("Cannot replace");
  }
  temporary_.clear();
  ReleaseLock();
  // A save cut short before this one leaves nothing that could take this one's place later.
  FileStatus saved;
  if (!complete_.empty() && Ops().PathStatus(target_, saved) == 0)
    SupersedeCompleteSaves(target_, saved.modified);
  if (Ops().SyncDirectory(DirectoryOf(target_)) != 0) {
    const int error = errno;
    throw SaveError(SystemError("Cannot sync the directory of", target_, error));
  }
}

bool IsTemporaryName(const std::string& name) { return LeftoverOf(name).has_value(); }

namespace {

// What is known of the writer of a leftover.
enum class Writer { Running, Gone, Unknown };

// A shared lock taken on a leftover whose writer's lock was free, held while the leftover is
// removed or put in place, so that a writer that has just created it cannot take it up meanwhile.
class ProbedLock {
 public:
  ProbedLock() = default;
  explicit ProbedLock(int descriptor) : descriptor_(descriptor) {}
  ProbedLock(ProbedLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  ProbedLock& operator=(ProbedLock&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    return *this;
  }
  ~ProbedLock() {
    if (descriptor_ >= 0) Ops().Close(descriptor_);
  }
  bool Held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

// A leftover found in a directory, and what is known of its writer.
struct Found {
  std::string name;
  Leftover leftover;
  std::int64_t modified = 0;  // seconds since 1970, by the file system's clock
  Writer writer = Writer::Unknown;
  ProbedLock probe;  // held while a gone writer's leftover is dealt with
};

// Where locks hold among all users of the file system (`locksHold`), the writer's lock tells
// whether it runs, in whatever container; a writer of this boot and pid namespace is asked whether
// its process runs; of any other, or one that did not write its origin and takes no lock, nothing
// is known.
void JudgeWriter(const std::string& directory, Found& found, const std::string& run,
                 bool locksHold) {
  if (locksHold && !found.leftover.run.empty()) {
    found.probe = ProbedLock(Ops().ProbeLock(directory + kSeparator + found.name));
    if (found.probe.Held()) {
      found.writer = Writer::Gone;
      return;
    }
    if (errno == EWOULDBLOCK) {
      found.writer = Writer::Running;
      return;
    }
  }
  if (found.leftover.run != run || run == kUnknownRun || found.leftover.pid <= 0) return;
  found.writer = kill(static_cast<pid_t>(found.leftover.pid), 0) != 0 && errno == ESRCH
                     ? Writer::Gone
                     : Writer::Running;
}

// Whether a leftover may be taken for abandoned: its writer has gone, or, when nothing tells, the
// file is older than `ageLimit` seconds.
bool Abandoned(const Found& found, std::int64_t now, std::int64_t ageLimit) {
  return found.writer == Writer::Gone ||
         (found.writer == Writer::Unknown && now - found.modified > ageLimit);
}

// The leftovers of saves in `directory`; with a `target` name, only those of that name. Their
// times only when `dated`: on SMB, looking at a file opens it, which stops its writer's rename for
// the moment.
std::vector<Found> LeftoversIn(const std::string& directory, const std::string& target,
                               bool dated = false) {
  std::vector<Found> found;
  VisitDirectory(directory, ".*", [&](std::string_view name) {
    std::optional<Leftover> leftover = LeftoverOf(name);
    if (!leftover || (!target.empty() && leftover->target != target)) return;
    Found each;
    each.name = name;
    each.leftover = std::move(*leftover);
    found.push_back(std::move(each));
  });
  for (Found& each : found) {
    struct stat status;
    if (dated && lstat((directory + kSeparator + each.name).c_str(), &status) == 0)
      each.modified = status.st_mtime;
  }
  return found;
}

// The newest complete save among `found` for the file named `target`; null when there is none.
const Found* NewestComplete(const std::vector<Found>& found, const std::string& target) {
  const Found* newest = nullptr;
  for (const Found& each : found)
    if (each.leftover.complete && each.leftover.target == target &&
        (!newest || each.modified > newest->modified))
      newest = &each;
  return newest;
}

// Only a regular file takes the target's place, never a link or folder planted under a complete
// save's name, and never over a file that a newer save put there after the target was seen missing.
bool PutInPlace(const std::string& directory, const Found& complete) {
  const std::string path = directory + kSeparator + complete.name;
  FileStatus status;
  if (Ops().LinkStatus(path, status) != 0 || !status.regular) return false;
  return Ops().RenameNoReplace(path, directory + kSeparator + complete.leftover.target) == 0;
}

// The complete saves of `target` (a path), their writers judged.
std::vector<Found> CompleteSavesOf(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  const bool locksHold = Ops().LocalFileSystem(directory);
  const std::string run = CurrentRun();
  std::vector<Found> found = LeftoversIn(directory, NameOf(target));
  found.erase(std::remove_if(found.begin(), found.end(),
                             [](const Found& each) { return !each.leftover.complete; }),
              found.end());
  for (Found& each : found) JudgeWriter(directory, each, run, locksHold);
  return found;
}

// Removes the complete saves of `target` last modified before `before` (nanoseconds since 1970)
// whose writers have gone: a live one's save ends as it would have without this one.
void SupersedeCompleteSaves(const std::string& target, std::int64_t before) {
  const std::string directory = DirectoryOf(target);
  for (const Found& each : CompleteSavesOf(target)) {
    const std::string path = directory + kSeparator + each.name;
    FileStatus status;
    if (each.writer == Writer::Gone && Ops().LinkStatus(path, status) == 0 &&
        status.modified < before)
      Ops().Unlink(path);
  }
}

// The sub-folders of `directory`, links to folders left out.
std::vector<std::string> SubFolders(const std::string& directory) {
  std::vector<std::string> folders;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return folders;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || LeftoverOf(name)) continue;
    bool folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat status;
      folder =
          lstat((directory + kSeparator + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }
    if (folder) folders.push_back(directory + kSeparator + name);
  }
  return folders;
}

// Sub-folders deeper than this are not entered.
constexpr int kDeepestFolder = 8;

void CollectFolders(const std::string& directory, int depth, std::vector<std::string>& folders) {
  folders.push_back(directory);
  if (depth < kDeepestFolder)
    for (const std::string& folder : SubFolders(directory))
      CollectFolders(folder, depth + 1, folders);
}

}  // namespace

bool SaveInFlight(const std::string& target) {
  return !LeftoversIn(DirectoryOf(target), NameOf(target)).empty();
}

bool RestoreInterruptedSave(const std::string& target) {
  if (PathExists(target)) return false;
  const std::string directory = DirectoryOf(target);
  const std::string name = NameOf(target);
  std::vector<Found> found = LeftoversIn(directory, name, true);
  const Found* newest = NewestComplete(found, name);
  if (!newest) return false;
  Found& chosen = found[static_cast<std::size_t>(newest - found.data())];
  JudgeWriter(directory, chosen, CurrentRun(), Ops().LocalFileSystem(directory));
  return chosen.writer != Writer::Running && PutInPlace(directory, chosen);
}

int RetireInterruptedSaves(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  int removed = 0;
  for (const Found& each : CompleteSavesOf(target))
    if (each.writer != Writer::Running && Ops().Unlink(directory + kSeparator + each.name) == 0)
      ++removed;
  return removed;
}

bool ViewMayLag(const std::string& path) { return !Ops().LocalFileSystem(DirectoryOf(path)); }

CleanUp RecoverInterruptedSaves(const std::vector<std::string>& directories,
                                std::int64_t ageLimit) {
  CleanUp done;
  const std::string run = CurrentRun();
  const std::int64_t now = CurrentTime();
  std::vector<std::string> folders;
  for (const std::string& directory : directories) CollectFolders(directory, 0, folders);
  std::vector<std::pair<std::string, std::string>> unsettled;  // folder, target name
  for (const std::string& folder : folders) {
    std::vector<Found> found = LeftoversIn(folder, {}, true);
    const bool locksHold = Ops().LocalFileSystem(folder);
    for (Found& each : found) JudgeWriter(folder, each, run, locksHold);
    // A complete save whose target is missing takes the target's place before anything is
    // removed, so that its content is never removed with the leftovers.
    std::set<std::string> missing, placed;
    for (const Found& each : found)
      if (each.leftover.complete && !PathExists(folder + kSeparator + each.leftover.target))
        missing.insert(each.leftover.target);
    for (const std::string& target : missing) {
      // A running writer puts its own save in place.
      const Found& newest = *NewestComplete(found, target);
      if (newest.writer == Writer::Running) continue;
      if (!Abandoned(newest, now, ageLimit))
        unsettled.emplace_back(folder, target);
      else if (PutInPlace(folder, newest))
        placed.insert(newest.name);
    }
    done.restored += static_cast<int>(placed.size());
    for (const Found& each : found) {
      if (placed.count(each.name) != 0) continue;
      const bool needed =
          each.leftover.complete && !PathExists(folder + kSeparator + each.leftover.target);
      if (Abandoned(each, now, ageLimit) && !needed &&
          Ops().Unlink(folder + kSeparator + each.name) == 0)
        ++done.removed;
      else
        ++done.kept;
    }
  }
  // A live save leaves its target missing for a moment only, where replacing is not atomic; one
  // that stays so is put in place by the newest complete save, whoever wrote it.
  if (unsettled.empty()) return done;
  std::this_thread::sleep_for(kInterruptedSaveWait);
  for (const auto& [folder, target] : unsettled)
    done.restored += RestoreInterruptedSave(folder + kSeparator + target);
  return done;
}

ScopedFileOps::ScopedFileOps(FileOps& ops) : previous_(currentOps) { currentOps = &ops; }

ScopedFileOps::~ScopedFileOps() { currentOps = previous_; }

}  // namespace WQPlatform
