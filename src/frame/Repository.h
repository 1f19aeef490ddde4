// The module-wide configuration and the one way the module turns a repository name into a path.
#pragma once

#include <WQRepos/Config.h>
#include <log4cxx/logger.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace WQRepos {

// The module's own configuration, refreshed by Initialize().
extern Config theConfig;

// The built-in base data directory of this build.
std::wstring DefaultBaseDirectory();

// The platform's path separator as wide text.
std::wstring Separator();

// The directory of `kind`, the separator and `file`: for the module's own files, whose names are
// fixed ("DataFileName.pref"). Names that callers give go through ItemPath.
std::wstring RepositoryPath(Config::DirTypes kind, const std::wstring& file);

// Makes the message of a refused name from the path the name would have had.
using NameFailure = std::function<std::string(const std::wstring& path)>;

// The path of the item `name` stored in the directory of `kind`: the directory, the separator,
// `name` and `extension`. The name may hold separators (sub-folders, linked ones included) and
// dots that stay inside the directory. Throws FileError, whose what() is failure(path) exactly and
// whose Detail() is "<path>: <reason>", when `name` cannot name a stored item: it is empty, holds a
// NUL character or text that no file name can hold (a lone surrogate that is no byte escape), is an
// absolute path, ends in a folder (an empty last part, "." or ".."), or leads outside the
// directory, whether by its ".." parts alone or by a ".." after a linked folder, which the system
// takes back from where the link leads rather than to the folder holding the link.
std::wstring ItemPath(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension,
                      const NameFailure& failure);
// ItemPath without the refusal: nothing for a name that it would refuse.
std::optional<std::wstring> ItemPathIfNamed(Config::DirTypes kind, const std::wstring& name,
                                            const wchar_t* extension);

// True when the item `name` is stored: a regular file, after following links, at its ItemPath.
// False for a name that ItemPath refuses.
bool ItemExists(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension);

// Removes the file of the item `name` and syncs its directory. Throws FileError failure(path),
// with "<path>: <reason>" as Detail(): why ItemPath refuses the name, or the system's reason the
// file cannot be removed ("No such file or directory").
void DeleteItem(Config::DirTypes kind, const std::wstring& name, const wchar_t* extension,
                const NameFailure& failure);

// Makes the message of a refused rename from the paths of both names.
using RenameFailure = std::function<std::string(const std::wstring& from, const std::wstring& to)>;

// Renames the file of the item `from` to that of `to` in one step, replacing a stored `to` only
// with `replace`. Throws FileError failure(from path, to path), the reason as Detail(): why
// ItemPath refuses either name (after the path), or the system's reason ("File exists" for a
// stored `to` without `replace`, "No such file or directory" for a missing `from` or sub-folder
// of `to`). A failed rename changes nothing.
void RenameItem(Config::DirTypes kind, const std::wstring& from, const std::wstring& to,
                const wchar_t* extension, bool replace, const RenameFailure& failure);

// The names of the items stored in the directory of `kind` with `extension`, as GetFileNames
// gives them, less any that ItemPath would refuse (the file ".kem" has the empty name).
std::vector<std::wstring> RepositoryNames(Config::DirTypes kind, const wchar_t* extension);

// The directory of the library's own file, ending in the separator; empty when unknown.
std::wstring LibraryDirectory();

// The platform's form of a wide path.
std::string NativePath(const std::wstring& path);

// Whether a message to `logger` reaches an appender. Of an application that set up no logging,
// log4cxx would otherwise complain on its standard error that it found none; what the module
// logs is there for it in its results (Config::QReport(), a check of the history).
bool Heard(const log4cxx::LoggerPtr& logger);

}  // namespace WQRepos
