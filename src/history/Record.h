// The one place where the module's changes to stored files reach the history: the frame's save,
// delete and rename call RecordChange once their change is made.
#pragma once

#include <string>
#include <vector>

namespace WQRepos {

// Records in the history that the stored files at `paths` (full paths; a rename's new path first,
// then the old) changed by `operation`: "save" (or what a ScopedHistoryOperation of this thread
// names instead), "delete" or "rename". Paths outside the kept directories are left out, and
// nothing is recorded when none remains or the history is off. Never throws: a failure is logged
// to the logger "app" and the change stands.
void RecordChange(const char* operation, const std::vector<std::wstring>& paths) noexcept;

}  // namespace WQRepos
