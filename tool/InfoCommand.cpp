#include <WQRepos/WQRepos.h>

#include <iomanip>
#include <iostream>
#include <stdexcept>
#include <string>

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

// Throws naming the base directory, or else the first repository directory, that cannot be used.
void CheckDirectories(const WQRepos::Config& config) {
  CheckBaseDirectory(config);
  for (const auto& [kind, label] : kDirectories) {
    const std::wstring directory = config.QDirectory(kind);
    if (!IsListable(directory) && !NothingStoredYet(Narrow(directory))) {
      throw std::runtime_error("cannot use the " + std::string(label) + " directory " +
                               Narrow(directory) + ": it is missing or cannot be read");
    }
  }
}

void PrintInfo(bool json) {
  // Reading the configuration reports the file and the settings in force on standard error with
  // --verbose.
  const WQRepos::Config config = UncheckedConfig();
  std::uint16_t port = 0;
  const std::wstring host = WQRepos::QServerInfo(port);
  if (json) {
    Json directories = Json::array();
    for (const auto& [kind, label] : kDirectories) {
      const std::wstring directory = config.QDirectory(kind);
      directories.push_back(
          {{"contents", label}, {"path", Narrow(directory)}, {"usable", IsListable(directory)}});
    }
    PrintJson({{"hostName", Narrow(host)},
               {"port", port},
               {"baseDirectory", Narrow(BaseDirectory(config))},
               {"directories", directories}});
    CheckDirectories(config);
    return;
  }
  std::cout << "Host name:       " << Shown(host) << '\n'
            << "Port:            " << port << '\n'
            << "Base directory:  " << Shown(BaseDirectory(config)) << '\n'
            << "Directories:\n";
  for (const auto& [kind, label] : kDirectories) {
    const std::wstring directory = config.QDirectory(kind);
    std::cout << "  " << std::left << std::setw(21) << label << Shown(directory)
              << (IsListable(directory)                 ? ""
                  : NothingStoredYet(Narrow(directory)) ? "  (not created yet)"
                                                        : "  (missing or unreadable)")
              << '\n';
  }
  CheckDirectories(config);
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
  auto* info = app.add_subcommand(
      "info",
      "Read the configuration and show the server settings and every repository directory, "
      "marking those that are missing; nothing is created.");
  info->callback([json = AddJsonFlag(*info)] { PrintInfo(*json); });
  auto* init = app.add_subcommand(
      "init",
      "Create the data directory tree where it is missing and clear what interrupted saves left, "
      "as the application does when it starts; then show what info shows. Commands that store "
      "(import, copy, rename, delete) do the same first; every other command creates nothing.");
  init->callback([json = AddJsonFlag(*init)] { PrintInfo(*json); });
}

}  // namespace wqtool
