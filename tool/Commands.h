// The command families of the wqrepos tool. Each adds its subcommands to the application; a
// subcommand's callback prints what the module returns and throws on failure.
#pragma once

#include <WQRepos/Config.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace WQBL {
class PLAutoFindPrefs;
struct BaselineParams;
struct NoiseParams;
struct ThresholdParams;
struct PeakDetectParams;
}  // namespace WQBL

namespace WQDataFile {
struct Scan;
}

namespace WQRepos {
struct AutotunePrefs;
struct StoredKind;
struct HistoryVerification;
class FileError;
}  // namespace WQRepos

namespace WQBL {
class Method;
class CurveEval;
}  // namespace WQBL

namespace wqtool {

// A JSON document whose members keep the order they are added in.
using Json = nlohmann::ordered_json;

void AddInfoCommand(CLI::App& app);
// methods, tunes (MethodCommands.cpp); sysconfig (SysconfigCommand.cpp)
void AddMethodCommands(CLI::App& app);
void AddTuneCommands(CLI::App& app);
void AddSysconfigCommand(CLI::App& app);
// prefs, refcals (PrefsCommands.cpp); eval (EvalCommands.cpp)
void AddPrefsCommands(CLI::App& app);
void AddRefcalsCommand(CLI::App& app);
void AddEvalCommands(CLI::App& app);
// One-line texts of the parameter records of evaluation steps (PrefsCommands.cpp).
std::string Describe(const WQBL::BaselineParams& params);
std::string Describe(const WQBL::NoiseParams& params);
std::string Describe(const WQBL::ThresholdParams& params);
std::string Describe(const WQBL::PeakDetectParams& params);
// autotune (AutotuneCommands.cpp)
void AddAutotuneCommands(CLI::App& app);
// The autotune settings, a line each (AutotuneCommands.cpp).
std::string Describe(const WQRepos::AutotunePrefs& prefs);
// The autotune settings of the XML document `file`: its AutoTunePrefs element, the top element or
// a child of it. Throws std::runtime_error naming the file when they cannot be read.
WQRepos::AutotunePrefs ReadAutotuneSettings(const std::string& file);
// data-file-name, spectrum-data-info; autotune show and import (DocumentCommands.cpp)
void AddDocumentCommands(CLI::App& app);
void AddAutotuneDocumentCommands(CLI::App& autotune);
// check (CheckCommand.cpp)
void AddCheckCommand(CLI::App& app);
// True when `name` is a preference of the catalogue (PrefsCommands.cpp).
bool IsKnownPreference(const std::string& name);
// Reads the file `path` of the known preference `name` strictly, as the module's lenient query
// does not: throws std::runtime_error with the reason at the first thing that cannot be read.
void ReadPreferenceStrictly(const std::string& name, const std::string& path);
// The JSON that prefs show --json prints of the file `path` of the preference `name`, read
// strictly; throws std::runtime_error with the reason when it cannot be read (PrefsCommands.cpp).
nlohmann::ordered_json PreferenceFileJson(const std::string& name, const std::string& path);
// history, diff, restore (HistoryCommands.cpp)
void AddHistoryCommands(CLI::App& app);
// Prints what the verification of the history found, with `quiet` only its damage; false unless
// the history is whole (HistoryCommands.cpp).
bool PrintHistoryVerification(const WQRepos::HistoryVerification& verification, bool quiet);
// export, generate-run (ExportCommands.cpp)
void AddExportCommands(CLI::App& app);
// The peak-list preferences of export: one spectrum per scan, or per chromatogram peak averaged
// over the peak's scans; smoothed or not (ExportCommands.cpp).
WQBL::PLAutoFindPrefs ExportPreferences(bool peaks, bool smooth);
// plot (PlotCommand.cpp); convert (ConvertCommand.cpp)
void AddPlotCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
// run-info, pick-report (SpectraCommands.cpp)
void AddSpectraCommands(CLI::App& app);
// What a fragment scan says of itself ("MS2, precursor m/z 445.1200, charge 2+, title Pep 9"), as
// far as it says it; empty for a scan of MS level 1.
std::string FragmentText(const WQDataFile::Scan& scan);

// Throws std::runtime_error "Cannot write to <path>: it exists (give --force to replace it)" when
// something exists at `path` and `force` is false: commands that write a file the user names never
// replace one unasked.
void RefuseToReplace(const std::string& path, bool force);
// Throws std::runtime_error "Cannot write to <output>: it is the data file being <done>" when
// `output` is the file `input` by any name (a hard link, or a link that leads to it): a command
// never writes over what it reads, --force or not (OutputFiles.cpp).
void RefuseToWriteOnto(const std::string& output, const std::string& input,
                       const std::string& done);

// Text for JSON (UTF-8) from the module's wide strings.
std::string Narrow(const std::wstring& text);
// Text for the terminal: every control character (C0, DEL, C1), every byte that is not UTF-8 and
// the backslash shown as an escape of the shell's $'...' form (\n, \x1b, \u009b, \xe9, \\), so that
// no name or file content can drive the terminal or break a line of the tool's output in two.
std::string Shown(const std::string& text);
std::string Shown(const std::wstring& text);

// The nearest of `candidates` to `word` by edit distance, when one is near enough to be a slip of
// the keyboard; empty otherwise.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates);

// An error as the tool prints it: a fixed message of the module followed by its file and the
// system's reason (the path said once), a wide message without its type's preamble, after the
// place that the module nested in the error ("Cannot read P: Binary stream ended early ...").
std::string Described(const std::exception& error);

// What --quiet and --verbose chose.
// Adds -q/--quiet and -v/--verbose, which Quiet() and Verbose() then tell.
void AddOutputFlags(CLI::App& app);
bool Quiet();
bool Verbose();
// Prints `line` on standard output unless --quiet: what a command that changes something did.
void Say(const std::string& line);
// Prints "wqrepos: warning: " and `text` on standard error unless --quiet.
void Warn(const std::string& text);

// Throws std::runtime_error naming `path` when it is a file that can only be streamed (a pipe or a
// device), with a hint to give it as standard input ("-"), which is read whole first.
void RefuseStreamOnlyFile(const std::string& path);

// A file that the tool reads: `path` as given, or for "-" a temporary copy of standard input,
// which messages then call "standard input".
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  struct Copy;
  std::unique_ptr<Copy> copy_;
  std::string path_;
};
// `message` with every temporary copy's path replaced by "standard input".
std::string WithInputNames(std::string message);

// A progress bar on standard error for long work, drawn only when standard error is a terminal
// and --quiet is not given; erased by Done() or when destroyed.
class Progress {
 public:
  explicit Progress(std::string label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // `done` of `total` items; a count alone when the total is not known (0).
  void Show(std::size_t done, std::size_t total);
  void Done();

 private:
  std::string label_;
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};

// The JSON document that an import reads, and what it came from ("standard input" or the file).
struct JsonInput {
  Json json;
  std::string source;
};
// Reads `file`, or standard input for "-", as one JSON document; throws std::runtime_error naming
// the source and the reason when it cannot be read or is not JSON.
JsonInput ReadJsonInput(const std::string& file);

// A kind of named record that the tool stores and reads as JSON: methods, tunes and the two
// families of evaluation methods.
struct NamedKind {
  std::string noun;  // "acquisition method"
  // Where and how its files are stored.
  const WQRepos::StoredKind& stored;
  // The stored record as JSON, as its file holds it; the module's errors pass through.
  std::function<Json(const std::wstring& name)> read;
  // Stores the record that `input` holds, checked whole before anything is written.
  std::function<void(const std::wstring& name, const JsonInput& input)> write;
  std::function<bool(const std::wstring& name)> exists;
  std::function<void(const std::wstring& name)> remove;
  std::function<void(const std::wstring& from, const std::wstring& to, bool replace)> rename;
};
// The names of the stored records of `kind`, those in folders of its directory as "Folder/Name",
// unsorted; throws std::runtime_error naming the directory and its `contents` when it cannot be
// listed.
std::vector<std::wstring> StoredNames(const NamedKind& kind, const std::string& contents);
const NamedKind& MethodsKind();
const NamedKind& TunesKind();
const NamedKind& EvalMethodsKind(bool ic);
// Adds import, delete, copy and rename to the command family `family` of records called `title`,
// of the kind `choose` gives (for --ic when `icFlag`).
void AddNamedKindCommands(CLI::App& family, const std::string& title,
                          const NamedKind& (*choose)(bool ic), bool icFlag);
// The evaluation method `name` of the family --ic chooses. A missing one is reported with its file,
// the reason and, where a method of that name is stored in the other family, a hint to it.
std::vector<WQBL::CurveEval> StoredEvalMethod(const std::wstring& name, bool ic);
// Adds `import FILE|-` to the command family `family` of the one record `what` ("the system
// configuration"), which `write` checks and stores.
void AddImportCommand(CLI::App& family, const std::string& what,
                      const std::function<void(const JsonInput& input)>& write);
// The file of the item `name` of the stored kind `kind`; the module's refusal of a name it cannot
// store passes through.
std::string ItemFile(const WQRepos::StoredKind& kind, const std::wstring& name);

// Adds the flag --json to a show, list or check command; the flag's value once parsed.
std::shared_ptr<bool> AddJsonFlag(CLI::App& command);
// Prints `document` on standard output as one JSON document.
void PrintJson(const Json& document);
// Sorted `names`, a line each or `none` when there are none; or, with `json`, a JSON array.
void PrintNames(std::vector<std::wstring> names, const char* none, bool json);

// Shows every option's value in help in plain words ("N=120 (from 1 to 1000000)"), and has usage
// errors say what was wrong with which option or argument, after "wqrepos: ", with the nearest
// valid word to an unknown one and a hint to the command's help. Call once all commands are added.
void MakeHelpPlain(CLI::App& app);
// The subcommand of `app` that the parse reached last; `app` itself when none was given.
const CLI::App& DeepestCommand(const CLI::App& app);

// Shows the module's settings report on standard error when --verbose is given, and keeps the
// parsed command line `app`, whose command tells UncheckedConfig() whether it changes the store.
void ConfigureTool(const CLI::App& app);
// Configures the module and gives a Config read from the same ConfigClient.xml, which answers
// the directories that the module's entry points do not hand out. Its repeat of the settings
// report is silenced. A command that changes what is stored (import, delete, copy, rename, init)
// initializes the module, which creates the data directory tree and clears interrupted saves;
// every other command only reads the configuration and creates nothing. Warns, once a run, of a
// configuration file that cannot be read and of a port text that is not a port number alone. The
// module works on with a base directory it cannot use; the tool does not.
WQRepos::Config UncheckedConfig();
// As UncheckedConfig(), but throws std::runtime_error naming the base directory unless it is a
// directory that can be listed.
WQRepos::Config InitializedConfig();
std::wstring BaseDirectory(const WQRepos::Config& config);
// True when `directory` is missing and the command only reads: where nothing was ever stored, a
// reading command finds nothing, as the module does, rather than failing.
bool NothingStoredYet(const std::string& directory);
void CheckBaseDirectory(const WQRepos::Config& config);
bool IsListable(const std::wstring& directory);
// The directory of `kind` after InitializedConfig(). The module lists a folder it cannot read as
// empty; this throws std::runtime_error naming the folder and its `contents` instead.
std::wstring ListableDirectory(WQRepos::Config::DirTypes kind, const std::string& contents);

}  // namespace wqtool
