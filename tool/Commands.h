// The command families of the wqrepos tool. Each adds its subcommands to the application; a
// subcommand's callback prints what the module returns and throws on failure.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace wqtool {

void AddInfoCommand(CLI::App& app);
// methods, tunes (MethodCommands.cpp); sysconfig (SysconfigCommand.cpp)
void AddMethodCommands(CLI::App& app);
void AddTuneCommands(CLI::App& app);
void AddSysconfigCommand(CLI::App& app);

// Text for the terminal from the module's wide strings.
std::string Narrow(const std::wstring& text);

}  // namespace wqtool
