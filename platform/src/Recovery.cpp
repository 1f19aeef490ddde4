// Saves cut short: finding their leftovers, judging their writers, restoring and removing.
#include <WQPlatform/Platform.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "Internal.h"

namespace WQPlatform {
namespace {

// What is known of the writer of a leftover.
enum class Writer { Running, Gone, Unknown };

// A shared lock taken on a leftover whose writer's lock was free, held while the leftover is
// removed or put in place, so that a writer that has just created it cannot take it up meanwhile.
class ProbedLock {
 public:
  ProbedLock() = default;
  explicit ProbedLock(int descriptor) : descriptor_(descriptor) {}
  ProbedLock(ProbedLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  ProbedLock& operator=(ProbedLock&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    return *this;
  }
  ~ProbedLock() {
    if (descriptor_ >= 0) Ops().Close(descriptor_);
  }
  bool Held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

// A leftover found in a directory, and what is known of its writer.
struct Found {
  std::string name;
  Leftover leftover;
  std::int64_t modified = 0;  // seconds since 1970, by the file system's clock
  Writer writer = Writer::Unknown;
  ProbedLock probe;  // held while a gone writer's leftover is dealt with
};

// Where locks hold among all users of the file system (`locksHold`), the writer's lock tells
// whether it runs, in whatever container; a writer of this boot and pid namespace is asked whether
// its process runs; of any other, or one that did not write its origin and takes no lock, nothing
// is known.
void JudgeWriter(const std::string& directory, Found& found, const std::string& run,
                 bool locksHold) {
  if (locksHold && !found.leftover.run.empty()) {
    found.probe = ProbedLock(Ops().ProbeLock(directory + kSeparator + found.name));
    if (found.probe.Held()) {
      found.writer = Writer::Gone;
      return;
    }
    if (errno == EWOULDBLOCK) {
      found.writer = Writer::Running;
      return;
    }
  }
  if (found.leftover.run != run || run == kUnknownRun || found.leftover.pid <= 0) return;
  found.writer =
      Ops().Signal(found.leftover.pid, 0) != 0 && errno == ESRCH ? Writer::Gone : Writer::Running;
}

// Whether a leftover may be taken for abandoned: its writer has gone, or, when nothing tells, the
// file is older than `ageLimit` seconds.
bool Abandoned(const Found& found, std::int64_t now, std::int64_t ageLimit) {
  return found.writer == Writer::Gone ||
         (found.writer == Writer::Unknown && now - found.modified > ageLimit);
}

// Whole seconds since 1970 of a time in nanoseconds, rounded down as the file system's are.
std::int64_t SecondsOf(std::int64_t nanoseconds) {
  constexpr std::int64_t kBillion = 1000000000;
  return nanoseconds / kBillion - (nanoseconds % kBillion < 0 ? 1 : 0);
}

// The leftovers of saves in `directory`; with a `target` name, only those of that name. Their
// times only when `dated`: on SMB, looking at a file opens it, which stops its writer's rename for
// the moment.
std::vector<Found> LeftoversIn(const std::string& directory, const std::string& target,
                               bool dated = false) {
  std::vector<Found> found;
  VisitDirectory(directory, ".*", [&](std::string_view name) {
    std::optional<Leftover> leftover = LeftoverOf(name);
    if (!leftover || (!target.empty() && leftover->target != target)) return;
    Found each;
    each.name = name;
    each.leftover = std::move(*leftover);
    found.push_back(std::move(each));
  });
  for (Found& each : found) {
    FileStatus status;
    if (dated && Ops().LinkStatus(directory + kSeparator + each.name, status) == 0)
      each.modified = SecondsOf(status.modified);
  }
  return found;
}

// The newest complete save among `found` for the file named `target`; null when there is none.
const Found* NewestComplete(const std::vector<Found>& found, const std::string& target) {
  const Found* newest = nullptr;
  for (const Found& each : found)
    if (each.leftover.complete && each.leftover.target == target &&
        (!newest || each.modified > newest->modified))
      newest = &each;
  return newest;
}

// Only a regular file takes the target's place, never a link or folder planted under a complete
// save's name, and never over a file that a newer save put there after the target was seen missing.
bool PutInPlace(const std::string& directory, const Found& complete) {
  const std::string path = directory + kSeparator + complete.name;
  FileStatus status;
  if (Ops().LinkStatus(path, status) != 0 || !status.regular) return false;
  return Ops().RenameNoReplace(path, directory + kSeparator + complete.leftover.target) == 0;
}

// The complete saves of `target` (a path), their writers judged.
std::vector<Found> CompleteSavesOf(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  const bool locksHold = Ops().LocalFileSystem(directory);
  const std::string run = CurrentRun();
  std::vector<Found> found = LeftoversIn(directory, NameOf(target));
  found.erase(std::remove_if(found.begin(), found.end(),
                             [](const Found& each) { return !each.leftover.complete; }),
              found.end());
  for (Found& each : found) JudgeWriter(directory, each, run, locksHold);
  return found;
}

}  // namespace

void SupersedeCompleteSaves(const std::string& target, std::int64_t before) {
  const std::string directory = DirectoryOf(target);
  for (const Found& each : CompleteSavesOf(target)) {
    const std::string path = directory + kSeparator + each.name;
    FileStatus status;
    if (each.writer == Writer::Gone && Ops().LinkStatus(path, status) == 0 &&
        status.modified < before)
      Ops().Unlink(path);
  }
}

namespace {

// The sub-folders of `directory`, links to folders left out.
std::vector<std::string> SubFolders(const std::string& directory) {
  std::vector<std::string> folders;
  Ops().ReadDirectory(directory, [&](std::string_view name, EntryKind kind) {
    if (name == "." || name == ".." || LeftoverOf(name)) return true;
    const std::string path = directory + kSeparator + std::string(name);
    FileStatus status;
    if (kind == EntryKind::Directory ||
        (kind == EntryKind::Unknown && Ops().LinkStatus(path, status) == 0 && status.directory))
      folders.push_back(path);
    return true;
  });
  return folders;
}

// Sub-folders deeper than this are not entered.
constexpr int kDeepestFolder = 8;

void CollectFolders(const std::string& directory, int depth, std::vector<std::string>& folders) {
  folders.push_back(directory);
  if (depth < kDeepestFolder)
    for (const std::string& folder : SubFolders(directory))
      CollectFolders(folder, depth + 1, folders);
}

}  // namespace

bool SaveInFlight(const std::string& target) {
  return !LeftoversIn(DirectoryOf(target), NameOf(target)).empty();
}

bool RestoreInterruptedSave(const std::string& target) {
  if (PathExists(target)) return false;
  const std::string directory = DirectoryOf(target);
  const std::string name = NameOf(target);
  std::vector<Found> found = LeftoversIn(directory, name, true);
  const Found* newest = NewestComplete(found, name);
  if (!newest) return false;
  Found& chosen = found[static_cast<std::size_t>(newest - found.data())];
  JudgeWriter(directory, chosen, CurrentRun(), Ops().LocalFileSystem(directory));
  return chosen.writer != Writer::Running && PutInPlace(directory, chosen);
}

int RetireInterruptedSaves(const std::string& target) {
  const std::string directory = DirectoryOf(target);
  int removed = 0;
  for (const Found& each : CompleteSavesOf(target))
    if (each.writer != Writer::Running && Ops().Unlink(directory + kSeparator + each.name) == 0)
      ++removed;
  return removed;
}

bool ViewMayLag(const std::string& path) { return !Ops().LocalFileSystem(DirectoryOf(path)); }

LoadWait::LoadWait(std::string path)
    : path_(std::move(path)),
      deadline_(std::chrono::steady_clock::now() + kInterruptedSaveWait),
      laggingViewDeadline_(std::chrono::steady_clock::now() + kLaggingViewWait) {}

bool LoadWait::SleepUntil(std::chrono::steady_clock::time_point deadline) {
  if (std::chrono::steady_clock::now() >= deadline) return false;
  std::this_thread::sleep_for(pause_);
  pause_ = std::min(2 * pause_, std::chrono::milliseconds(50));
  return true;
}

bool LoadWait::Again() {
  if (pause_.count() == 0) {
    pause_ = std::chrono::milliseconds(1);
    return true;
  }
  if (std::chrono::steady_clock::now() < deadline_ && SaveInFlight(path_) && SleepUntil(deadline_))
    return true;
  return ViewMayLag(path_) && SleepUntil(laggingViewDeadline_);
}

bool LoadWait::LastTry() {
  if (lastTry_) return false;
  lastTry_ = true;
  if (!PathExists(path_)) RestoreInterruptedSave(path_);
  return true;
}

CleanUp RecoverInterruptedSaves(const std::vector<std::string>& directories,
                                std::int64_t ageLimit) {
  CleanUp done;
  const std::string run = CurrentRun();
  const std::int64_t now = CurrentTime();
  std::vector<std::string> folders;
  for (const std::string& directory : directories) CollectFolders(directory, 0, folders);
  std::vector<std::pair<std::string, std::string>> unsettled;  // folder, target name
  for (const std::string& folder : folders) {
    std::vector<Found> found = LeftoversIn(folder, {}, true);
    const bool locksHold = Ops().LocalFileSystem(folder);
    for (Found& each : found) JudgeWriter(folder, each, run, locksHold);
    // A complete save whose target is missing takes the target's place before anything is
    // removed, so that its content is never removed with the leftovers.
    std::set<std::string> missing, placed;
    for (const Found& each : found)
      if (each.leftover.complete && !PathExists(folder + kSeparator + each.leftover.target))
        missing.insert(each.leftover.target);
    for (const std::string& target : missing) {
      // A running writer puts its own save in place.
      const Found& newest = *NewestComplete(found, target);
      if (newest.writer == Writer::Running) continue;
      if (!Abandoned(newest, now, ageLimit))
        unsettled.emplace_back(folder, target);
      else if (PutInPlace(folder, newest))
        placed.insert(newest.name);
    }
    done.restored += static_cast<int>(placed.size());
    for (const Found& each : found) {
      if (placed.count(each.name) != 0) continue;
      const bool needed =
          each.leftover.complete && !PathExists(folder + kSeparator + each.leftover.target);
      if (Abandoned(each, now, ageLimit) && !needed &&
          Ops().Unlink(folder + kSeparator + each.name) == 0)
        ++done.removed;
      else
        ++done.kept;
    }
  }
  // A live save leaves its target missing for a moment only, where replacing is not atomic; one
  // that stays so is put in place by the newest complete save, whoever wrote it.
  if (unsettled.empty()) return done;
  std::this_thread::sleep_for(kInterruptedSaveWait);
  for (const auto& [folder, target] : unsettled)
    done.restored += RestoreInterruptedSave(folder + kSeparator + target);
  return done;
}

}  // namespace WQPlatform
