// The module-wide configuration and the one way the module turns a repository name into a path.
#pragma once

#include <WQRepos/Config.h>

#include <string>

namespace WQRepos {

// The module's own configuration, refreshed by Initialize().
extern Config theConfig;

// The built-in base data directory of this build.
std::wstring DefaultBaseDirectory();

// The platform's path separator as wide text.
std::wstring Separator();

// The directory of `kind`, the separator, `name` and `extension` ("" for none). The name is used
// as it stands: it may hold further separators or dots.
std::wstring RepositoryPath(Config::DirTypes kind, const std::wstring& name,
                            const std::wstring& extension = L"");

// Throws std::runtime_error "<failure, without its final full stop>: <reason>" when `name` cannot
// name an item stored in a repository directory: it holds a NUL character, is an absolute path,
// or, resolved lexically, leads outside the directory. Inner separators that stay inside are
// sub-folders and pass.
void RefuseUnsafeName(const std::wstring& name, const std::string& failure);
// False when RefuseUnsafeName would refuse `name`.
bool IsSafeName(const std::wstring& name);

// The names stored in the directory of `kind` with `extension`, as GetFileNames gives them.
std::vector<std::wstring> RepositoryNames(Config::DirTypes kind, const std::wstring& extension);

// The directory of the library's own file, ending in the separator; empty when unknown.
std::wstring LibraryDirectory();

// The platform's form of a wide path.
std::string NativePath(const std::wstring& path);

}  // namespace WQRepos
