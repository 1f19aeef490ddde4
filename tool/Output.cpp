// What the tool prints and how: the escapes of text shown on a terminal, errors as the user reads
// them, JSON, lists, confirmations, the nearest word to a slip, and progress.
#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Exception.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <iostream>
#include <tuple>

#include "Commands.h"

namespace wqtool {

std::string Narrow(const std::wstring& text) { return WQCommon::WQWideToNarrowStr(text); }

namespace {

bool quiet = false;
bool verbose = false;

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

void AddOutputFlags(CLI::App& app) {
  auto* quietFlag = app.add_flag("-q,--quiet", quiet,
                                 "Print nothing but errors and the data asked for: no settings "
                                 "report, warning, progress or confirmation");
  app.add_flag("-v,--verbose", verbose,
               "Print the settings report of the configuration on standard error")
      ->excludes(quietFlag);
}

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

void Warn(const std::string& text) {
  if (!quiet) std::cerr << "wqrepos: warning: " << Shown(text) << '\n';
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
