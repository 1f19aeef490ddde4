#include "frame/Repository.h"

#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

namespace WQRepos {

Config theConfig;

namespace {
// Marks this library so that the platform can tell where its file lies.
void LibraryMarker() {}
}  // namespace

std::wstring Separator() { return std::wstring(1, static_cast<wchar_t>(WQPlatform::kSeparator)); }

std::wstring RepositoryPath(Config::DirTypes kind, const std::wstring& name,
                            const std::wstring& extension) {
  return theConfig.QDirectory(kind) + Separator() + name + extension;
}

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
