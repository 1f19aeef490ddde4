// Acquisition methods stored by name in the acquisition method directory, as "<name>.kem" files.
#pragma once

#include <WQBL/Method.h>
#include <WQRepos/Export.h>

#include <string>
#include <vector>

namespace WQRepos {

// Creates or replaces, as a whole, the file of the method called `name` (used as given: it may
// hold separators or dots). Throws std::runtime_error "Unable to create acquisition method file
// (<name>)" when the file cannot be written; the earlier file, if any, is then left as it was.
WQREPOS_EXPORT void SaveAcqMethod(const std::wstring& name, const WQBL::Method& method);

// LoadFullyQualifiedAcqMethod of the file of the method called `name`.
WQREPOS_EXPORT WQBL::Method LoadAcqMethod(const std::wstring& name);

// Reads the method file at `path` (used as given) and completes its time-outs: every time period
// of no duration gets the time its items take over all its loops, in milliseconds rounded up. The
// system configuration is read for the polarity switching time, and its errors pass through.
// Throws std::runtime_error "Unable to open acquisition method file (<path>)" when the file cannot
// be opened and "Invalid acquisition method file (<path>)" when its file version is not 1, and
// WQCommon::StreamError naming the file when it ends early. Errors of the method's own record
// (WQBL::Method) pass through.
WQREPOS_EXPORT WQBL::Method LoadFullyQualifiedAcqMethod(const std::wstring& path);

// The method called `name` as its file holds it: LoadAcqMethod without the completion of
// time-outs, so without reading the system configuration. Throws as LoadAcqMethod does for the
// name and the file.
WQREPOS_EXPORT WQBL::Method LoadStoredAcqMethod(const std::wstring& name);

// The method file at `path` as it holds it: LoadFullyQualifiedAcqMethod without the completion of
// time-outs, so without reading the system configuration. Throws as LoadFullyQualifiedAcqMethod
// does for the file.
WQREPOS_EXPORT WQBL::Method LoadStoredAcqMethodFile(const std::wstring& path);

// The names of the stored methods, unsorted; empty when there are none.
WQREPOS_EXPORT std::vector<std::wstring> GetAcqMethodNames();

// True when a method called `name` is stored: its file is a regular file, after following links.
// False for a name that SaveAcqMethod refuses. Never throws for file problems.
WQREPOS_EXPORT bool AcqMethodExists(const std::wstring& name);

// Removes the file of the method called `name` (a link, not what it leads to). Throws
// std::runtime_error "Unable to delete acquisition method file (<path>): <reason>", the reason
// being why SaveAcqMethod would refuse the name, or the system's ("No such file or directory" when
// none is stored).
WQREPOS_EXPORT void DeleteAcqMethod(const std::wstring& name);

// Renames the stored method `from` to `to` in one step; a method stored as `to` is replaced only
// with `replace`. Names follow SaveAcqMethod's rules; `to` may lie in another existing sub-folder.
// Throws std::runtime_error "Unable to rename acquisition method file (<from path>) to (<to
// path>): <reason>", the reason being why either name is refused, or the system's ("File exists"
// without `replace`, "No such file or directory" for a missing `from` or sub-folder); nothing
// changes then.
WQREPOS_EXPORT void RenameAcqMethod(const std::wstring& from, const std::wstring& to,
                                    bool replace = false);

}  // namespace WQRepos
