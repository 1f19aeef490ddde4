#include <WQPlatform/Platform.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "history/Git.h"

namespace WQRepos::history {

namespace {

namespace fs = std::filesystem;

// git's own threshold: about this many loose objects make a pack worth writing.
constexpr std::size_t kLooseLimit = 6700;

// The ids and files of the loose objects of the object folder `objects`.
struct Loose {
  std::vector<git_oid> ids;
  std::vector<fs::path> files;
};

Loose LooseObjects(const fs::path& objects) {
  Loose loose;
  std::error_code error;
  for (const fs::directory_entry& folder : fs::directory_iterator(objects, error)) {
    const std::string fan = folder.path().filename().string();
    if (fan.size() != 2 || !folder.is_directory(error)) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path(), error)) {
      const std::string hex = fan + file.path().filename().string();
      git_oid id;
      if (hex.size() != GIT_OID_HEXSZ || git_oid_fromstr(&id, hex.c_str()) < 0) continue;
      loose.ids.push_back(id);
      loose.files.push_back(file.path());
    }
  }
  return loose;
}

// True when the loose objects are likely above kLooseLimit, from one of the 256 folders they
// spread over, as git estimates it.
bool ManyLooseObjects(const fs::path& objects) {
  std::error_code error;
  std::size_t count = 0;
  for (fs::directory_iterator file(objects / "17", error), end; !error && file != end;
       file.increment(error))
    ++count;
  return count * 256 > kLooseLimit;
}

}  // namespace

void PackLooseObjects(git_repository* repo) {
  const fs::path objects = fs::path(git_repository_path(repo)) / "objects";
  if (!ManyLooseObjects(objects)) return;
  const Loose loose = LooseObjects(objects);
  git_packbuilder* builder = nullptr;
  if (git_packbuilder_new(&builder, repo) < 0) return;
  git_packbuilder_set_threads(builder, 1);
  bool packed = true;
  for (const git_oid& id : loose.ids)
    packed = packed && git_packbuilder_insert(builder, &id, nullptr) == 0;
  // The pack and its index are synced before a loose object goes: each object is always somewhere.
  packed = packed &&
           git_packbuilder_write(builder, (objects / "pack").c_str(), 0, nullptr, nullptr) == 0;
  git_packbuilder_free(builder);
  if (!packed) return;
  std::error_code error;
  // The emptied folders stay, for the objects of the next records.
  for (const fs::path& file : loose.files) fs::remove(file, error);
}

bool OlderThanBranch(git_repository* repo, const std::string& name, std::int64_t margin) {
  const std::string folder = git_repository_path(repo);
  const auto file = WQPlatform::PathLinkStatus(folder + name);
  const auto branch = WQPlatform::PathLinkStatus(folder + kBranch);
  return file && branch && branch->modified - file->modified > margin;
}

void RemoveLeftovers(git_repository* repo) {
  // libgit2 names them "<kind>_git2_<random>": loose objects in the object folder, packs in its
  // pack folder; an index of a pack is written beside its final name with ".lock" added.
  constexpr std::int64_t kMinute = 60'000'000'000;
  const std::string folder = git_repository_path(repo);
  for (const auto& [subfolder, pattern] :
       {std::pair{"objects/", "tmp_object_git2_*"}, std::pair{"objects/pack/", "pack_git2_*"},
        std::pair{"objects/pack/", "*.lock"}}) {
    for (const std::string& name : WQPlatform::ListDirectory(folder + subfolder, pattern))
      if (OlderThanBranch(repo, std::string(subfolder) + name, kMinute))
        WQPlatform::RemoveFile(folder + subfolder + name);
  }
}

}  // namespace WQRepos::history
