// wqrepos: the repository module's files from a shell.
#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Exception.h>
#include <WQRepos/Version.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <tuple>

#include "Commands.h"

namespace wqtool {

std::string Narrow(const std::wstring& text) { return WQCommon::WQWideToNarrowStr(text); }

namespace {

bool quiet = false;
bool verbose = false;

// The paths of the temporary copies of standard input.
std::vector<std::string>& InputCopies() {
  static std::vector<std::string> copies;
  return copies;
}

std::size_t EditDistance(const std::string& from, const std::string& to) {
  std::vector<std::size_t> row(to.size() + 1);
  for (std::size_t j = 0; j <= to.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= from.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= to.size(); ++j) {
      const std::size_t above = row[j];
      row[j] =
          std::min({row[j] + 1, row[j - 1] + 1,
                    diagonal + (std::tolower(from[i - 1]) == std::tolower(to[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[to.size()];
}

}  // namespace

std::string Described(const std::exception& error) {
  const auto* wide = dynamic_cast<const WQRepos::QMVException*>(&error);
  std::string message = wide ? Narrow(wide->Message()) : std::string(error.what());
  if (const auto* file = dynamic_cast<const WQRepos::FileError*>(&error)) {
    std::string detail = file->Detail();
    // A detail that begins with the path the message names already says it once.
    const std::size_t cut = detail.find(": ");
    if (cut != std::string::npos && message.find(detail.substr(0, cut)) != std::string::npos)
      detail.erase(0, cut + 2);
    message += (!message.empty() && message.back() == '.' ? " " : ": ") + detail;
  }
  const std::string context = WQCommon::ContextOf(error);
  return context.empty() ? message : context + ": " + message;
}

bool Quiet() { return quiet; }
bool Verbose() { return verbose; }

void Say(const std::string& line) {
  if (!quiet) std::cout << line << '\n';
}

std::string Nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string nearest;
  // A slip of the keyboard: a third of the word's letters at most, and at least one.
  std::size_t best = std::max<std::size_t>(1, word.size() / 3) + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < best) std::tie(best, nearest) = std::tie(distance, candidate);
  }
  return nearest;
}

Progress::Progress(std::string label)
    : label_(std::move(label)), active_(!quiet && WQPlatform::StandardErrorIsTerminal()) {}

Progress::~Progress() { Done(); }

void Progress::Show(std::size_t done, std::size_t total) {
  const auto now = std::chrono::steady_clock::now();
  // Ten times a second at most: drawing costs more than an item of quick work.
  if (!active_ || (drawn_ && now - last_ < std::chrono::milliseconds(100) && done != total)) return;
  last_ = now;
  drawn_ = true;
  constexpr std::size_t kWidth = 30;
  std::string line = "\r" + label_ + " ";
  if (total == 0) {
    line += std::to_string(done);
  } else {
    const std::size_t filled = std::min(kWidth, kWidth * done / total);
    line += "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
            std::to_string(done) + "/" + std::to_string(total);
  }
  std::cerr << line << std::flush;
}

void Progress::Done() {
  if (drawn_) std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

struct InputFile::Copy {
  WQPlatform::TemporaryFile file;
};

InputFile::InputFile(const std::string& path) : path_(path) {
  if (path != "-") return;
  copy_.reset(new Copy{WQPlatform::TemporaryFile([](std::ostream& out) {
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0)
      out.write(buffer, std::cin.gcount());
  })});
  path_ = copy_->file.Path();
  InputCopies().push_back(path_);
}

InputFile::~InputFile() = default;

std::string WithInputNames(std::string message) {
  for (const std::string& copy : InputCopies()) {
    for (auto at = message.find(copy); at != std::string::npos; at = message.find(copy, at))
      message.replace(at, copy.size(), "standard input");
  }
  return message;
}

namespace {

// Characters that reorder or break the text around them on a terminal: the bidirectional
// embeddings, overrides, isolates and marks, and the line and paragraph separators.
bool IsDirectionOrSeparator(unsigned value) {
  return (value >= 0x202A && value <= 0x202E) || (value >= 0x2066 && value <= 0x2069) ||
         value == 0x200E || value == 0x200F || value == 0x061C || value == 0x2028 ||
         value == 0x2029;
}

}  // namespace

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
    } else if ((value >= 0x80 && value <= 0x9F) || IsDirectionOrSeparator(value)) {
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

}  // namespace wqtool

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
  auto* quietFlag = app.add_flag("-q,--quiet", wqtool::quiet,
                                 "Print nothing but errors and the data asked for: no settings "
                                 "report, warning, progress or confirmation");
  app.add_flag("-v,--verbose", wqtool::verbose,
               "Print the settings report of the configuration on standard error")
      ->excludes(quietFlag);
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
