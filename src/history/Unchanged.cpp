#include "history/Unchanged.h"

#include <WQPlatform/Platform.h>

#include <algorithm>
#include <cstdint>

#include "history/Git.h"

namespace WQRepos::history {

namespace {

// How many stored files one record reads at most to tell that they are unchanged. More files
// changed since the last walk than this make the record walk again, which renews the index.
constexpr std::size_t kReads = 16;

constexpr std::int64_t kSecond = 1000000000;

class Comparison {
 public:
  Comparison(git_repository* repo, git_index* index, std::int64_t indexTime, const git_tree* tip,
             const std::vector<std::string>& items)
      : repo_(repo),
        index_(index),
        // Git's rule for a file changed within the time stamp of the index write: its time and
        // size may be those of its entry while its content is not. Such files are read; whole
        // seconds, as a file system may keep no finer times.
        racy_(indexTime - indexTime % kSecond),
        tip_(tip),
        items_(items),
        base_(std::string(git_repository_workdir(repo))) {}

  // Compares the files under the kept directory `directory`; false at the first that differs.
  bool Folder(const std::string& directory) {
    bool same = true;
    const std::string path = base_ + directory;
    if (!WQPlatform::IsDirectory(path)) return true;
    const bool listed = WQPlatform::VisitDirectory(path, "*", [&](std::string_view name) {
      if (!same || name == "." || name == "..") return;
      same = Entry(directory + "/" + std::string(name));
    });
    return listed && same;
  }

  // True when the files seen were exactly the tip's.
  bool AllSeen() const { return seen_ == Blobs(tip_); }

 private:
  bool Entry(const std::string& item) {
    const auto status = WQPlatform::PathLinkStatus(base_ + item);
    if (!status) return false;
    if (status->directory) return Folder(item);
    if (std::find(items_.begin(), items_.end(), item) != items_.end()) return status->regular;
    if (!status->regular) return false;
    git_tree_entry* raw = nullptr;
    if (git_tree_entry_bypath(&raw, tip_, item.c_str()) != 0) {
      // A file that the tip does not hold: a temporary file of a save in flight, or a change.
      int ignored = 0;
      return git_ignore_path_is_ignored(&ignored, repo_, item.c_str()) == 0 && ignored;
    }
    const TreeEntry entry(raw);
    ++seen_;
    return Holds(item, *status, entry.get());
  }

  // True when the file `item` of the status `status` holds the tip's entry `entry`.
  bool Holds(const std::string& item, const WQPlatform::FileStatus& status,
             const git_tree_entry* entry) {
    const git_filemode_t mode =
        (status.mode & 0100) ? GIT_FILEMODE_BLOB_EXECUTABLE : GIT_FILEMODE_BLOB;
    if (git_tree_entry_filemode(entry) != mode) return false;
    const git_index_entry* walked = git_index_get_bypath(index_, item.c_str(), 0);
    if (walked && git_oid_equal(&walked->id, git_tree_entry_id(entry)) &&
        Stamped(*walked, status) && status.modified < racy_)
      return true;
    if (++reads_ > kReads) return false;
    git_oid id;
    return git_repository_hashfile(&id, repo_, (base_ + item).c_str(), GIT_OBJECT_BLOB,
                                   item.c_str()) == 0 &&
           git_oid_equal(&id, git_tree_entry_id(entry));
  }

  // The files that the tree `tree` holds, but the items, at any depth.
  std::size_t Blobs(const git_tree* tree) const {
    struct Count {
      const std::vector<std::string>& items;
      std::size_t blobs = 0;
    } count{items_};
    git_tree_walk(
        tree, GIT_TREEWALK_PRE,
        [](const char* root, const git_tree_entry* entry, void* payload) {
          auto& state = *static_cast<Count*>(payload);
          if (git_tree_entry_type(entry) != GIT_OBJECT_BLOB) return 0;
          const std::string item = std::string(root) + git_tree_entry_name(entry);
          state.blobs +=
              std::find(state.items.begin(), state.items.end(), item) == state.items.end();
          return 0;
        },
        &count);
    return count.blobs;
  }

  git_repository* repo_;
  git_index* index_;
  std::int64_t racy_;
  const git_tree* tip_;
  const std::vector<std::string>& items_;
  std::string base_;
  std::size_t seen_ = 0;  // files seen that the tip holds, but the items
  std::size_t reads_ = 0;
};

}  // namespace

bool Stamped(const git_index_entry& entry, const WQPlatform::FileStatus& status) {
  return entry.file_size == static_cast<std::uint32_t>(status.size) &&
         entry.mtime.seconds == static_cast<std::int32_t>(status.modified / kSecond) &&
         (entry.mtime.nanoseconds == 0 ||
          entry.mtime.nanoseconds == static_cast<std::uint32_t>(status.modified % kSecond));
}

bool OthersUnchanged(git_repository* repo, git_index* index, std::int64_t indexTime,
                     const git_tree* tip, const std::vector<std::string>& items) {
  Comparison comparison(repo, index, indexTime, tip, items);
  for (const std::string& directory : KeptDirectories())
    if (!comparison.Folder(directory)) return false;
  return comparison.AllSeen();
}

}  // namespace WQRepos::history
