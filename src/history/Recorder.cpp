#include <WQCommon/Calendar.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/History.h>
#include <WQRepos/SystemConfiguration.h>
#include <WQRepos/Version.h>
#include <log4cxx/logger.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "frame/Repository.h"
#include "history/Git.h"
#include "history/Record.h"
#include "history/Unchanged.h"

namespace WQRepos {

namespace {

thread_local const char* theOperation = nullptr;

}  // namespace

ScopedHistoryOperation::ScopedHistoryOperation(const char* operation) : previous_(theOperation) {
  theOperation = operation;
}

ScopedHistoryOperation::~ScopedHistoryOperation() { theOperation = previous_; }

namespace history {
namespace {

// How often a record is tried again when another process moved the branch first.
constexpr int kAttempts = 200;

// The item of the full path `path` when it lies in a kept directory: its path from the base
// directory, with '/' between the parts.
std::optional<std::string> ItemOf(const std::wstring& path) {
  const std::string native = NativePath(path);
  const std::string history = HistoryFolder();
  const std::string base = history.substr(0, history.rfind(WQPlatform::kSeparator) + 1);
  if (native.compare(0, base.size(), base) != 0) return std::nullopt;
  const std::string item = native.substr(base.size());
  const std::string top = item.substr(0, item.find('/'));
  const auto& kept = KeptDirectories();
  if (top.size() == item.size() || std::find(kept.begin(), kept.end(), top) == kept.end())
    return std::nullopt;
  return item;
}

// The operator named in the system configuration; empty when there is none or it cannot be read.
std::string OperatorName() {
  try {
    return WQCommon::WQWideToNarrowStr(LoadSystemConfiguration().UserName);
  } catch (const std::exception&) {
    return "";
  }
}

// A trailer's value on one line: line ends would start a trailer of their own.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

// Who made the change, where and when: the same for every record of one change.
struct Origin {
  std::string user = WQPlatform::UserName();
  std::string operatorName = OperatorName();
  std::string host = WQPlatform::HostName();
  std::int64_t time = WQPlatform::CurrentTime();
};

std::string Message(const std::string& operation, const std::vector<std::string>& items,
                    const Origin& origin) {
  std::string message = operation + " " + (items.empty() ? "" : items.front());
  if (items.size() > 1) message += operation == "rename" ? " from " + items[1] : " and more";
  message += "\n\nOperation: " + operation + "\n";
  for (const std::string& item : items) message += "Item: " + OneLine(item) + "\n";
  message += "User: " + OneLine(origin.user) + "\n";
  if (!origin.operatorName.empty()) message += "Operator: " + OneLine(origin.operatorName) + "\n";
  message += "Host: " + OneLine(origin.host) + "\nTime: " + WQCommon::IsoUtcTime(origin.time) +
             "\nModule-Version: " + QVersion() + "\n";
  return message;
}

git_oid MakeCommit(git_repository* repo, const git_oid& tree, const std::optional<git_oid>& parent,
                   const std::string& message, const Origin& origin) {
  const std::string user = origin.user.empty() ? "unknown" : origin.user;
  git_signature* signature = nullptr;
  Check(git_signature_new(&signature, user.c_str(), (user + "@" + origin.host).c_str(), origin.time,
                          0),
        "Cannot sign a record");
  const Signature ownedSignature(signature);
  git_tree* treeObject = nullptr;
  Check(git_tree_lookup(&treeObject, repo, &tree), "Cannot read the tree of a record");
  const Tree ownedTree(treeObject);
  git_commit* parentCommit = nullptr;
  if (parent)
    Check(git_commit_lookup(&parentCommit, repo, &*parent), "Cannot read the last record");
  const Commit ownedParent(parentCommit);
  const git_commit* parents[] = {parentCommit};
  git_oid id;
  Check(git_commit_create(&id, repo, nullptr, signature, signature, "UTF-8", message.c_str(),
                          treeObject, parent ? 1 : 0, parents),
        "Cannot write a record");
  return id;
}

// How often the stored files, or the index, are read for one record at most.
constexpr int kReads = 5;

// The index of the history: the stored files as the last walk found them. libgit2 reads it by the
// size a stat gave before: one that another process replaces meanwhile fails the read, and is read
// again. One that cannot be read, torn or damaged, is only a cache: it is emptied (removed), and
// the next walk makes it again.
Index OpenIndex(git_repository* repo) {
  git_index* index = nullptr;
  for (int read = 1; git_repository_index(&index, repo) < 0; ++read) {
    if (read < kReads) continue;
    WQPlatform::RemoveFile(std::string(git_repository_path(repo)) + "index");
    Check(git_repository_index(&index, repo), "Cannot open the index of the history");
    break;
  }
  return Index(index);
}

// Brings `index` up to the file on the disk; the time of the file read, 0 when there is none.
std::int64_t ReadIndex(git_repository* repo, git_index* index) {
  const auto status = WQPlatform::PathLinkStatus(std::string(git_repository_path(repo)) + "index");
  for (int read = 1; git_index_read(index, 0) < 0; ++read) {
    if (read < kReads) continue;
    git_index_clear(index);
    break;
  }
  return status ? status->modified : 0;
}

// Brings the index entries of the files that changed since the index was made up to the files
// as they are: true when every file could be read.
bool UpdateIndex(git_repository* repo, git_index* index) {
  git_diff_options options;
  git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
  options.flags =
      GIT_DIFF_INCLUDE_UNTRACKED | GIT_DIFF_RECURSE_UNTRACKED_DIRS | GIT_DIFF_INCLUDE_TYPECHANGE;
  git_diff* raw = nullptr;
  if (git_diff_index_to_workdir(&raw, repo, index, &options) < 0) return false;
  const Diff diff(raw);
  for (std::size_t i = 0; i < git_diff_num_deltas(raw); ++i) {
    const git_diff_delta* delta = git_diff_get_delta(raw, i);
    const int result = delta->status == GIT_DELTA_DELETED
                           ? git_index_remove_bypath(index, delta->old_file.path)
                           : git_index_add_bypath(index, delta->new_file.path);
    if (result < 0) return false;
  }
  return true;
}

// Gives the entries of files whose time or size changed but not their content (the comparison
// read them, and found them the same) the files' present time and size, so that the records
// after need not read them again. libgit2's own way to do it writes the index at once, which
// fails while another process holds its lock; here the index is written after the record.
void RenewTimes(git_repository* repo, git_index* index) {
  const std::string base = git_repository_workdir(repo);
  std::vector<std::string> renewed;
  for (std::size_t i = 0; i < git_index_entrycount(index); ++i) {
    const git_index_entry* entry = git_index_get_byindex(index, i);
    const auto status = WQPlatform::PathLinkStatus(base + entry->path);
    if (status && status->regular && !Stamped(*entry, *status)) renewed.push_back(entry->path);
  }
  // A file that cannot be read keeps its entry: it is read again next time.
  for (const std::string& path : renewed) git_index_add_bypath(index, path.c_str());
}

// Walks the stored files: brings the index, the history's cache of their state, up to the files
// as they are, reading those whose time or size changed, and gives the tree of them all. A file
// that another process replaces while it is read fails the read (its size no longer that of its
// stat): the files are compared again.
git_oid Snapshot(git_repository* repo, git_index* index) {
  ReadIndex(repo, index);
  for (int read = 1; !UpdateIndex(repo, index); ++read)
    if (read == kReads) Check(-1, "Cannot read the stored files");
  RenewTimes(repo, index);
  git_oid tree;
  Check(git_index_write_tree(&tree, index), "Cannot write a tree of the history");
  return tree;
}

// The paths that differ between the trees `from` (none: the empty tree) and `to`.
std::set<std::string> ChangedPaths(git_repository* repo, const std::optional<git_oid>& from,
                                   const git_oid& to) {
  Tree before = from ? TreeOf(repo, *from) : nullptr;
  git_tree* after = nullptr;
  Check(git_tree_lookup(&after, repo, &to), "Cannot read a tree of the history");
  const Tree ownedAfter(after);
  git_diff* diff = nullptr;
  Check(git_diff_tree_to_tree(&diff, repo, before.get(), after, nullptr), "Cannot compare records");
  const Diff ownedDiff(diff);
  std::set<std::string> paths;
  for (std::size_t i = 0; i < git_diff_num_deltas(diff); ++i) {
    const git_diff_delta* delta = git_diff_get_delta(diff, i);
    paths.insert(delta->new_file.path ? delta->new_file.path : delta->old_file.path);
  }
  return paths;
}

// Sets the entry of `path` in `index` to what the tree of the commit `commit` held: removed when
// it held nothing.
void TakeFromRecord(git_repository* repo, git_index* index, const std::optional<git_oid>& commit,
                    const std::string& path) {
  if (commit) {
    const Tree tree = TreeOf(repo, *commit);
    git_tree_entry* entry = nullptr;
    if (git_tree_entry_bypath(&entry, tree.get(), path.c_str()) == 0) {
      const TreeEntry owned(entry);
      git_index_entry indexEntry{};
      indexEntry.path = path.c_str();
      indexEntry.mode = git_tree_entry_filemode(entry);
      indexEntry.id = *git_tree_entry_id(entry);
      Check(git_index_add(index, &indexEntry), "Cannot set aside a change of the history");
      return;
    }
  }
  if (git_index_remove_bypath(index, path.c_str()) < 0)
    Check(-1, "Cannot set aside a change of the history");
}

// Makes the records of one change on top of the branch tip `tip` and gives the last of them: first
// a record "outside" of what changed without the module, when anything did, then the change.
git_oid RecordsOnTip(git_repository* repo, git_index* index, const std::optional<git_oid>& tip,
                     const std::string& operation, const std::vector<std::string>& items,
                     const Origin& origin) {
  const git_oid tree = Snapshot(repo, index);
  std::vector<std::string> outside;
  for (const std::string& path : ChangedPaths(repo, tip, tree))
    if (std::find(items.begin(), items.end(), path) == items.end()) outside.push_back(path);
  std::optional<git_oid> parent = tip;
  if (!outside.empty()) {
    for (const std::string& item : items) TakeFromRecord(repo, index, tip, item);
    git_oid outsideTree;
    Check(git_index_write_tree(&outsideTree, index), "Cannot write a tree of the history");
    parent = MakeCommit(repo, outsideTree, tip, Message("outside", outside, origin), origin);
    for (const std::string& item : items) {
      if (git_index_add_bypath(index, item.c_str()) < 0)
        Check(git_index_remove_bypath(index, item.c_str()), "Cannot read the stored files");
    }
  }
  return MakeCommit(repo, tree, parent, Message(operation, items, origin), origin);
}

// The blob of the stored file `item` as it is now, with its mode; nothing when it is missing.
// Throws HistoryError when it is no regular file or cannot be read. The file is read to its end,
// whatever size a look at it gave: on a share, another workstation may have replaced it since,
// and the look may come from a cache of the file's attributes.
std::optional<std::pair<git_oid, git_filemode_t>> BlobOf(git_repository* repo,
                                                         const std::string& item) {
  const std::string path = std::string(git_repository_workdir(repo)) + item;
  for (int read = 1;; ++read) {
    const auto status = WQPlatform::PathLinkStatus(path);
    if (!status) return std::nullopt;
    if (!status->regular) throw HistoryError("Cannot record " + path + ": not a regular file");
    std::optional<std::string> content;
    try {
      content = WQPlatform::ReadFile(path);
    } catch (const WQPlatform::ReadError& error) {
      throw HistoryError(std::string("Cannot record the stored file: ") + error.what());
    }
    git_oid blob;
    if (content) {
      Check(git_blob_create_from_buffer(&blob, repo, content->data(), content->size()),
            "Cannot record the stored file " + path);
      return std::make_pair(
          blob, (status->mode & 0100) ? GIT_FILEMODE_BLOB_EXECUTABLE : GIT_FILEMODE_BLOB);
    }
    // Removed, or replaced by another process, between the look and the read.
    if (read == kReads) Check(-1, "Cannot read the stored file " + path);
  }
}

// The tree of `tip` with the items as the stored files hold them now.
git_oid TreeWithItems(git_repository* repo, git_tree* tip, const std::vector<std::string>& items) {
  std::vector<git_tree_update> updates;
  for (const std::string& item : items) {
    git_tree_update update{};
    update.path = item.c_str();
    if (const auto blob = BlobOf(repo, item)) {
      update.action = GIT_TREE_UPDATE_UPSERT;
      update.id = blob->first;
      update.filemode = blob->second;
    } else {
      git_tree_entry* entry = nullptr;
      if (git_tree_entry_bypath(&entry, tip, item.c_str()) != 0) continue;
      git_tree_entry_free(entry);
      update.action = GIT_TREE_UPDATE_REMOVE;
    }
    updates.push_back(update);
  }
  git_oid tree;
  Check(git_tree_create_updated(&tree, repo, tip, updates.size(), updates.data()),
        "Cannot write a tree of the history");
  return tree;
}

// Makes the record of one change on top of the branch tip `tip` from the tip's tree and the items
// alone, when the other stored files hold what the tip holds; nothing when they may not.
std::optional<git_oid> QuickRecord(git_repository* repo, git_index* index, const git_oid& tip,
                                   const std::string& operation,
                                   const std::vector<std::string>& items, const Origin& origin) {
  const std::int64_t indexTime = ReadIndex(repo, index);
  const Tree tree = TreeOf(repo, tip);
  if (!OthersUnchanged(repo, index, indexTime, tree.get(), items)) return std::nullopt;
  return MakeCommit(repo, TreeWithItems(repo, tree.get(), items), tip,
                    Message(operation, items, origin), origin);
}

// Moves the branch from `tip` (none: the branch is still to be made) to `id` only while it still
// points at `tip`: false when another process moved it first (or holds its lock), so that the
// records are made again on its tip; the reason is left in `conflict`. The branch is compared
// under its lock, a missing one as the zero id: libgit2 looks for an existing branch before it
// takes the lock, so that a first record of another process made between the look and the lock
// would be written over. Where the view of the folder lags (`lagging`), any refusal counts as a
// lock held: an SFTP client reports a lock file that exists as "Operation not permitted", its
// protocol having no word for it.
bool MoveBranch(git_repository* repo, const std::optional<git_oid>& tip, const git_oid& id,
                bool lagging, std::string& conflict) {
  const git_oid none{};
  git_reference* reference = nullptr;
  const int result = git_reference_create_matching(&reference, repo, kBranch, &id, 1,
                                                   tip ? &*tip : &none, "record");
  Reference owned(reference);
  if (result == GIT_EMODIFIED || result == GIT_ELOCKED || (result == GIT_ERROR && lagging)) {
    conflict = LastReason("libgit2 error " + std::to_string(result));
    return false;
  }
  Check(result, "Cannot move the branch of the history");
  return true;
}

// How long the branch's lock file may stay the same file before it is taken for one left by a
// process that died while it moved the branch: a move holds it for one write and one sync.
constexpr auto kStaleLock = std::chrono::seconds(3);

// The same where this computer's view of the folder may lag (a network file system): a client may
// show a lock that another workstation has long replaced by the branch, unchanged, for as long as
// it remembers the folder (sshfs, by default: 20 s). Removing it then would remove a live lock of
// the other workstation, whose record would fail; waiting through it lets the view catch up.
constexpr auto kStaleLockOnShare = std::chrono::seconds(25);

// Watches the branch's lock file over the attempts of one record and removes it once it has stayed
// the same file (time and size) for `stale`. Git leaves such a lock for a person to remove; left,
// it would stop every record, each save waiting for its attempts.
class LockWatch {
 public:
  // `start`: when the record's attempts began.
  LockWatch(git_repository* repo, std::chrono::seconds stale,
            std::chrono::steady_clock::time_point start)
      : path_(std::string(git_repository_path(repo)) + kBranch + ".lock"),
        stale_(stale),
        start_(start) {}

  // Looks at the lock after an attempt that could not move the branch.
  void Look() {
    const auto status = WQPlatform::PathLinkStatus(path_);
    const auto now = std::chrono::steady_clock::now();
    if (!status) {
      seen_.reset();
    } else if (seen_ != std::make_pair(status->modified, status->size)) {
      seen_ = std::make_pair(status->modified, status->size);
      since_ = now;
    } else if (now - since_ >= stale_) {
      WQPlatform::RemoveFile(path_);
      seen_.reset();
      removed_ = true;
    }
  }

  // True while a lock is watched or was just removed, for no longer than twice `stale` from the
  // start of the attempts: they go on meanwhile.
  bool Watching() const {
    return (seen_ || removed_) && std::chrono::steady_clock::now() - start_ < 2 * stale_;
  }

 private:
  std::string path_;
  std::chrono::seconds stale_;
  bool removed_ = false;
  std::optional<std::pair<std::int64_t, std::uint64_t>> seen_;
  std::chrono::steady_clock::time_point since_;
  std::chrono::steady_clock::time_point start_;
};

// Writes the index after a walk that ended in the branch's move. While another process holds the
// index's lock the index stays as it was: it only spares reading unchanged files again. A lock
// older than the branch by kStaleLock is one that a killed process left (a write holds it for one
// write and one sync), and is removed; both times are the file system's own.
void WriteIndex(git_repository* repo, git_index* index) {
  if (git_index_write(index) == 0) return;
  if (OlderThanBranch(repo, "index.lock",
                      std::chrono::duration_cast<std::chrono::nanoseconds>(kStaleLock).count()) &&
      WQPlatform::RemoveFile(std::string(git_repository_path(repo)) + "index.lock"))
    git_index_write(index);
}

void Record(const std::string& operation, const std::vector<std::string>& items) {
  const Repository repo = OpenHistory(true);
  const Index index = OpenIndex(repo.get());
  const HeldObjects held = HoldObjects(repo.get());
  const Origin origin;
  const bool lagging = WQPlatform::ViewMayLag(HistoryFolder());
  const auto start = std::chrono::steady_clock::now();
  LockWatch lock(repo.get(), lagging ? kStaleLockOnShare : kStaleLock, start);
  // A lagging view may show the branch, or its absence, as it was up to kStaleLockOnShare ago,
  // every attempt then failing alike: the attempts last at least as long as the view may lag.
  const auto patience = lagging ? kStaleLockOnShare : std::chrono::seconds(0);
  const auto patient = [&] { return std::chrono::steady_clock::now() - start < patience; };
  std::string conflict;
  int attempt = 0;
  for (; attempt < kAttempts || lock.Watching() || patient(); ++attempt) {
    const std::optional<git_oid> tip = BranchTip(repo.get());
    // Without a walk where the index tells that nothing else changed; with one otherwise, which
    // records what changed without the module first.
    const std::optional<git_oid> quick =
        tip ? QuickRecord(repo.get(), index.get(), *tip, operation, items, origin) : std::nullopt;
    const git_oid id =
        quick ? *quick : RecordsOnTip(repo.get(), index.get(), tip, operation, items, origin);
    // Every object of the records is on the disk, synced, before the branch points at them.
    WriteHeldObjects(held);
    if (MoveBranch(repo.get(), tip, id, lagging, conflict)) {
      // A walk follows a record that was cut short, which is what leaves files behind.
      if (!quick) {
        WriteIndex(repo.get(), index.get());
        RemoveLeftovers(repo.get());
      }
      PackLooseObjects(repo.get());
      return;
    }
    lock.Look();
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + attempt % 10));
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  throw HistoryError("Cannot record in the history " + HistoryFolder() +
                     ": its branch kept moving under other records (" + std::to_string(attempt) +
                     " attempts in " + std::to_string(seconds.count()) +
                     " s; the last: " + conflict + ")");
}

}  // namespace
}  // namespace history

void RecordChange(const char* operation, const std::vector<std::wstring>& paths) noexcept {
  if (!theConfig.QHistoryEnabled()) return;
  // Nothing leaves: the change is made, and a record that fails, even for want of memory, is
  // caught up by the next one.
  try {
    std::vector<std::string> items;
    for (const std::wstring& path : paths)
      if (const auto item = history::ItemOf(path)) items.push_back(*item);
    if (items.empty()) return;
    const std::string done =
        std::string(operation) == "save" && theOperation ? theOperation : operation;
    try {
      history::Record(done, items);
    } catch (const std::exception& error) {
      const log4cxx::LoggerPtr logger = log4cxx::Logger::getLogger("app");
      if (Heard(logger)) {
        logger->warn("The " + done + " of " + items.front() +
                     " is made but not recorded in the history: " + error.what());
      }
    }
  } catch (...) {
  }
}

}  // namespace WQRepos
