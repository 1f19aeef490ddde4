#include "frame/Repository.h"

#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "history/Record.h"

namespace WQRepos {

Config theConfig;

namespace {
// Marks this library so that the platform can tell where its file lies.
void LibraryMarker() {}
}  // namespace

std::wstring Separator() { return std::wstring(1, static_cast<wchar_t>(WQPlatform::kSeparator)); }

std::wstring RepositoryPath(Config::DirTypes kind, const std::wstring& file) {
  std::wstring path = theConfig.QDirectory(kind);
  path.reserve(path.size() + 1 + file.size());
  path.append(1, static_cast<wchar_t>(WQPlatform::kSeparator)).append(file);
  return path;
}

namespace {

// Why `name` cannot name an item stored in `directory`; empty when it can.
std::string UnusableNameReason(const std::wstring& directory, const std::wstring& name) {
  if (name.empty()) return "the name is empty";
  if (name.find(L'\0') != std::wstring::npos) return "the name holds a NUL character";
  // Built only for a name refused: names are checked on every load.
  const auto quoted = [&name] { return "the name \"" + WQCommon::WQWideToNarrowStr(name) + "\""; };
  // A lone surrogate that is no byte escape, or two escapes that make a UTF-8 character, would
  // name the file of another name.
  if (WQCommon::WQNarrowToWideStr(WQCommon::WQWideToNarrowStr(name)) != name)
    return quoted() + " holds text that no file name can hold";
  const wchar_t separator = static_cast<wchar_t>(WQPlatform::kSeparator);
  if (name.front() == separator) return quoted() + " is an absolute path";
  // The folders entered so far: where each begins and ends in the name. A ".." goes back out of
  // the last; the name up to that folder's end leads where the folder does, as every ".." before
  // it went back out of a real folder.
  std::vector<std::pair<std::size_t, std::size_t>> folders;
  std::wstring_view part;
  for (std::size_t start = 0; start != std::wstring::npos;) {
    const std::size_t end = name.find(separator, start);
    part = std::wstring_view(name).substr(start, end - start);
    if (part == L"..") {
      if (folders.empty()) return quoted() + " leads outside its directory";
      // The system takes ".." from where a link leads, not back to the folder holding the link.
      const auto [first, last] = folders.back();
      if (WQPlatform::IsSymbolicLink(NativePath(directory + Separator() + name.substr(0, last)))) {
        return quoted() + " leads outside its directory through the linked folder " +
               NativePath(name.substr(first, last - first));
      }
      folders.pop_back();
    } else if (!part.empty() && part != L".") {
      folders.emplace_back(start, start + part.size());
    }
    start = end == std::wstring::npos ? end : end + 1;
  }
  if (part.empty() || part == L"." || part == L"..")
    return quoted() + " names a folder, not an item";
  return {};
}

// FileError whose what() is the operation's own `failure` and whose Detail() says why.
FileError Refusal(const std::string& failure, const std::string& detail) {
  // A NUL would end the message where it stands; it is shown as "\0".
  std::string message;
  for (const char c : failure) c == '\0' ? message += "\\0" : message += c;
  return FileError(message, detail);
}

// "<path>: <reason>", a NUL in the path shown as "\0".
std::string PathAndReason(const std::wstring& path, const std::string& reason) {
  std::string shown;
  for (const char c : NativePath(path)) c == '\0' ? shown += "\\0" : shown += c;
  return shown + ": " + reason;
}

}  // namespace

std::wstring ItemPath(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension,
                      const NameFailure& failure) {
  const std::wstring directory = theConfig.QDirectory(kind);
  const std::wstring path = directory + Separator() + name + extension;
  const std::string reason = UnusableNameReason(directory, name);
  if (reason.empty()) return path;
  throw Refusal(failure(path), PathAndReason(path, reason));
}

std::optional<std::wstring> ItemPathIfNamed(Config::DirTypes kind, const std::wstring& name,
                                            const wchar_t* extension) {
  const std::wstring directory = theConfig.QDirectory(kind);
  if (!UnusableNameReason(directory, name).empty()) return std::nullopt;
  return directory + Separator() + name + extension;
}

bool ItemExists(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension) {
  const std::optional<std::wstring> path = ItemPathIfNamed(kind, name, extension);
  return path && WQPlatform::IsRegularFile(NativePath(*path));
}

void DeleteItem(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension,
                const NameFailure& failure) {
  const std::wstring path = ItemPath(kind, name, extension, failure);
  // A save of the item cut short must not bring it back: its complete file goes first, while the
  // item is there still, so that no load or Initialize puts it in the item's place meanwhile, and
  // again after, as a network client that remembered the folder's listing sees the folder anew
  // once a file in it is removed.
  WQPlatform::RetireInterruptedSaves(NativePath(path));
  if (const auto reason = WQPlatform::DeleteFile(NativePath(path)))
    throw Refusal(failure(path), PathAndReason(path, *reason));
  WQPlatform::RetireInterruptedSaves(NativePath(path));
  RecordChange("delete", {path});
}

void RenameItem(Config::DirTypes kind, const std::wstring& from, const std::wstring& to,
                const wchar_t* extension, bool replace, const RenameFailure& failure) {
  const std::wstring directory = theConfig.QDirectory(kind) + Separator();
  const std::wstring fromPath = directory + from + extension;
  const std::wstring toPath = directory + to + extension;
  const auto message = [&](const std::wstring&) { return failure(fromPath, toPath); };
  ItemPath(kind, from, extension, message);
  ItemPath(kind, to, extension, message);
  // Neither the name left nor the item replaced may come back from a save of it cut short.
  WQPlatform::RetireInterruptedSaves(NativePath(fromPath));
  WQPlatform::RetireInterruptedSaves(NativePath(toPath));
  if (const auto reason = WQPlatform::MoveFile(NativePath(fromPath), NativePath(toPath), replace))
    throw Refusal(failure(fromPath, toPath), *reason);
  WQPlatform::RetireInterruptedSaves(NativePath(fromPath));
  RecordChange("rename", {toPath, fromPath});
}

std::vector<std::wstring> RepositoryNames(Config::DirTypes kind, const wchar_t* extension) {
  std::vector<std::wstring> names =
      GetFileNames(theConfig.QDirectory(kind) + Separator() + L"*" + extension);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [kind, extension](const std::wstring& name) {
                               return !ItemPathIfNamed(kind, name, extension);
                             }),
              names.end());
  return names;
}

std::wstring LibraryDirectory() {
  const std::string library =
      WQPlatform::LibraryPathOf(reinterpret_cast<const void*>(&LibraryMarker));
  const auto cut = library.rfind(WQPlatform::kSeparator);
  return WQCommon::WQNarrowToWideStr(cut == std::string::npos ? std::string()
                                                              : library.substr(0, cut + 1));
}

std::string NativePath(const std::wstring& path) { return WQCommon::WQWideToNarrowStr(path); }

bool Heard(const log4cxx::LoggerPtr& logger) {
  for (log4cxx::LoggerPtr at = logger; at; at = at->getAdditivity() ? at->getParent() : nullptr) {
    if (!at->getAllAppenders().empty()) return true;
  }
  return false;
}

}  // namespace WQRepos
