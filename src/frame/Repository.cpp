#include "frame/Repository.h"

#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

#include <stdexcept>
#include <string_view>

namespace WQRepos {

Config theConfig;

namespace {
// Marks this library so that the platform can tell where its file lies.
void LibraryMarker() {}
}  // namespace

std::wstring Separator() { return std::wstring(1, static_cast<wchar_t>(WQPlatform::kSeparator)); }

std::wstring RepositoryPath(Config::DirTypes kind, const std::wstring& name,
                            const std::wstring& extension) {
  std::wstring path = theConfig.QDirectory(kind);
  path.reserve(path.size() + 1 + name.size() + extension.size());
  path.append(1, static_cast<wchar_t>(WQPlatform::kSeparator)).append(name).append(extension);
  return path;
}

namespace {

// Why `name` cannot name a stored item; empty when it can.
std::string UnsafeNameReason(const std::wstring& name) {
  if (name.find(L'\0') != std::wstring::npos) return "the name holds a NUL character";
  const std::wstring separator = Separator();
  // Built only for a name refused: names are checked on every load.
  const auto quoted = [&name] { return "the name \"" + WQCommon::WQWideToNarrowStr(name) + "\""; };
  if (name.compare(0, separator.size(), separator) == 0) return quoted() + " is an absolute path";
  int depth = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find(separator, start);
    const std::wstring_view part = std::wstring_view(name).substr(start, end - start);
    if (part == L"..")
      --depth;
    else if (!part.empty() && part != L".")
      ++depth;
    if (depth < 0) return quoted() + " leads outside its directory";
    if (end == std::wstring::npos) return {};
    start = end + separator.size();
  }
}

}  // namespace

void RefuseUnsafeName(const std::wstring& name, const std::string& failure) {
  const std::string reason = UnsafeNameReason(name);
  if (reason.empty()) return;
  // A NUL would end the message where it stands; it is shown as "\0".
  std::string message;
  for (const char c : failure) c == '\0' ? message += "\\0" : message += c;
  if (!message.empty() && message.back() == '.') message.pop_back();
  throw std::runtime_error(message + ": " + reason);
}

bool IsSafeName(const std::wstring& name) { return UnsafeNameReason(name).empty(); }

std::vector<std::wstring> RepositoryNames(Config::DirTypes kind, const std::wstring& extension) {
  return GetFileNames(theConfig.QDirectory(kind) + Separator() + L"*" + extension);
}

std::wstring LibraryDirectory() {
  const std::string library =
      WQPlatform::LibraryPathOf(reinterpret_cast<const void*>(&LibraryMarker));
  const auto cut = library.rfind(WQPlatform::kSeparator);
  return WQCommon::WQNarrowToWideStr(cut == std::string::npos ? std::string()
                                                              : library.substr(0, cut + 1));
}

std::string NativePath(const std::wstring& path) { return WQCommon::WQWideToNarrowStr(path); }

}  // namespace WQRepos
