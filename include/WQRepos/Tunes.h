// Tunes stored by name in the tunes directory, as "<name>.ket" files, or at any path.
#pragma once

#include <WQBL/Tune.h>
#include <WQRepos/Export.h>

#include <string>
#include <vector>

namespace WQRepos {

// SaveFullyQualifiedTune to the file of the tune called `name` (used as given).
WQREPOS_EXPORT void SaveTune(const std::wstring& name, const WQBL::Tune& tune);

// Creates or replaces, as a whole, the tune file at `path`. Throws std::runtime_error "Unable to
// create tune file: <path>" when it cannot be written; the earlier file, if any, is then left as
// it was.
WQREPOS_EXPORT void SaveFullyQualifiedTune(const std::wstring& path, const WQBL::Tune& tune);

// LoadFullyQualifiedTune of the file of the tune called `name`.
WQREPOS_EXPORT WQBL::Tune LoadTune(const std::wstring& name);

// Reads the tune file at `path` and returns the tune as stored. Throws std::runtime_error "Unable
// to open tune file: <path>" when the file cannot be opened, "Invalid tune file version. Tune
// file: <path> version: <version>" when its file version is not 1, and WQCommon::StreamError
// naming the file when it ends early. Errors of the tune's own record (WQBL::Tune) pass through.
WQREPOS_EXPORT WQBL::Tune LoadFullyQualifiedTune(const std::wstring& path);

// The names of the stored tunes, unsorted; empty when there are none.
WQREPOS_EXPORT std::vector<std::wstring> GetTuneNames();

// True when a tune called `name` is stored: its file is a regular file, after following links.
// False for a name that SaveTune refuses. Never throws for file problems.
WQREPOS_EXPORT bool TuneExists(const std::wstring& name);

// Removes the file of the tune called `name` (a link, not what it leads to). Throws
// std::runtime_error "Unable to delete tune file: <path>: <reason>", the reason being why SaveTune
// would refuse the name, or the system's ("No such file or directory" when none is stored).
WQREPOS_EXPORT void DeleteTune(const std::wstring& name);

// Renames the stored tune `from` to `to` in one step; a tune stored as `to` is replaced only with
// `replace`. Names follow SaveTune's rules; `to` may lie in another existing sub-folder. Throws
// std::runtime_error "Unable to rename tune file: <from path> to <to path>: <reason>", the reason
// being why either name is refused, or the system's ("File exists" without `replace`, "No such
// file or directory" for a missing `from` or sub-folder); nothing changes then.
WQREPOS_EXPORT void RenameTune(const std::wstring& from, const std::wstring& to,
                               bool replace = false);

}  // namespace WQRepos
