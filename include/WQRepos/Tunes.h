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

}  // namespace WQRepos
