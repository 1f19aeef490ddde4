#include <WQCommon/Text.h>
#include <WQRepos/History.h>

#include "frame/Repository.h"
#include "history/Git.h"

namespace WQRepos {

namespace {

using namespace history;

// Reads every object of the repository, which libgit2 checks against its id: throws HistoryError
// naming the first that is missing or damaged.
void ReadEveryObject(git_repository* repo) {
  git_odb* rawOdb = nullptr;
  Check(git_repository_odb(&rawOdb, repo), "Cannot read the objects of the history");
  const Odb odb(rawOdb);
  struct Reading {
    git_odb* odb;
    std::string damage;
  } reading{rawOdb, ""};
  const int result = git_odb_foreach(
      rawOdb,
      [](const git_oid* id, void* payload) {
        auto& state = *static_cast<Reading*>(payload);
        git_odb_object* object = nullptr;
        if (git_odb_read(&object, state.odb, id) < 0) {
          char text[GIT_OID_HEXSZ + 1];
          git_oid_tostr(text, sizeof text, id);
          state.damage =
              std::string("object ") + text + " is damaged: " + LastReason("it cannot be read");
          return 1;
        }
        git_odb_object_free(object);
        return 0;
      },
      &reading);
  if (!reading.damage.empty()) throw HistoryError(reading.damage);
  Check(result, "Cannot read the objects of the history");
}

// The items whose stored file differs from the tree of the last record.
std::vector<std::wstring> UnrecordedItems(git_repository* repo, const std::optional<git_oid>& tip) {
  const Tree tree = tip ? TreeOf(repo, *tip) : nullptr;
  git_diff_options options;
  git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
  options.flags = GIT_DIFF_INCLUDE_UNTRACKED | GIT_DIFF_RECURSE_UNTRACKED_DIRS;
  git_diff* rawDiff = nullptr;
  Check(git_diff_tree_to_workdir(&rawDiff, repo, tree.get(), &options),
        "Cannot compare the stored files with the history");
  const Diff diff(rawDiff);
  std::vector<std::wstring> items;
  for (std::size_t i = 0; i < git_diff_num_deltas(rawDiff); ++i) {
    const git_diff_delta* delta = git_diff_get_delta(rawDiff, i);
    items.push_back(WQCommon::WQNarrowToWideStr(delta->new_file.path ? delta->new_file.path
                                                                     : delta->old_file.path));
  }
  return items;
}

}  // namespace

HistoryVerification VerifyHistory() {
  HistoryVerification verification;
  verification.Enabled = theConfig.QHistoryEnabled();
  if (!verification.Enabled) return verification;
  try {
    // A history not made yet is made by the first record, which takes in what is stored.
    const Repository repo = OpenHistory(false);
    if (!repo) return verification;
    const std::optional<git_oid> tip = BranchTip(repo.get());
    // Plain git starts from HEAD: it must lead to the branch.
    if (tip) {
      git_reference* head = nullptr;
      Check(git_repository_head(&head, repo.get()),
            "Cannot read the HEAD of the history " + HistoryFolder());
      git_reference_free(head);
    }
    ReadEveryObject(repo.get());
    verification.Unrecorded = UnrecordedItems(repo.get(), tip);
  } catch (const HistoryError& error) {
    verification.Damage = error.what();
  }
  return verification;
}

}  // namespace WQRepos
