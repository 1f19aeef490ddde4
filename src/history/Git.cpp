#include "history/Git.h"

#include <WQPlatform/Platform.h>
#include <WQRepos/History.h>

#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>

#include "frame/Repository.h"

namespace WQRepos::history {

namespace {

// libgit2 set up once for each process: objects and references are synced to the disk before a
// branch moves, so that a power loss leaves no branch pointing at an object that is not there.
// A child made by fork sets it up again: libgit2 names its temporary object files from a random
// sequence seeded when it is set up, so children of one parent would try the same names, and
// the files that a killed child left would refuse every record of its siblings.
class Library {
 public:
  void Use() {
    const std::lock_guard<std::mutex> hold(mutex_);
    const long process = WQPlatform::ProcessId();
    if (process == process_) return;
    if (process_ != 0) git_libgit2_shutdown();
    git_libgit2_init();
    git_libgit2_opts(GIT_OPT_ENABLE_FSYNC_GITDIR, 1);
    process_ = process;
  }
  ~Library() {
    if (process_ == WQPlatform::ProcessId()) git_libgit2_shutdown();
  }

 private:
  std::mutex mutex_;
  long process_ = 0;
};

void UseLibrary() {
  static Library library;
  library.Use();
}

// The work tree holds the data directory: only the kept directories count, and never the
// temporary files of saves in flight.
std::string IgnoreRules() {
  std::string rules = "/*\n";
  for (const std::string& directory : KeptDirectories()) rules += "!/" + directory + "/\n";
  return rules + ".*.wqtmp-*\n.*.wqnew-*\n";
}

// Creates the repository at `path` whole under a name of its own and renames it into place, so
// that another process never finds one half made. Of two made at once, the first renamed stays.
void CreateRepository(const std::string& path) {
  std::random_device random;
  const std::string made = path + ".new-" + std::to_string(random()) + std::to_string(random());
  git_repository_init_options options;
  git_repository_init_options_init(&options, GIT_REPOSITORY_INIT_OPTIONS_VERSION);
  options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKDIR;
  options.initial_head = "main";
  std::error_code error;
  try {
    git_repository* repo = nullptr;
    Check(git_repository_init_ext(&repo, made.c_str(), &options),
          "Cannot create the history " + path);
    const Repository owned(repo);
    // The commits are the log: a reflog would double every move of the branch and its syncs.
    git_config* config = nullptr;
    Check(git_repository_config(&config, repo), "Cannot create the history " + path);
    const int result = git_config_set_bool(config, "core.logAllRefUpdates", 0);
    git_config_free(config);
    Check(result, "Cannot create the history " + path);
  } catch (const HistoryError&) {
    std::filesystem::remove_all(made, error);
    throw;
  }
  std::filesystem::rename(made, path, error);
  if (error) std::filesystem::remove_all(made, error);
}

std::string BaseFolder() {
  const std::string history = HistoryFolder();
  return history.substr(0, history.rfind(WQPlatform::kSeparator));
}

}  // namespace

const std::vector<std::string>& KeptDirectories() {
  static const std::vector<std::string> directories{"AcqMethod",   "EvalMethod", "Tunes",
                                                    "Calibration", "Prefs",      "Autotune"};
  return directories;
}

std::string LastReason(const std::string& otherwise) {
  const git_error* error = git_error_last();
  return error && error->message ? error->message : otherwise;
}

void Check(int result, const std::string& action) {
  if (result >= 0) return;
  throw HistoryError(action + ": " + LastReason("libgit2 error " + std::to_string(result)));
}

std::optional<std::string> UnusableFolder(const std::string& path) {
  if (WQPlatform::IsSymbolicLink(path)) return path + ": a link, not a folder";
  if (WQPlatform::PathExists(path) && !WQPlatform::IsDirectory(path))
    return path + ": not a folder";
  return std::nullopt;
}

std::string HistoryFolder() { return NativePath(theConfig.QHistoryDirectory()); }

Repository OpenHistory(bool create) {
  UseLibrary();
  const std::string path = HistoryFolder();
  if (const auto reason = UnusableFolder(path))
    throw HistoryError("Cannot use the history " + *reason);
  git_repository* repo = nullptr;
  if (WQPlatform::PathExists(path)) {
    Check(
        git_repository_open_ext(&repo, path.c_str(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH | GIT_REPOSITORY_OPEN_BARE, nullptr),
        "Cannot open the history " + path);
  } else if (create) {
    CreateRepository(path);
    Check(
        git_repository_open_ext(&repo, path.c_str(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH | GIT_REPOSITORY_OPEN_BARE, nullptr),
        "Cannot open the history " + path);
  } else {
    return nullptr;
  }
  Repository owned(repo);
  Check(git_repository_set_workdir(repo, BaseFolder().c_str(), 0),
        "Cannot open the history " + path);
  Check(git_ignore_add_rule(repo, IgnoreRules().c_str()), "Cannot open the history " + path);
  return owned;
}

std::optional<git_oid> BranchTip(git_repository* repo) {
  git_oid id;
  const int result = git_reference_name_to_id(&id, repo, kBranch);
  if (result == GIT_ENOTFOUND) return std::nullopt;
  Check(result, "Cannot read the branch of the history " + HistoryFolder());
  return id;
}

Tree TreeOf(git_repository* repo, const git_oid& id) {
  git_commit* commit = nullptr;
  Check(git_commit_lookup(&commit, repo, &id),
        "Cannot read a record of the history " + HistoryFolder());
  const Commit owned(commit);
  git_tree* tree = nullptr;
  Check(git_commit_tree(&tree, commit), "Cannot read a record of the history " + HistoryFolder());
  return Tree(tree);
}

}  // namespace WQRepos::history
