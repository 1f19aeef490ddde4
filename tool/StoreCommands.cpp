// import, delete, copy and rename of the named kinds (methods, tunes, evaluation methods), and the
// reading of the JSON that every import takes.
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>

#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// The whole content of the file at `path`; throws std::runtime_error naming it and the reason
// when it cannot be read.
std::string FileContent(const std::string& path) {
  std::optional<std::string> content = WQPlatform::ReadFile(path);
  if (!content) {
    throw std::runtime_error("Cannot read " + path + ": " +
                             WQPlatform::UnreadableReason(path).value_or("it cannot be read"));
  }
  return std::move(*content);
}

// Refuses a rename of `from` to `to` in a folder that does not exist, which the system would
// report as if `from` were missing.
void CheckFolderOf(const NamedKind& kind, const std::string& from, const std::string& to) {
  const std::string file = ItemFile(kind.stored, Wide(to));
  const std::string folder = file.substr(0, file.find_last_of(WQPlatform::kSeparator));
  if (!WQPlatform::IsDirectory(folder))
    throw std::runtime_error("cannot rename the " + kind.noun + " " + Shown(from) + " to " +
                             Shown(to) + ": " + Shown(folder) + ": no such folder");
}

// A folder deeper than this is not searched for records, as check does not search it.
constexpr int kDeepestFolder = 8;

// Adds to `names` the records of `kind` in `directory` and its folders, named from the
// repository directory ("Old/Scan"). A linked folder may lead anywhere: it is not followed.
void AddNamesUnder(const WQRepos::StoredKind& kind, const std::string& directory,
                   const std::string& prefix, int depth, std::vector<std::wstring>& names) {
  std::vector<std::string> entries;
  WQPlatform::VisitDirectory(directory, "*", [&entries](std::string_view entry) {
    if (entry != "." && entry != ".." && !WQPlatform::IsTemporaryName(std::string(entry)))
      entries.emplace_back(entry);
  });
  for (const std::string& entry : entries) {
    const std::string path = directory + WQPlatform::kSeparator + entry;
    if (WQPlatform::IsDirectory(path)) {
      if (!WQPlatform::IsSymbolicLink(path) && depth < kDeepestFolder)
        AddNamesUnder(kind, path, prefix + entry + "/", depth + 1, names);
    } else if (kind.Holds(Wide(entry))) {
      names.push_back(kind.ItemOf(Wide(prefix + entry)));
    }
  }
}

}  // namespace

std::vector<std::wstring> StoredNames(const NamedKind& kind, const std::string& contents) {
  std::vector<std::wstring> names;
  AddNamesUnder(kind.stored, Narrow(ListableDirectory(kind.stored.Directory, contents)), "", 0,
                names);
  return names;
}

JsonInput ReadJsonInput(const std::string& file) {
  if (file == "-") {
    std::string text;
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
      text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
      if (text.size() > WQPlatform::kDocumentSizeLimit)
        throw std::runtime_error("standard input: larger than any record's JSON can be");
    }
    return {ParseJson(text, "standard input"), "standard input"};
  }
  RefuseStreamOnlyFile(file);
  return {ParseJson(FileContent(file), file), file};
}

std::string ItemFile(const WQRepos::StoredKind& kind, const std::wstring& name) {
  InitializedConfig();
  return Narrow(WQRepos::QItemPath(kind.Directory, name, kind.Extension));
}

namespace {

const NamedKind kMethods{
    "acquisition method",
    WQRepos::StoredKindNamed("method"),
    [](const std::wstring& name) { return ToJson(WQRepos::LoadStoredAcqMethod(name)); },
    [](const std::wstring& name, const JsonInput& input) {
      WQRepos::SaveAcqMethod(name, ReadRecord<WQBL::Method>(input.json, input.source));
    },
    WQRepos::AcqMethodExists,
    WQRepos::DeleteAcqMethod,
    WQRepos::RenameAcqMethod};

const NamedKind kTunes{"tune",
                       WQRepos::StoredKindNamed("tune"),
                       [](const std::wstring& name) { return ToJson(WQRepos::LoadTune(name)); },
                       [](const std::wstring& name, const JsonInput& input) {
                         WQRepos::SaveTune(name, ReadRecord<WQBL::Tune>(input.json, input.source));
                       },
                       WQRepos::TuneExists,
                       WQRepos::DeleteTune,
                       WQRepos::RenameTune};

// What to say when the method `name` of one family is missing but one of the other is stored.
std::string OtherFamilyHint(const std::wstring& name, bool ic) {
  if (!(ic ? WQRepos::SpectrumEvalMethodExists : WQRepos::ICEvalMethodExists)(name)) return "";
  return std::string("; ") + Narrow(name) + " is stored as " +
         (ic ? "a spectrum method: leave out --ic" : "an ion-chromatogram method: add --ic");
}

std::vector<WQBL::CurveEval> LoadEvalMethod(const std::wstring& name, bool ic) {
  try {
    return (ic ? WQRepos::LoadICEvalMethod : WQRepos::LoadSpectrumEvalMethod)(name);
  } catch (const WQRepos::FileError& error) {
    throw std::runtime_error(Described(error) + OtherFamilyHint(name, ic));
  }
}

// The module's deletion of evaluation methods says only whether it removed the file.
void DeleteEvalMethod(const std::wstring& name, bool ic) {
  if ((ic ? WQRepos::DeleteICEvalMethod : WQRepos::DeleteSpectrumEvalMethod)(name)) return;
  const bool exists = (ic ? WQRepos::ICEvalMethodExists : WQRepos::SpectrumEvalMethodExists)(name);
  throw std::runtime_error(
      "cannot delete the " + std::string(ic ? "ion-chromatogram" : "spectrum") +
      " evaluation method " + Narrow(name) + ": " +
      (exists ? "the file cannot be removed" : "no such method") + OtherFamilyHint(name, ic));
}

const NamedKind kSpectrumEvalMethods{
    "spectrum evaluation method",
    WQRepos::StoredKindNamed("spectrum_eval"),
    [](const std::wstring& name) {
      return ToJson(EvalMethodDocument{LoadEvalMethod(name, false)});
    },
    [](const std::wstring& name, const JsonInput& input) {
      WQRepos::SaveSpectrumEvalMethod(
          name, ReadRecord<EvalMethodDocument>(input.json, input.source).Steps);
    },
    WQRepos::SpectrumEvalMethodExists,
    [](const std::wstring& name) { DeleteEvalMethod(name, false); },
    WQRepos::RenameSpectrumEvalMethod};

const NamedKind kICEvalMethods{
    "ion-chromatogram evaluation method",
    WQRepos::StoredKindNamed("ic_eval"),
    [](const std::wstring& name) { return ToJson(EvalMethodDocument{LoadEvalMethod(name, true)}); },
    [](const std::wstring& name, const JsonInput& input) {
      WQRepos::SaveICEvalMethod(name,
                                ReadRecord<EvalMethodDocument>(input.json, input.source).Steps);
    },
    WQRepos::ICEvalMethodExists,
    [](const std::wstring& name) { DeleteEvalMethod(name, true); },
    WQRepos::RenameICEvalMethod};

// The names that a command works on, and its flags.
struct Arguments {
  std::string name;
  std::string other;  // TO of copy and rename, FILE of import
  bool ic = false;
  bool force = false;
};

// Refuses to replace `to` unless forced.
void CheckReplaceable(const NamedKind& kind, const std::wstring& to, bool force) {
  if (!force && kind.exists(to)) {
    throw std::runtime_error("cannot replace the " + kind.noun + " " + Narrow(to) +
                             ": it exists (--force replaces it)");
  }
}

// Stores the file of `from`, as it is, under `to`. A stored `to` is replaced only when forced; of
// two copies to one name at once, only one is made.
void CopyStored(const NamedKind& kind, const std::wstring& from, const std::wstring& to,
                bool force) {
  CheckReplaceable(kind, to, force);
  kind.read(from);  // a record the module cannot read is not copied
  const std::string bytes = FileContent(ItemFile(kind.stored, from));
  WQRepos::SaveStoredFile(kind.stored.Directory, to, kind.stored.Extension, bytes, force);
}

}  // namespace

void AddImportCommand(CLI::App& family, const std::string& what,
                      const std::function<void(const JsonInput& input)>& write) {
  auto file = std::make_shared<std::string>();
  auto* importCommand = family.add_subcommand(
      "import", "Store " + what +
                    " from the JSON that show --json prints (FILE, or - for standard input). "
                    "Every field is checked first; nothing is written when one is refused.");
  importCommand->add_option("file", *file, "JSON file, or - for standard input")->required();
  importCommand->callback([file, what, write] {
    const WQRepos::ScopedHistoryOperation import("import");
    write(ReadJsonInput(*file));
    Say("Stored " + what);
  });
}

const NamedKind& MethodsKind() { return kMethods; }
const NamedKind& TunesKind() { return kTunes; }
const NamedKind& EvalMethodsKind(bool ic) { return ic ? kICEvalMethods : kSpectrumEvalMethods; }

std::vector<WQBL::CurveEval> StoredEvalMethod(const std::wstring& name, bool ic) {
  return LoadEvalMethod(name, ic);
}

void AddNamedKindCommands(CLI::App& family, const std::string& title,
                          const NamedKind& (*choose)(bool ic), bool icFlag) {
  const auto add = [&](const char* name, const std::string& help, const char* second,
                       const std::string& secondHelp, bool force) {
    auto arguments = std::make_shared<Arguments>();
    auto* command = family.add_subcommand(name, help);
    command->add_option("name", arguments->name, "Name of the stored " + title)->required();
    if (second) command->add_option(second, arguments->other, secondHelp)->required();
    if (icFlag)
      command->add_flag("--ic", arguments->ic,
                        "An ion-chromatogram method (.iem), not a spectrum "
                        "method (.sem)");
    if (force)
      command->add_flag("--force", arguments->force, "Replace a stored " + title + " of that name");
    return std::make_pair(command, arguments);
  };

  auto [importCommand, imported] =
      add("import",
          "Store NAME from the JSON that show --json prints (FILE, or - for standard input). Every "
          "field is checked first: the first one refused is named by its path, and nothing is "
          "written. A stored " +
              title + " of that name is replaced.",
          "file", "JSON file, or - for standard input", false);
  importCommand->callback([choose, imported = imported] {
    const NamedKind& kind = choose(imported->ic);
    InitializedConfig();
    const WQRepos::ScopedHistoryOperation import("import");
    kind.write(Wide(imported->name), ReadJsonInput(imported->other));
    Say("Stored the " + kind.noun + " " + Shown(imported->name));
  });

  auto [remove, removed] =
      add("delete", "Delete the stored " + title + " NAME.", nullptr, "", false);
  remove->callback([choose, removed = removed] {
    const NamedKind& kind = choose(removed->ic);
    InitializedConfig();
    kind.remove(Wide(removed->name));
    Say("Deleted the " + kind.noun + " " + Shown(removed->name));
  });

  auto [copy, copied] = add("copy", "Store a copy of the " + title + " NAME, as stored, under TO.",
                            "to", "Name of the copy", true);
  copy->callback([choose, copied = copied] {
    const NamedKind& kind = choose(copied->ic);
    InitializedConfig();
    CopyStored(kind, Wide(copied->name), Wide(copied->other), copied->force);
    Say("Copied the " + kind.noun + " " + Shown(copied->name) + " to " + Shown(copied->other));
  });

  auto [rename, renamed] = add("rename", "Rename the stored " + title + " NAME to TO, in one step.",
                               "to", "New name", true);
  rename->callback([choose, renamed = renamed] {
    const NamedKind& kind = choose(renamed->ic);
    InitializedConfig();
    const std::wstring to = Wide(renamed->other);
    CheckFolderOf(kind, renamed->name, renamed->other);
    CheckReplaceable(kind, to, renamed->force);
    kind.rename(Wide(renamed->name), to, renamed->force);
    Say("Renamed the " + kind.noun + " " + Shown(renamed->name) + " to " + Shown(renamed->other));
  });
}

}  // namespace wqtool
