// wqrepos: the repository module's files from a shell.
#include <WQCommon/Text.h>
#include <WQRepos/EntryPoints.h>
#include <log4cxx/consoleappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/patternlayout.h>

#include <exception>
#include <iostream>

#include "Commands.h"

namespace wqtool {

std::string Narrow(const std::wstring& text) { return WQCommon::WQWideToNarrowStr(text); }

WQRepos::Config InitializedConfig() {
  WQRepos::Initialize();
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  WQRepos::Config config;
  config.Refresh();
  return config;
}

}  // namespace wqtool

namespace {

// The module logs its settings report to the logger "app"; show it on standard error.
void ConfigureLogging() {
  auto layout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%m%n"));
  auto appender = std::make_shared<log4cxx::ConsoleAppender>(layout, LOG4CXX_STR("System.err"));
  log4cxx::Logger::getRootLogger()->addAppender(appender);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "wqrepos: the methods, tunes, preferences and calibration exports that the instrument's "
      "application keeps under its data directory.\nThe data directory is the BaseDir of the "
      "ConfigClient.xml beside the WQRepos library."};
  app.require_subcommand(1);
  wqtool::AddInfoCommand(app);
  wqtool::AddMethodCommands(app);
  wqtool::AddTuneCommands(app);
  wqtool::AddSysconfigCommand(app);
  wqtool::AddPrefsCommands(app);
  wqtool::AddEvalCommands(app);
  wqtool::AddRefcalsCommand(app);
  wqtool::AddAutotuneCommands(app);
  wqtool::AddExportCommands(app);
  ConfigureLogging();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const std::exception& error) {
    std::cerr << "wqrepos: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
