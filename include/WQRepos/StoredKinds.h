// The catalogue of the kinds of file that the module stores under its data directory: where each
// lies, how it is named, how large it may be, and how it is read. Whatever walks the stored files
// (a check of the data directory, a fuzzer, the tool's commands) walks this one table.
#pragma once

#include <WQRepos/Config.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace WQRepos {

struct WQREPOS_EXPORT StoredKind {
  // Reads the stored file at `path`, which the module calls `item` (its name within the kind's
  // directory, folders included, without the extension).
  using Reader = std::function<void(const std::wstring& path, const std::wstring& item)>;

  // A word that names the kind, unique in the catalogue ("method", "pref_GenTIC").
  std::string Name;
  // The family that several kinds of one directory and extension make to the user, named as a
  // whole ("preference"); empty for a kind that stands alone.
  std::string Group;
  Config::DirTypes Directory;
  // The one file of a kind stored once ("RefCals.cal"), at the top of its directory; empty for a
  // kind of named items, each stored as its name followed by Extension, in folders too.
  std::wstring File;
  // The extension of the kind's files, its full stop included (".kem").
  std::wstring Extension;
  // The most bytes that a file of the kind may hold: what its readers read whole, and what a save
  // writes at most, refusing larger content before the earlier file is replaced.
  std::uint64_t SizeLimit;
  // Reads the file as the application does, which may take what it cannot read for the kind's
  // defaults rather than throw.
  Reader Read;
  // Reads the file refusing all that Read passes over: a document that is not well-formed, a
  // record of another version or with bytes after its end. Throws at the first such fault.
  Reader ReadStrictly;

  // True when the file `name`, within the kind's directory and with its folders, is one of the
  // kind's files: the kind's file, or a name followed by the extension (never "", "." or "..").
  bool Holds(const std::wstring& name) const;
  // The name that the module calls the file `name` by: `name` without the extension.
  std::wstring ItemOf(const std::wstring& name) const;
};

// Every stored kind: the named items (methods, tunes, evaluation methods), the preferences in the
// order of ForEachPreference, the files stored once, and the autotune documents.
WQREPOS_EXPORT const std::vector<StoredKind>& StoredKinds();

// The kind whose file `name` is in the directory `directory`; null when the module stores no such
// file there.
WQREPOS_EXPORT const StoredKind* FindStoredKind(Config::DirTypes directory,
                                                const std::wstring& name);

// The kind called `name`. Throws std::invalid_argument "No stored kind is called <name>" for any
// other.
WQREPOS_EXPORT const StoredKind& StoredKindNamed(const std::string& name);

}  // namespace WQRepos
