// wqrepos: the repository module's files from a shell.
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Version.h>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/helpers/transcoder.h>
#include <log4cxx/logger.h>
#include <log4cxx/spi/loggingevent.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "Commands.h"

namespace wqtool {

void RefuseToReplace(const std::string& path, bool force) {
  if (!force && WQPlatform::PathExists(path))
    throw std::runtime_error("Cannot write to " + path +
                             ": it exists (give --force to replace it)");
}

std::string Narrow(const std::wstring& text) { return WQCommon::WQWideToNarrowStr(text); }

std::string Shown(const std::wstring& text) {
  std::string shown;
  std::wstring plain;  // characters shown as they are, converted a run at a time
  const auto escape = [&](const char* format, unsigned value) {
    shown += WQCommon::WQWideToNarrowStr(plain);
    plain.clear();
    char code[8];
    std::snprintf(code, sizeof code, format, value);
    shown += code;
  };
  for (const wchar_t character : text) {
    const auto value = static_cast<unsigned>(character);
    if (character == L'\\') {
      escape("\\\\", 0);
    } else if (character == L'\n') {
      escape("\\n", 0);
    } else if (character == L'\r') {
      escape("\\r", 0);
    } else if (character == L'\t') {
      escape("\\t", 0);
    } else if (value < 0x20 || value == 0x7F) {
      escape("\\x%02x", value);
    } else if (value >= 0x80 && value <= 0x9F) {
      escape("\\u%04x", value);
    } else if (WQCommon::IsByteEscape(character)) {
      escape("\\x%02x", value & 0xFF);
    } else {
      plain += character;
    }
  }
  return shown + WQCommon::WQWideToNarrowStr(plain);
}

std::string Shown(const std::string& text) { return Shown(WQCommon::WQNarrowToWideStr(text)); }

std::shared_ptr<bool> AddJsonFlag(CLI::App& command) {
  auto json = std::make_shared<bool>(false);
  command.add_flag("--json", *json, "Print one JSON document instead of text");
  return json;
}

void PrintJson(const Json& document) {
  // Text that is not valid UTF-8 (a file name in another encoding) is kept, its bad bytes replaced.
  std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
}

void PrintNames(std::vector<std::wstring> names, const char* none, bool json) {
  std::sort(names.begin(), names.end());
  if (json) {
    Json list = Json::array();
    for (const std::wstring& name : names) list.push_back(Narrow(name));
    PrintJson(list);
    return;
  }
  if (names.empty()) std::cout << none << '\n';
  for (const std::wstring& name : names) std::cout << Shown(name) << '\n';
}

std::wstring BaseDirectory(const WQRepos::Config& config) {
  const std::wstring directory = config.QDirectory(WQRepos::Config::DataDir);
  return directory.substr(0, directory.rfind(L'/'));
}

bool IsListable(const std::wstring& directory) {
  return WQPlatform::IsListableDirectory(Narrow(directory));
}

void CheckBaseDirectory(const WQRepos::Config& config) {
  const std::wstring base = BaseDirectory(config);
  if (!IsListable(base)) {
    throw std::runtime_error("cannot use the base data directory " + Narrow(base) +
                             ": it is not a directory that can be listed");
  }
}

WQRepos::Config UncheckedConfig() {
  WQRepos::Initialize();
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  WQRepos::Config config;
  config.Refresh();
  return config;
}

WQRepos::Config InitializedConfig() {
  const WQRepos::Config config = UncheckedConfig();
  CheckBaseDirectory(config);
  return config;
}

std::wstring ListableDirectory(WQRepos::Config::DirTypes kind, const std::string& contents) {
  const std::wstring directory = InitializedConfig().QDirectory(kind);
  if (!IsListable(directory)) {
    throw std::runtime_error("cannot list the " + contents + ": the directory " +
                             Narrow(directory) + " cannot be read");
  }
  return directory;
}

}  // namespace wqtool

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// Shows what the module logs (its settings report, whose values come from ConfigClient.xml) on
// standard error, a line at a time, each line as Shown.
class ReportAppender : public log4cxx::AppenderSkeleton {
 public:
  void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override {
    std::string message;
    log4cxx::helpers::Transcoder::encode(event->getMessage(), message);
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);) std::cerr << wqtool::Shown(line) << '\n';
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
};

void ConfigureLogging() {
  log4cxx::Logger::getRootLogger()->addAppender(std::make_shared<ReportAppender>());
}

// Prints help or the version (exit 0), or the usage error (exit 2). CLI11 checks for a missing
// subcommand before it looks at unknown arguments, so these are reported first when there are any.
int ReportParseOutcome(const CLI::App& app, const CLI::ParseError& error) {
  const std::vector<std::string> unknown = app.remaining(true);
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !unknown.empty())
    return ReportParseOutcome(app, CLI::ExtrasError(unknown));
  return app.exit(error) == static_cast<int>(CLI::ExitCodes::Success) ? 0 : kUsageError;
}

int ReportFailure(const std::string& message) {
  std::cerr << "wqrepos: " << wqtool::Shown(message) << '\n';
  return kFailure;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "wqrepos: the methods, tunes, preferences and calibration exports that the instrument's "
      "application keeps under its data directory.\nThe data directory is the BaseDir of the "
      "ConfigClient.xml beside the WQRepos library, or of the file that the environment variable "
      "WQREPOS_CONFIG names.\nEvery show, list and check command takes --json to print one JSON "
      "document (text as UTF-8) instead of text. Text shows control characters, bytes that are "
      "not UTF-8 and the backslash in names, file contents and messages as $'...' escapes "
      "(\\n, \\x1b, \\xe9, \\\\)."};
  app.footer("Exit codes: 0 success, 1 a file or value failed, 2 usage error.\n");
  // The tool's own version, and that of the library it loaded, which may be a later release.
  app.set_version_flag(
      "--version",
      std::string("wqrepos " WQREPOS_VERSION_STRING "\nWQRepos library ") + WQRepos::QVersion());
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
  wqtool::AddSpectraCommands(app);
  wqtool::AddPlotCommand(app);
  wqtool::AddConvertCommand(app);
  wqtool::AddCheckCommand(app);
  ConfigureLogging();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return ReportParseOutcome(app, error);
  } catch (const std::exception& error) {
    return ReportFailure(error.what());
  }
  return 0;
}
