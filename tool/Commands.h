// The command families of the wqrepos tool. Each adds its subcommands to the application; a
// subcommand's callback prints what the module returns and throws on failure.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace WQRepos {
struct AutotunePrefs;
}  // namespace WQRepos

namespace wqtool {

void AddInfoCommand(CLI::App& app);
// methods, tunes (MethodCommands.cpp); sysconfig (SysconfigCommand.cpp)
void AddMethodCommands(CLI::App& app);
void AddTuneCommands(CLI::App& app);
void AddSysconfigCommand(CLI::App& app);
// autotune (AutotuneCommands.cpp)
void AddAutotuneCommands(CLI::App& app);
// The autotune settings, a line each (AutotuneCommands.cpp).
std::string Describe(const WQRepos::AutotunePrefs& prefs);

// Text for the terminal from the module's wide strings.
std::string Narrow(const std::wstring& text);

}  // namespace wqtool
