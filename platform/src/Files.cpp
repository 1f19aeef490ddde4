// Existence and kind of files, directory listing, removal and renaming, and scratch files.
#include <WQPlatform/Platform.h>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "Internal.h"

namespace WQPlatform {
namespace {

bool EndsWith(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The literal text after a leading "*" that is the pattern's only wildcard, as in "*.kem": what
// nearly every listing asks for, told by a comparison of the name's end instead of fnmatch.
std::optional<std::string_view> SuffixOnly(const std::string& pattern) {
  if (pattern.empty() || pattern[0] != '*') return std::nullopt;
  const std::string_view suffix = std::string_view(pattern).substr(1);
  if (suffix.find_first_of("*?[\\") != std::string_view::npos) return std::nullopt;
  return suffix;
}

std::optional<std::string> Failure(int error) { return std::string(std::strerror(error)); }

// Syncs the directory of `path`, so that a rename or removal there outlives a power loss.
std::optional<std::string> SyncDirectoryOf(const std::string& path) {
  if (Ops().SyncDirectory(DirectoryOf(path)) != 0) return Failure(errno);
  return std::nullopt;
}

}  // namespace

bool PathExists(const std::string& path) { return Ops().Access(path, F_OK) == 0; }

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) { return Ops().Unlink(path) == 0; }

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

}  // namespace WQPlatform
