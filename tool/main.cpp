// wqrepos: the repository module's files from a shell.
#include <WQCommon/XML.h>
#include <WQRepos/Version.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// Prints help or the version (exit 0), or the usage error (exit 2). CLI11 checks for a missing
// subcommand before it looks at unknown arguments, so these are reported first when there are any.
int ReportParseOutcome(const CLI::App& app, const CLI::ParseError& error) {
  const std::vector<std::string> unknown = app.remaining(true);
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !unknown.empty())
    return ReportParseOutcome(app, CLI::ExtrasError(unknown));
  return app.exit(error) == static_cast<int>(CLI::ExitCodes::Success) ? 0 : kUsageError;
}

int ReportFailure(std::string message) {
  std::cerr << "wqrepos: " << wqtool::Shown(wqtool::WithInputNames(std::move(message))) << '\n';
  return kFailure;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "wqrepos: the methods, tunes, preferences and calibration exports that the instrument's "
      "application keeps under its data directory.\nThe data directory is the BaseDir of the "
      "ConfigClient.xml beside the WQRepos library, or of the file that the environment variable "
      "WQREPOS_CONFIG names.\nEvery show, list and check command, and info, export, run-info and "
      "pick-report, take --json to print one JSON document (text as UTF-8) instead of text: "
      "every field by name, enumerated values as their texts. Each show --json is what the "
      "matching import reads (FILE, or - for standard input), and import checks every field "
      "before it writes anything. Wherever a file is read, - reads standard input. Long work "
      "draws a progress bar on standard error when it is a terminal. Text shows control "
      "characters, bytes that are "
      "not UTF-8 and the backslash in names, file contents and messages as $'...' escapes "
      "(\\n, \\x1b, \\xe9, \\\\)."};
  app.footer("Exit codes: 0 success, 1 a file or value failed, 2 usage error.\n");
  // The tool's own version, and that of the library it loaded, which may be a later release.
  app.set_version_flag(
      "--version",
      std::string("wqrepos " WQREPOS_VERSION_STRING "\nWQRepos library ") + WQRepos::QVersion());
  app.require_subcommand(1);
  app.fallthrough();
  wqtool::AddOutputFlags(app);
  wqtool::AddInfoCommand(app);
  wqtool::AddMethodCommands(app);
  wqtool::AddTuneCommands(app);
  wqtool::AddSysconfigCommand(app);
  wqtool::AddPrefsCommands(app);
  wqtool::AddEvalCommands(app);
  wqtool::AddRefcalsCommand(app);
  wqtool::AddDocumentCommands(app);
  wqtool::AddAutotuneCommands(app);
  wqtool::AddExportCommands(app);
  wqtool::AddSpectraCommands(app);
  wqtool::AddPlotCommand(app);
  wqtool::AddConvertCommand(app);
  wqtool::AddCheckCommand(app);
  wqtool::AddHistoryCommands(app);
  wqtool::MakeHelpPlain(app);
  wqtool::ConfigureTool(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return ReportParseOutcome(app, error);
  } catch (const std::exception& error) {
    return ReportFailure(wqtool::Described(error));
  } catch (const WQCommon::XMLResultException& error) {
    return ReportFailure("the XML element " + wqtool::Narrow(error.Message) + " is missing");
  }
  return 0;
}
