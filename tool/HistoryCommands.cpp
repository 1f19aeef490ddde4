// history, diff and restore: the records that the module keeps of every change to a stored item,
// the fields that changed between two of them, and an item put back as a record left it.
#include <WQCommon/Binary.h>
#include <WQCommon/Calendar.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>

#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

using WQRepos::Config;

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// A file of version 1 holding a counted list of `Element`, and nothing after it.
template <typename Element>
std::vector<Element> ReadListFile(const std::string& path) {
  const std::optional<std::string> content = WQPlatform::ReadFile(path);
  if (!content) throw std::runtime_error("Cannot read " + path);
  WQCommon::BinaryReader reader(content->data(), content->size());
  std::uint32_t version = 0;
  reader >> version;
  if (version != 1) throw std::runtime_error("unknown file version " + std::to_string(version));
  std::vector<Element> list = WQCommon::ReadCountedList<Element>(reader);
  reader.RequireEnd();
  return list;
}

Json SystemConfigurationJson(const std::string& path) {
  WQCommon::XMLParser parser;
  if (!parser.LoadFile(Wide(path))) throw std::runtime_error("not well-formed XML");
  WQRepos::SystemConfiguration configuration;
  configuration.Serialize(parser);
  return ToJson(configuration);
}

// A kind of stored item as the history commands name it: the command family's word, the kind of
// the catalogue or the group of its kinds that it stands for, and how show --json reads one of its
// files into fields.
struct HistoryKind {
  std::string word;
  std::string stored;  // a StoredKind's Name, or the Group of several
  // The JSON of the record in the file `path`, stored as `name`.
  Json (*json)(const std::string& path, const std::string& name);

  // The catalogue's kind, the first of the group for a group: its directory and extension are the
  // group's.
  const WQRepos::StoredKind& Stored() const {
    for (const WQRepos::StoredKind& kind : WQRepos::StoredKinds())
      if (kind.Name == stored || kind.Group == stored) return kind;
    throw std::logic_error("No stored kind or group is called " + stored);
  }
  // The one file of a kind stored once, without its extension ("SystemConfiguration"); empty for
  // a kind or group of named items.
  std::string File() const {
    const WQRepos::StoredKind& kind = Stored();
    return kind.Group.empty()
               ? Narrow(kind.File.substr(0, kind.File.size() - kind.Extension.size()))
               : "";
  }
};

const std::vector<HistoryKind>& HistoryKinds() {
  static const std::vector<HistoryKind> kinds{
      {"methods", "method",
       [](const std::string& path, const std::string&) {
         return ToJson(WQRepos::LoadStoredAcqMethodFile(Wide(path)));
       }},
      {"tunes", "tune",
       [](const std::string& path, const std::string&) {
         return ToJson(WQRepos::LoadFullyQualifiedTune(Wide(path)));
       }},
      {"eval", "spectrum_eval",
       [](const std::string& path, const std::string&) {
         return ToJson(EvalMethodDocument{ReadListFile<WQBL::CurveEval>(path)});
       }},
      {"eval --ic", "ic_eval",
       [](const std::string& path, const std::string&) {
         return ToJson(EvalMethodDocument{ReadListFile<WQBL::CurveEval>(path)});
       }},
      {"prefs", "preference",
       [](const std::string& path, const std::string& name) {
         return PreferenceFileJson(name, path);
       }},
      {"autotune", "autotune_xml",
       [](const std::string& path, const std::string&) {
         return ToJson(ReadAutotuneDocument(path));
       }},
      {"sysconfig", "system_configuration",
       [](const std::string& path, const std::string&) { return SystemConfigurationJson(path); }},
      {"refcals", "ref_cals", [](const std::string& path, const std::string&) {
         return ToJson(CalibrantsDocument{ReadListFile<WQRepos::RefCal>(path)});
       }}};
  return kinds;
}

std::string KindWords() {
  std::string words;
  for (const HistoryKind& kind : HistoryKinds())
    if (kind.word.find(' ') == std::string::npos) words += (words.empty() ? "" : ", ") + kind.word;
  return words;
}

const HistoryKind& FindKind(const std::string& word, bool ic) {
  for (const HistoryKind& kind : HistoryKinds())
    if (kind.word == (ic && word == "eval" ? "eval --ic" : word)) return kind;
  throw std::runtime_error("no kind of stored item is called " + word + "; the kinds are " +
                           KindWords());
}

// The words after KIND: the name, unless the kind has one file only, then the revisions.
struct ItemWords {
  const HistoryKind* kind = nullptr;
  std::string name;
  std::vector<std::string> rest;
};

ItemWords ParseItem(const std::vector<std::string>& words, bool ic, bool nameRequired) {
  ItemWords parsed;
  if (words.empty()) return parsed;
  parsed.kind = &FindKind(words.front(), ic);
  std::size_t next = 1;
  if (const std::string file = parsed.kind->File(); !file.empty()) {
    parsed.name = file;
  } else if (words.size() > 1) {
    parsed.name = words[1];
    next = 2;
  } else if (nameRequired) {
    throw std::runtime_error("give the name of the stored item of " + parsed.kind->word);
  }
  parsed.rest.assign(words.begin() + static_cast<long>(next), words.end());
  return parsed;
}

std::wstring ItemOf(const ItemWords& words) {
  InitializedConfig();
  const WQRepos::StoredKind& stored = words.kind->Stored();
  return WQRepos::QHistoryItem(stored.Directory, Wide(words.name), stored.Extension);
}

// True when `item` is a file of `kind`: in its directory, and one of its files; for a group, any
// file of its directory with its extension.
bool OfKind(const std::wstring& item, const HistoryKind& kind) {
  const WQRepos::StoredKind& stored = kind.Stored();
  const std::wstring directory = UncheckedConfig().QDirectory(stored.Directory);
  const std::wstring top = directory.substr(directory.rfind(L'/') + 1) + L"/";
  if (item.compare(0, top.size(), top) != 0) return false;
  const std::wstring name = item.substr(top.size());
  if (stored.Group.empty()) return stored.Holds(name);
  return name.size() > stored.Extension.size() &&
         name.compare(name.size() - stored.Extension.size(), stored.Extension.size(),
                      stored.Extension) == 0;
}

void PrintRecords(const std::vector<WQRepos::HistoryRecord>& records, bool json) {
  if (json) {
    Json list = Json::array();
    for (const WQRepos::HistoryRecord& record : records) {
      Json items = Json::array();
      for (const std::wstring& item : record.Items) items.push_back(Narrow(item));
      list.push_back(Json{{"id", record.Id},
                          {"time", WQCommon::IsoUtcTime(record.Time)},
                          {"user", record.User},
                          {"operator", record.Operator},
                          {"host", record.Host},
                          {"operation", record.Operation},
                          {"items", items},
                          {"version", record.Version}});
    }
    PrintJson(list);
    return;
  }
  if (records.empty()) std::cout << "No records.\n";
  for (const WQRepos::HistoryRecord& record : records) {
    std::string items;
    for (const std::wstring& item : record.Items) items += " " + Shown(item);
    std::cout << record.Id.substr(0, 12) << "  " << WQCommon::IsoUtcTime(record.Time) << "  "
              << Shown(record.User) << "  "
              << Shown(record.Operator.empty() ? "-" : record.Operator) << "  "
              << Shown(record.Host) << "  " << record.Operation << items << '\n';
  }
}

}  // namespace

bool PrintHistoryVerification(const WQRepos::HistoryVerification& verification, bool quiet) {
  const std::string folder = Narrow(UncheckedConfig().QHistoryDirectory());
  if (!verification.Enabled) {
    if (!quiet) std::cout << "The history is off (ConfigClient.xml).\n";
    return true;
  }
  if (!verification.Damage.empty())
    std::cout << "History " << Shown(folder) << ": damaged: " << Shown(verification.Damage) << '\n';
  if (!quiet) {
    for (const std::wstring& item : verification.Unrecorded)
      std::cout << "History " << Shown(folder) << ": " << Shown(item)
                << " differs from its last record (the next record takes it in)\n";
    if (verification.Whole()) std::cout << "History " << Shown(folder) << ": whole\n";
  }
  return verification.Whole();
}

namespace {

// The JSON of `item` as `bytes` hold it; null when the item was not stored.
Json JsonOf(const ItemWords& words, const std::optional<std::string>& bytes) {
  if (!bytes) return nullptr;
  const WQPlatform::TemporaryFile file([&bytes](std::ostream& out) { out << *bytes; });
  return words.kind->json(file.Path(), words.name);
}

// Adds a line per field that differs between `before` and `after`, under `path`.
void DiffFields(const Json& before, const Json& after, const std::string& path,
                std::vector<std::string>& lines) {
  if (before == after) return;
  // An item not stored on one side: each of its fields is added or removed.
  const bool objects =
      (before.is_object() || before.is_null()) && (after.is_object() || after.is_null());
  if (objects && (before.is_object() || after.is_object())) {
    const Json none = Json::object();
    const Json& from = before.is_null() ? none : before;
    const Json& to = after.is_null() ? none : after;
    for (const auto& [key, value] : from.items())
      DiffFields(value, to.contains(key) ? to.at(key) : Json(), path + "/" + key, lines);
    for (const auto& [key, value] : to.items())
      if (!from.contains(key)) DiffFields(Json(), value, path + "/" + key, lines);
    return;
  }
  if (before.is_array() && after.is_array()) {
    for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i)
      DiffFields(i < before.size() ? before[i] : Json(), i < after.size() ? after[i] : Json(),
                 path + "/" + std::to_string(i), lines);
    return;
  }
  const std::string where = path.empty() ? "/" : path;
  if (before.is_null())
    lines.push_back("+ " + where + ": " + after.dump());
  else if (after.is_null())
    lines.push_back("- " + where + ": " + before.dump());
  else
    lines.push_back("~ " + where + ": " + before.dump() + " -> " + after.dump());
}

// The bytes of `item` at `revision`, or as stored now for "".
std::optional<std::string> BytesAt(const std::wstring& item, const std::string& revision) {
  if (!revision.empty()) return WQRepos::QHistoryContent(item, revision);
  const std::string path = Narrow(UncheckedConfig().QHistoryDirectory());
  return WQPlatform::ReadFile(path.substr(0, path.rfind('/') + 1) + Narrow(item));
}

void Diff(const ItemWords& words) {
  if (words.rest.size() > 2) throw std::runtime_error("diff takes two records at most");
  const std::wstring item = ItemOf(words);
  std::string older;
  std::string newer;
  if (words.rest.empty()) {
    // The item's last change: its record before the last, and the last.
    const std::vector<WQRepos::HistoryRecord> records = WQRepos::QHistoryRecords(item);
    if (records.empty()) throw std::runtime_error("no record of " + Narrow(item));
    newer = records[0].Id;
    if (records.size() > 1) older = records[1].Id;
  } else {
    older = words.rest[0];
    if (words.rest.size() > 1) newer = words.rest[1];
  }
  const std::optional<std::string> before =
      older.empty() && words.rest.empty() ? std::nullopt : BytesAt(item, older);
  std::vector<std::string> lines;
  DiffFields(JsonOf(words, before), JsonOf(words, BytesAt(item, newer)), "", lines);
  if (lines.empty()) std::cout << "No field differs.\n";
  for (const std::string& line : lines) std::cout << Shown(line) << '\n';
}

}  // namespace

void AddHistoryCommands(CLI::App& app) {
  struct Options {
    std::vector<std::string> words;
    bool ic = false;
    bool verify = false;
  };
  const std::string kinds = "KIND is one of " + KindWords() +
                            " (sysconfig and refcals take no NAME; --ic for ion-chromatogram "
                            "evaluation methods).";

  auto history = std::make_shared<Options>();
  auto* show = app.add_subcommand(
      "history",
      "List the records of the history of the stored items, newest first: record id, time (UTC), "
      "user, operator, host, operation and items. Every change made through the module is a "
      "record in the git repository History of the data directory; with KIND, the records of "
      "that kind, with NAME those of one item. " +
          kinds +
          " --verify checks instead that the repository is whole and every stored file "
          "equals its last record.");
  show->add_option("words", history->words, "KIND [NAME]")->expected(0, 2);
  show->add_flag("--ic", history->ic, "An ion-chromatogram evaluation method (.iem)");
  show->add_flag("--verify", history->verify,
                 "Check the repository and the stored files against it; exit 1 unless whole");
  show->callback([history, json = AddJsonFlag(*show)] {
    InitializedConfig();
    if (history->verify) {
      if (!PrintHistoryVerification(WQRepos::VerifyHistory(), Quiet()))
        throw std::runtime_error("the history is not whole");
      return;
    }
    const ItemWords words = ParseItem(history->words, history->ic, false);
    std::vector<WQRepos::HistoryRecord> records =
        WQRepos::QHistoryRecords(words.kind && !words.name.empty() ? ItemOf(words) : L"");
    if (words.kind && words.name.empty()) {
      std::vector<WQRepos::HistoryRecord> ofKind;
      for (WQRepos::HistoryRecord& record : records)
        for (const std::wstring& item : record.Items)
          if (OfKind(item, *words.kind)) {
            ofKind.push_back(std::move(record));
            break;
          }
      records = std::move(ofKind);
    }
    PrintRecords(records, *json);
  });

  auto compared = std::make_shared<Options>();
  auto* diff = app.add_subcommand(
      "diff",
      "Show the fields of a stored item that differ between two records, through the JSON that "
      "show --json prints: without REV the item's last change, with one REV from that record to "
      "the stored file, with two from the first to the second. A line per field: ~ changed, "
      "+ added, - removed. " +
          kinds);
  diff->add_option("words", compared->words, "KIND [NAME] [REV [REV]]")->required();
  diff->add_flag("--ic", compared->ic, "An ion-chromatogram evaluation method (.iem)");
  diff->callback([compared] { Diff(ParseItem(compared->words, compared->ic, true)); });

  auto restored = std::make_shared<Options>();
  auto* restore = app.add_subcommand(
      "restore",
      "Store the stored item again as the record REV left it, recorded as a restore. " + kinds);
  restore->add_option("words", restored->words, "KIND [NAME] REV")->required();
  restore->add_flag("--ic", restored->ic, "An ion-chromatogram evaluation method (.iem)");
  restore->callback([restored] {
    const ItemWords words = ParseItem(restored->words, restored->ic, true);
    if (words.rest.size() != 1) throw std::runtime_error("restore takes one record, REV");
    const std::wstring item = ItemOf(words);
    WQRepos::RestoreHistoryItem(item, words.rest[0]);
    Say("Restored " + Shown(item) + " as the record " + words.rest[0] + " left it");
  });
}

}  // namespace wqtool
