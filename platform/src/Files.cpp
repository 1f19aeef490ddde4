// Existence and kind of files, directory listing, removal and renaming, and scratch files.
#include <WQPlatform/Platform.h>
#include <fnmatch.h>
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

bool MakeDirectory(const std::string& path) { return Ops().CreateDirectory(path) == 0; }

bool RemoveFile(const std::string& path) { return Ops().Unlink(path) == 0; }

std::vector<std::string> ListDirectory(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> names;
  if (!VisitDirectory(directory, pattern,
                      [&names](std::string_view name) { names.emplace_back(name); }))
    names.clear();
  return names;
}

bool VisitDirectory(const std::string& directory, const std::string& pattern,
                    const std::function<void(std::string_view name)>& visit) {
  const std::optional<std::string_view> suffix = SuffixOnly(pattern);
  return Ops().ReadDirectory(directory, [&](std::string_view name, EntryKind) {
    // The names a directory yields end in a null character, as fnmatch needs.
    if (suffix ? EndsWith(name, *suffix) : fnmatch(pattern.c_str(), name.data(), 0) == 0)
      visit(name);
    return true;
  }) == 0;
}

bool IsDirectory(const std::string& path) {
  FileStatus status;
  return Ops().PathStatus(path, status) == 0 && status.directory;
}

bool IsListableDirectory(const std::string& path) {
  return Ops().ReadDirectory(path, [](std::string_view, EntryKind) { return false; }) == 0;
}

bool IsSymbolicLink(const std::string& path) {
  FileStatus status;
  return Ops().LinkStatus(path, status) == 0 && status.link;
}

bool SameFile(const std::string& first, const std::string& second) {
  FileStatus one, other;
  return Ops().PathStatus(first, one) == 0 && Ops().PathStatus(second, other) == 0 &&
         one.device == other.device && one.inode == other.inode;
}

bool IsRegularFile(const std::string& path) {
  FileStatus status;
  return Ops().PathStatus(path, status) == 0 && status.regular;
}

std::optional<std::string> DeleteFile(const std::string& path) {
  if (IsDirectory(path) && !IsSymbolicLink(path)) return Failure(EISDIR);
  if (Ops().Unlink(path) != 0) return Failure(errno);
  return SyncDirectoryOf(path);
}

std::optional<std::string> MoveFile(const std::string& from, const std::string& to, bool replace) {
  FileStatus source;
  if (Ops().PathStatus(from, source) != 0) return Failure(errno);
  if (!source.regular) return std::string("not a regular file");
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
  const int descriptor = Ops().CreateNamedScratch(name);
  if (descriptor < 0) throw ReadError(SystemError("Cannot create a file like", name, errno));
  Ops().Close(descriptor);
  path_ = name;
  std::ofstream out(path_, std::ios::binary);
  try {
    fill(out);
  } catch (...) {
    Ops().Unlink(path_);
    throw;
  }
  out.close();
  if (!out) {
    const int error = errno;
    Ops().Unlink(path_);
    throw ReadError(SystemError("Cannot write", path_, error));
  }
}

TemporaryFile::~TemporaryFile() { Ops().Unlink(path_); }

}  // namespace WQPlatform
