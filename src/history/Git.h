// The history repository through libgit2: owning handles, errors, and the repository opened with
// the base data directory as its work tree so that a snapshot of the stored items is one tree.
#pragma once

#include <git2.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace WQRepos::history {

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* handle) const { Free(handle); }
};
template <typename T, void (*Free)(T*)>
using Handle = std::unique_ptr<T, Freer<T, Free>>;

using Repository = Handle<git_repository, git_repository_free>;
using Index = Handle<git_index, git_index_free>;
using Tree = Handle<git_tree, git_tree_free>;
using TreeEntry = Handle<git_tree_entry, git_tree_entry_free>;
using Commit = Handle<git_commit, git_commit_free>;
using Reference = Handle<git_reference, git_reference_free>;
using Signature = Handle<git_signature, git_signature_free>;
using Diff = Handle<git_diff, git_diff_free>;
using Blob = Handle<git_blob, git_blob_free>;
using Object = Handle<git_object, git_object_free>;
using Walk = Handle<git_revwalk, git_revwalk_free>;
using Odb = Handle<git_odb, git_odb_free>;
using OdbObject = Handle<git_odb_object, git_odb_object_free>;

// The branch that the records are on.
constexpr char kBranch[] = "refs/heads/main";

// The directories of the base data directory that the history keeps.
const std::vector<std::string>& KeptDirectories();

// libgit2's reason for the last call that failed on this thread; `otherwise` when it gave none.
std::string LastReason(const std::string& otherwise);

// Throws HistoryError "<action>: <libgit2's reason>" when `result` is below 0.
void Check(int result, const std::string& action);

// Why the history at `path` cannot be used as a repository folder: it is a link or not a folder;
// nothing when it can, or is missing.
std::optional<std::string> UnusableFolder(const std::string& path);

// The history repository of the module's configuration, its work tree the base data directory.
// With `create`, a missing repository is created (bare, its branch main); without, nothing is
// returned for a missing one. Throws HistoryError naming the folder when it cannot be opened.
Repository OpenHistory(bool create);

// The folder of the history repository, narrow.
std::string HistoryFolder();

// The commit that the branch points to; nothing when there is none yet.
std::optional<git_oid> BranchTip(git_repository* repo);

// Moves the repository's loose objects into a pack once they are many, as git's automatic
// housekeeping does, so that reading the records stays fast: one file per object would be opened
// for every record read. Does nothing when it cannot; the loose objects then stay.
void PackLooseObjects(git_repository* repo);

// True when the file `name` of the repository folder was last written more than `margin`
// nanoseconds before the branch last moved, both times by the file system's clock (the same for
// every workstation on a share): a file that a process in the middle of a record writes is never
// that much older than the branch.
bool OlderThanBranch(git_repository* repo, const std::string& name, std::int64_t margin);

// Removes the temporary files that processes killed while they wrote objects or a pack left in the
// object folder: a minute older than the branch, they belong to no write in flight. Nothing else
// removes them, and each takes a file of its own.
void RemoveLeftovers(git_repository* repo);

// The objects that records make, held in memory from HoldObjects until WriteHeldObjects writes
// them into the repository's object folder together: each is synced before it goes into place, as
// libgit2 writes one, but the syncs of one record overlap instead of following one another.
struct HeldObjects {
  git_odb_backend* backend;  // owned by the repository's object database
  std::string folder;        // the repository's object folder
};
HeldObjects HoldObjects(git_repository* repo);

// Throws HistoryError when an object cannot be written; the objects then stay held.
void WriteHeldObjects(const HeldObjects& held);

// The tree of the commit `id`.
Tree TreeOf(git_repository* repo, const git_oid& id);

}  // namespace WQRepos::history
