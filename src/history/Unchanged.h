// Whether a record may be made from the branch's tip and the items it records alone, without a
// walk that reads every stored file: the history's index holds the time, size and content of each
// stored file as the last walk found it, so that a file whose time and size are still those, and
// whose content there is the tip's, is known to hold the tip's content without being read.
#pragma once

#include <WQPlatform/Platform.h>
#include <git2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace WQRepos::history {

// True when the time and size of the file of the status `status` are those its index entry
// `entry` holds: the index keeps the size's low 32 bits, and nanoseconds only where libgit2 was
// built to.
bool Stamped(const git_index_entry& entry, const WQPlatform::FileStatus& status);

// True when every stored file of the kept directories, but `items`, holds what the tree `tip`
// holds, and the tip holds no other file: told from the index `index` as read from the disk at
// the time `indexTime` (nanoseconds since 1970, by the file system's clock) or before, reading at
// most a few files. False when a file differs or it cannot be told so cheaply: a file of another
// kind than a regular one, or more files changed since the last walk than are read here.
bool OthersUnchanged(git_repository* repo, git_index* index, std::int64_t indexTime,
                     const git_tree* tip, const std::vector<std::string>& items);

}  // namespace WQRepos::history
