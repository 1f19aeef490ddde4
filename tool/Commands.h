// The command families of the wqrepos tool. Each adds its subcommands to the application; a
// subcommand's callback prints what the module returns and throws on failure.
#pragma once

#include <WQRepos/Config.h>

#include <CLI/CLI.hpp>
#include <string>

namespace WQBL {
struct BaselineParams;
struct NoiseParams;
struct ThresholdParams;
struct PeakDetectParams;
}  // namespace WQBL

namespace WQRepos {
struct AutotunePrefs;
}  // namespace WQRepos

namespace wqtool {

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
// export, generate-run (ExportCommands.cpp)
void AddExportCommands(CLI::App& app);
// run-info, pick-report (SpectraCommands.cpp)
void AddSpectraCommands(CLI::App& app);

// Text for the terminal from the module's wide strings.
std::string Narrow(const std::wstring& text);

// Initializes the module and gives a Config read from the same ConfigClient.xml, which answers
// the directories that the module's entry points do not hand out. Its repeat of the settings
// report is silenced. The module works on with a base directory it cannot use; the tool does not.
WQRepos::Config UncheckedConfig();
// As UncheckedConfig(), but throws std::runtime_error naming the base directory unless it is a
// directory that can be listed.
WQRepos::Config InitializedConfig();
std::wstring BaseDirectory(const WQRepos::Config& config);
void CheckBaseDirectory(const WQRepos::Config& config);
bool IsListable(const std::wstring& directory);
// The directory of `kind` after InitializedConfig(). The module lists a folder it cannot read as
// empty; this throws std::runtime_error naming the folder and its `contents` instead.
std::wstring ListableDirectory(WQRepos::Config::DirTypes kind, const std::string& contents);

}  // namespace wqtool
