// wqrepos check: every file stored under the data directory read with the module's own readers,
// without writing anything: the configuration is read without creating the directory tree, and
// the temporary files of interrupted saves are reported, not removed.
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>
#include <log4cxx/logger.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

using WQRepos::Config;

// NotChecked is a folder that the walk could not enter: what lies in it is unknown.
enum class Outcome { Ok, Failed, Unrecognised, Temporary, NotChecked };

struct FileResult {
  std::string path;
  Outcome outcome;
  std::string message;  // the reader's error of a failed file, why a folder was not checked
};

// Reads one stored file: its full path, and the name that the module calls it by.
using Reader = std::function<void(const std::string& path, const std::wstring& item)>;

// Sub-folders deeper than this are not entered, and are reported as not checked.
constexpr int kDeepestFolder = 8;

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// The reader of a stored kind: the module's strict one, or the tool's where the tool holds the
// kind's records to rules of its own (the fields of methods and preferences, the autotune settings
// wherever their document keeps them).
Reader ReaderOf(const WQRepos::StoredKind& kind) {
  if (kind.Name == "method")
    return [](const std::string& path, const std::wstring&) {
      CheckRules(WQRepos::LoadFullyQualifiedAcqMethod(Wide(path)));
    };
  if (kind.Name == "autotune_xml")
    return [](const std::string& path, const std::wstring&) { ReadAutotuneSettings(path); };
  if (const std::string preference = Narrow(kind.ItemOf(kind.File));
      kind.Directory == Config::PrefsDir && IsKnownPreference(preference))
    return [preference](const std::string& path, const std::wstring&) {
      ReadPreferenceStrictly(preference, path);
    };
  return [&kind](const std::string& path, const std::wstring& item) {
    kind.ReadStrictly(Wide(path), item);
  };
}

FileResult Read(const Reader& reader, const std::string& path, const std::wstring& item) {
  try {
    reader(path, item);
    return {path, Outcome::Ok, ""};
  } catch (const WQCommon::XMLResultException& error) {
    return {path, Outcome::Failed, "lacks the element " + Narrow(error.Message)};
  } catch (const std::exception& error) {
    return {path, Outcome::Failed, Described(error)};
  }
}

// The data and log folders hold runs, exports and logs, which are no stored records: only the
// temporary files of interrupted saves are looked for there.
bool HoldsRecords(Config::DirTypes kind) {
  return kind != Config::DataDir && kind != Config::LogDir;
}

void Walk(Config::DirTypes kind, const std::string& directory, const std::string& prefix, int depth,
          std::vector<FileResult>& results, Progress& progress) {
  std::vector<std::string> entries;
  if (!WQPlatform::VisitDirectory(directory, "*", [&entries](std::string_view entry) {
        if (entry != "." && entry != "..") entries.emplace_back(entry);
      })) {
    results.push_back({directory, Outcome::NotChecked, "the folder cannot be listed"});
    return;
  }
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    const std::string path = directory + WQPlatform::kSeparator + entry;
    const std::string name = prefix + entry;
    if (WQPlatform::IsTemporaryName(entry)) {
      results.push_back({path, Outcome::Temporary, ""});
    } else if (WQPlatform::IsDirectory(path)) {
      // A linked folder may lead back into the tree, or anywhere: it is reported, not walked.
      if (WQPlatform::IsSymbolicLink(path)) {
        results.push_back({path, Outcome::Unrecognised, ""});
      } else if (depth < kDeepestFolder) {
        Walk(kind, path, name + "/", depth + 1, results, progress);
      } else {
        results.push_back({path, Outcome::NotChecked,
                           "the folder lies deeper than " + std::to_string(kDeepestFolder) +
                               " folders in its repository directory"});
      }
    } else if (!HoldsRecords(kind)) {
      continue;
    } else if (const WQRepos::StoredKind* stored = WQRepos::FindStoredKind(kind, Wide(name))) {
      results.push_back(Read(ReaderOf(*stored), path, stored->ItemOf(Wide(name))));
      progress.Show(results.size(), 0);
    } else {
      results.push_back({path, Outcome::Unrecognised, ""});
    }
  }
}

std::vector<FileResult> CheckAll(const Config& config) {
  std::vector<FileResult> results;
  Progress progress("Checking");
  for (int kind = Config::AcqMethodDir; kind <= Config::AutotuneDir; ++kind) {
    const auto type = static_cast<Config::DirTypes>(kind);
    // A repository directory not made yet holds nothing.
    const std::string directory = Narrow(config.QDirectory(type));
    if (WQPlatform::PathExists(directory)) Walk(type, directory, "", 0, results, progress);
  }
  return results;
}

std::size_t CountOf(const std::vector<FileResult>& results, Outcome outcome) {
  return static_cast<std::size_t>(
      std::count_if(results.begin(), results.end(),
                    [outcome](const FileResult& result) { return result.outcome == outcome; }));
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Ok:
      return "ok";
    case Outcome::Failed:
      return "failed";
    case Outcome::Unrecognised:
      return "not recognised";
    case Outcome::Temporary:
      return "temporary";
    default:
      return "not checked";
  }
}

std::string LineText(const FileResult& result) {
  switch (result.outcome) {
    case Outcome::Ok:
      return "ok";
    case Outcome::Failed:
      return result.message;
    case Outcome::Unrecognised:
      return "not a file that the module stores here";
    case Outcome::Temporary:
      return "temporary file left by an interrupted save";
    default:
      return "not checked: " + result.message;
  }
}

// True for the outcomes that make the check fail.
bool Fails(Outcome outcome) { return outcome == Outcome::Failed || outcome == Outcome::NotChecked; }

// A line for each file and a summary; with --quiet only the failures and, when there are any, the
// summary, so that a script's quiet check prints nothing when all is well.
Json HistoryJson(const WQRepos::HistoryVerification& history) {
  Json unrecorded = Json::array();
  for (const std::wstring& item : history.Unrecorded) unrecorded.push_back(Narrow(item));
  return {{"enabled", history.Enabled}, {"damage", history.Damage}, {"unrecorded", unrecorded}};
}

void PrintText(const std::vector<FileResult>& results) {
  const bool failed = std::any_of(results.begin(), results.end(),
                                  [](const FileResult& result) { return Fails(result.outcome); });
  if (Quiet() && !failed) return;
  for (const FileResult& result : results)
    if (!Quiet() || Fails(result.outcome))
      std::cout << Shown(result.path) << ": " << Shown(LineText(result)) << '\n';
  std::cout << "Checked " << CountOf(results, Outcome::Ok) + CountOf(results, Outcome::Failed)
            << " stored files: " << CountOf(results, Outcome::Ok) << " ok, "
            << CountOf(results, Outcome::Failed) << " failed; "
            << CountOf(results, Outcome::Unrecognised) << " not recognised, "
            << CountOf(results, Outcome::Temporary) << " temporary";
  if (const std::size_t notChecked = CountOf(results, Outcome::NotChecked))
    std::cout << "; " << notChecked << " folder(s) not checked";
  std::cout << std::endl;
}

// A network client may list a folder as it remembers it: what another workstation saved or left
// there a moment ago may be missing from the check, which writes nothing that would refresh it.
void NoteLaggingListings(const std::wstring& base) {
  const std::string directory = Narrow(base);
  if (Quiet() || !WQPlatform::ViewMayLag(directory + WQPlatform::kSeparator + ".")) return;
  std::cout << "Note: " << Shown(directory)
            << " is not on a local file system; its listings may leave out what another "
               "workstation did there in the last moments (sshfs: 20 s, unless mounted with -o "
               "dir_cache=no)"
            << std::endl;
}

void PrintJsonReport(const std::wstring& base, const std::vector<FileResult>& results,
                     const WQRepos::HistoryVerification& history) {
  Json files = Json::array();
  for (const FileResult& result : results) {
    Json file{{"path", result.path}, {"result", OutcomeName(result.outcome)}};
    if (!result.message.empty()) file["message"] = result.message;
    files.push_back(file);
  }
  PrintJson({{"baseDirectory", Narrow(base)},
             {"files", files},
             {"summary",
              {{"ok", CountOf(results, Outcome::Ok)},
               {"failed", CountOf(results, Outcome::Failed)},
               {"notRecognised", CountOf(results, Outcome::Unrecognised)},
               {"temporary", CountOf(results, Outcome::Temporary)},
               {"notChecked", CountOf(results, Outcome::NotChecked)}}},
             {"history", HistoryJson(history)}});
}

void Check(bool json) {
  // Initialize() would create missing folders and remove the temporary files reported here.
  WQRepos::ReadConfiguration();
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  Config config;
  config.Read();
  CheckBaseDirectory(config);
  const std::vector<FileResult> results = CheckAll(config);
  const WQRepos::HistoryVerification history = WQRepos::VerifyHistory();
  if (json) {
    PrintJsonReport(BaseDirectory(config), results, history);
  } else {
    PrintText(results);
    PrintHistoryVerification(history, Quiet());
    NoteLaggingListings(BaseDirectory(config));
  }
  // A folder that could not be looked at may hold what cannot be read: neither is ok.
  std::string faults;
  if (const std::size_t failed = CountOf(results, Outcome::Failed))
    faults = std::to_string(failed) + " stored file(s) cannot be read";
  if (const std::size_t notChecked = CountOf(results, Outcome::NotChecked))
    faults += (faults.empty() ? "" : "; ") + std::to_string(notChecked) + " folder(s) not checked";
  // Files that differ from their last record are taken in by the next record: no fault.
  if (!history.Damage.empty())
    faults +=
        (faults.empty() ? "" : "; ") + std::string("the history is damaged: ") + history.Damage;
  if (!faults.empty()) throw std::runtime_error(faults);
}

}  // namespace

void AddCheckCommand(CLI::App& app) {
  auto* check = app.add_subcommand(
      "check",
      "Read every file stored under the data directory with the module's own readers, writing "
      "nothing, and print a line for each: ok or the reader's error; files that the module does "
      "not store where they lie; temporary files left by an interrupted save (the data and log "
      "folders are searched for these only); and folders it could not look into (one it may not "
      "list, or one more than 8 folders down). Ends with a summary, and exit code 1 when any "
      "stored file cannot be read or any folder was not checked. The history of the stored items "
      "is "
      "verified too (history --verify): a damaged history repository fails the check; files that "
      "differ from their last record are listed, as the next record takes them in.");
  check->callback([json = AddJsonFlag(*check)] { Check(*json); });
}

}  // namespace wqtool
