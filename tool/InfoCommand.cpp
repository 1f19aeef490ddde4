#include <WQCommon/System.h>
#include <WQRepos/WQRepos.h>

#include <iomanip>
#include <iostream>

#include "Commands.h"

namespace wqtool {
namespace {

const std::pair<WQRepos::Config::DirTypes, const char*> kDirectories[] = {
    {WQRepos::Config::AcqMethodDir, "acquisition methods"},
    {WQRepos::Config::EvalMethodDir, "evaluation methods"},
    {WQRepos::Config::TunesDir, "tunes"},
    {WQRepos::Config::DataDir, "data"},
    {WQRepos::Config::LogDir, "logs"},
    {WQRepos::Config::CalibrationDir, "calibration"},
    {WQRepos::Config::PrefsDir, "preferences"},
    {WQRepos::Config::AutotuneDir, "autotune"}};

void PrintInfo() {
  // Initializing reports the configuration file and the settings in force on standard error.
  const WQRepos::Config config = InitializedConfig();
  std::uint16_t port = 0;
  const std::wstring host = WQRepos::QServerInfo(port);
  const std::wstring data = WQRepos::QDataDirectory();
  std::cout << "Host name:       " << Narrow(host) << '\n'
            << "Port:            " << port << '\n'
            << "Base directory:  " << Narrow(data.substr(0, data.rfind(L'/'))) << '\n'
            << "Directories:\n";
  for (const auto& [kind, label] : kDirectories) {
    const std::wstring directory = config.QDirectory(kind);
    std::cout << "  " << std::left << std::setw(21) << label << Narrow(directory)
              << (WQCommon::FileExists(directory) ? "" : "  (missing)") << '\n';
  }
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
  auto* info = app.add_subcommand(
      "info",
      "Read the configuration, create the data directory tree where it is missing, and show the "
      "server settings and every repository directory.");
  info->callback(PrintInfo);
}

}  // namespace wqtool
