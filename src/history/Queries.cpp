#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/History.h>

#include <algorithm>

#include "frame/Files.h"
#include "frame/Repository.h"
#include "history/Git.h"

namespace WQRepos {

namespace {

using namespace history;

std::string Narrow(const std::wstring& text) { return WQCommon::WQWideToNarrowStr(text); }
std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// The record's fields from the trailers of its message.
HistoryRecord RecordOf(const git_commit* commit) {
  HistoryRecord record;
  char id[GIT_OID_HEXSZ + 1];
  git_oid_tostr(id, sizeof id, git_commit_id(commit));
  record.Id = id;
  record.Time = git_commit_time(commit);
  git_message_trailer_array trailers{};
  if (git_message_trailers(&trailers, git_commit_message(commit)) < 0) return record;
  for (std::size_t i = 0; i < trailers.count; ++i) {
    const std::string key = trailers.trailers[i].key;
    const std::string value = trailers.trailers[i].value;
    if (key == "Operation")
      record.Operation = value;
    else if (key == "Item")
      record.Items.push_back(Wide(value));
    else if (key == "User")
      record.User = value;
    else if (key == "Operator")
      record.Operator = value;
    else if (key == "Host")
      record.Host = value;
    else if (key == "Module-Version")
      record.Version = value;
  }
  git_message_trailer_array_free(&trailers);
  return record;
}

// The commit that `record` names in the history `repo`.
Commit FindRecord(git_repository* repo, const std::string& record) {
  git_object* object = nullptr;
  const std::string action =
      "Cannot find the record " + record + " in the history " + HistoryFolder();
  Check(git_revparse_single(&object, repo, record.c_str()), action);
  const Object owned(object);
  git_object* peeled = nullptr;
  Check(git_object_peel(&peeled, object, GIT_OBJECT_COMMIT), action);
  return Commit(reinterpret_cast<git_commit*>(peeled));
}

// The full path of `item`, refused as the kinds refuse the names of what they store.
std::wstring PathOf(const std::wstring& item) {
  const std::string narrow = Narrow(item);
  const std::string top = narrow.substr(0, narrow.find('/'));
  const auto& kept = KeptDirectories();
  const auto kind = std::find(kept.begin(), kept.end(), top);
  static const Config::DirTypes kKinds[] = {Config::AcqMethodDir, Config::EvalMethodDir,
                                            Config::TunesDir,     Config::CalibrationDir,
                                            Config::PrefsDir,     Config::AutotuneDir};
  const auto refused = [&item](const std::wstring&) {
    return "Cannot restore " + Narrow(item) + ": it is no stored item";
  };
  if (kind == kept.end() || top.size() == narrow.size()) throw HistoryError(refused(item));
  return ItemPath(kKinds[kind - kept.begin()], Wide(narrow.substr(top.size() + 1)), L"", refused);
}

}  // namespace

std::wstring QHistoryItem(Config::DirTypes kind, const std::wstring& name,
                          const std::wstring& extension) {
  const std::wstring path = ItemPath(kind, name, extension.c_str(), [](const std::wstring& path) {
    return "Cannot name " + Narrow(path) + " in the history";
  });
  const std::wstring base = theConfig.QHistoryDirectory();
  return path.substr(base.rfind(static_cast<wchar_t>(WQPlatform::kSeparator)) + 1);
}

std::vector<HistoryRecord> QHistoryRecords(const std::wstring& item) {
  std::vector<HistoryRecord> records;
  if (!theConfig.QHistoryEnabled()) return records;
  const Repository repo = OpenHistory(false);
  if (!repo) return records;
  const std::optional<git_oid> tip = BranchTip(repo.get());
  if (!tip) return records;
  git_revwalk* rawWalk = nullptr;
  const std::string action = "Cannot read the history " + HistoryFolder();
  Check(git_revwalk_new(&rawWalk, repo.get()), action);
  const Walk walk(rawWalk);
  Check(git_revwalk_push(rawWalk, &*tip), action);
  git_oid id;
  int result = 0;
  while ((result = git_revwalk_next(&id, rawWalk)) == 0) {
    git_commit* commit = nullptr;
    Check(git_commit_lookup(&commit, repo.get(), &id), action);
    const Commit owned(commit);
    HistoryRecord record = RecordOf(commit);
    if (item.empty() ||
        std::find(record.Items.begin(), record.Items.end(), item) != record.Items.end())
      records.push_back(std::move(record));
  }
  if (result != GIT_ITEROVER) Check(result, action);
  return records;
}

std::optional<std::string> QHistoryContent(const std::wstring& item, const std::string& record) {
  const Repository repo = OpenHistory(false);
  if (!repo)
    throw HistoryError("Cannot find the record " + record + ": there is no history " +
                       HistoryFolder());
  const Commit commit = FindRecord(repo.get(), record);
  git_tree* rawTree = nullptr;
  Check(git_commit_tree(&rawTree, commit.get()), "Cannot read the record " + record);
  const Tree tree(rawTree);
  git_tree_entry* rawEntry = nullptr;
  if (git_tree_entry_bypath(&rawEntry, rawTree, Narrow(item).c_str()) != 0) return std::nullopt;
  const TreeEntry entry(rawEntry);
  if (git_tree_entry_type(rawEntry) != GIT_OBJECT_BLOB) return std::nullopt;
  git_blob* rawBlob = nullptr;
  Check(git_blob_lookup(&rawBlob, repo.get(), git_tree_entry_id(rawEntry)),
        "Cannot read " + Narrow(item) + " at the record " + record);
  const Blob blob(rawBlob);
  return std::string(static_cast<const char*>(git_blob_rawcontent(rawBlob)),
                     static_cast<std::size_t>(git_blob_rawsize(rawBlob)));
}

void RestoreHistoryItem(const std::wstring& item, const std::string& record) {
  const std::wstring path = PathOf(item);
  const std::optional<std::string> content = QHistoryContent(item, record);
  if (!content)
    throw HistoryError("Cannot restore " + Narrow(item) + ": it was not stored at the record " +
                       record);
  const ScopedHistoryOperation restore("restore");
  SaveFile(path, "Cannot restore " + Narrow(item),
           [&content](std::ostream& out) { out << *content; });
}

}  // namespace WQRepos
