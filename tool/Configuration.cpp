// The tool's view of the module's configuration: the settings report on standard error with
// --verbose, a warning for what the configuration file could not give, and the checks that the
// directories the commands use can be listed.
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/helpers/transcoder.h>
#include <log4cxx/logger.h>
#include <log4cxx/spi/loggingevent.h>

#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "Commands.h"

namespace wqtool {

namespace {

// Shows the module's settings report on standard error, a line at a time, each line as Shown:
// with --verbose only. What the report cannot say plainly is warned of from Config::QReport().
class ReportAppender : public log4cxx::AppenderSkeleton {
 public:
  void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override {
    if (!Verbose()) return;
    std::string message;
    log4cxx::helpers::Transcoder::encode(event->getMessage(), message);
    const bool warning = event->getLevel()->isGreaterOrEqual(log4cxx::Level::getWarn());
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);)
      std::cerr << (warning ? "wqrepos: warning: " : "") << Shown(line) << '\n';
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
};

// The command line once parsed, for the name of the command that runs.
const CLI::App* commandLine = nullptr;

// True for the commands that change what is stored: they need the data directory tree, which the
// module creates, and the clean-up of interrupted saves. Every other command leaves the data
// directory as it finds it.
bool ChangesStore() {
  if (!commandLine) return true;
  static const std::set<std::string> kChanging = {"import", "delete", "copy", "rename", "init"};
  return kChanging.count(DeepestCommand(*commandLine).get_name()) != 0;
}

// Warns, once a run, of a configuration file that gave no settings and of a Port element whose
// text is not a port number alone, naming the file, the element, the text and what is used.
void WarnOfConfiguration(const WQRepos::Config& config) {
  static bool warned = false;
  if (warned) return;
  warned = true;
  const WQRepos::ConfigReport& report = config.QReport();
  const std::string file = Narrow(report.Path);
  if (!report.Unread.empty()) {
    Warn("the configuration file " + file + " cannot be read (" + report.Unread +
         "): the data directory used is " + Narrow(BaseDirectory(config)));
    return;
  }
  if (report.PortText && report.Port != WQRepos::ConfigReport::PortReading::Whole) {
    Warn("the element Port of " + file + " holds \"" + Narrow(*report.PortText) +
         "\", which is not a port number from 0 to 65535: the port used is " +
         std::to_string(config.QHostPort()));
  }
}

}  // namespace

void ConfigureTool(const CLI::App& app) {
  commandLine = &app;
  log4cxx::Logger::getRootLogger()->addAppender(std::make_shared<ReportAppender>());
}

std::wstring BaseDirectory(const WQRepos::Config& config) {
  const std::wstring directory = config.QDirectory(WQRepos::Config::DataDir);
  return directory.substr(0, directory.rfind(L'/'));
}

bool IsListable(const std::wstring& directory) {
  return WQPlatform::IsListableDirectory(Narrow(directory));
}

bool NothingStoredYet(const std::string& directory) {
  return !ChangesStore() && !WQPlatform::PathExists(directory);
}

void CheckBaseDirectory(const WQRepos::Config& config) {
  const std::string base = Narrow(BaseDirectory(config));
  if (IsListable(BaseDirectory(config)) || NothingStoredYet(base)) return;
  const std::string parent = base.substr(0, base.rfind('/'));
  if (!WQPlatform::PathExists(base) && !parent.empty() && !WQPlatform::IsDirectory(parent)) {
    throw std::runtime_error("cannot create the base data directory " + base + ": the folder " +
                             parent + " that would hold it does not exist");
  }
  throw std::runtime_error("cannot use the base data directory " + base +
                           ": it is not a directory that can be listed");
}

WQRepos::Config UncheckedConfig() {
  const bool changes = ChangesStore();
  if (changes)
    WQRepos::Initialize();
  else
    WQRepos::ReadConfiguration();
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  WQRepos::Config config;
  config.Read();
  WarnOfConfiguration(config);
  return config;
}

WQRepos::Config InitializedConfig() {
  const WQRepos::Config config = UncheckedConfig();
  CheckBaseDirectory(config);
  return config;
}

std::wstring ListableDirectory(WQRepos::Config::DirTypes kind, const std::string& contents) {
  const std::wstring directory = InitializedConfig().QDirectory(kind);
  if (!IsListable(directory) && !NothingStoredYet(Narrow(directory))) {
    throw std::runtime_error("cannot list the " + contents + ": the directory " +
                             Narrow(directory) + " cannot be read");
  }
  return directory;
}

}  // namespace wqtool
