// How the tool speaks of its own command line: help that names values in plain words, and usage
// errors that say which option or argument was wrong and why, in place of the parser's own texts.
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"

namespace wqtool {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  return parts;
}

// The parser's name of an option's value type, before the descriptions of its checks.
std::string BaseType(const CLI::Option& option) {
  const std::vector<std::string> parts = Split(option.get_type_name(), ':');
  return parts.empty() ? std::string() : parts.front();
}

// What a value of the parser's type `type` must be, in words.
std::string KindOf(const std::string& type) {
  // N is what the commands call their counts and scan numbers.
  if (type == "UINT" || type == "N") return "a whole number of 0 or more";
  if (type == "INT") return "a whole number";
  if (type == "FLOAT") return "a number";
  return "a valid value";
}

// How help shows the value of `option`: "N=120 (from 1 to 1000000)" for a number with a range and
// a default, "NUMBER", "TEXT", or the name the command gave it; " (required)" when it must be
// given. Positionals show their names alone.
std::string PlainOptionText(const CLI::Option& option) {
  std::string type = BaseType(option);
  std::string range;
  static const std::regex kRange(R"(\S+ in \[(.+) - (.+)\])");
  for (const std::string& part : Split(option.get_type_name(), ':')) {
    std::smatch bounds;
    if (std::regex_match(part, bounds, kRange))
      range = " (from " + bounds[1].str() + " to " + bounds[2].str() + ")";
  }
  if (type == "UINT" || type == "INT") type = "N";
  if (type == "FLOAT") type = "NUMBER";
  std::string text = option.get_positional() ? std::string() : type;
  if (!option.get_default_str().empty()) text += "=" + option.get_default_str();
  text += range;
  if (option.get_required()) text += " (required)";
  return text.empty() || text.front() != ' ' ? text : text.substr(1);
}

void MakeOptionsPlain(CLI::App& command) {
  for (CLI::Option* option : command.get_options({})) {
    if (option->get_type_size() != 0 && option->get_option_text().empty())
      option->option_text(PlainOptionText(*option));
  }
  for (CLI::App* sub : command.get_subcommands({})) MakeOptionsPlain(*sub);
}

// "wqrepos methods show", for the help hint.
std::string CommandPath(const CLI::App& command) {
  std::string path = command.get_name();
  for (const CLI::App* parent = command.get_parent(); parent; parent = parent->get_parent())
    path = (parent->get_parent() ? parent->get_name() : std::string("wqrepos")) + " " + path;
  return command.get_parent() ? path : std::string("wqrepos");
}

const CLI::Option* FindOption(const CLI::App& command, const std::string& name) {
  for (const CLI::Option* option : command.get_options({}))
    if (option->get_name() == name || option->check_name(name)) return option;
  for (const CLI::App* sub : command.get_subcommands({}))
    if (const CLI::Option* found = FindOption(*sub, name)) return found;
  return nullptr;
}

// The parser's words for a value that could not be read or did not pass its check, rewritten:
// "--scan: "-5" is not a whole number of 0 or more", "--resolution: "x" is not one of high, low,
// unit", "--scans: "0" is not a number from 1 to 1000000".
std::string PlainValueError(const CLI::App& command, const std::string& what) {
  static const std::regex kConversion(R"(Could not convert: (\S+) = (.*))");
  static const std::regex kRange(R"((\S+): Value (\S+) not in range (\S+) to (\S+))");
  static const std::regex kChoice(R"((\S+): Check (.*) value in \{([^}]*)\}.* FAILED)");
  static const std::regex kValue(R"((\S+): Value (.*) (is not .*))");
  std::smatch found;
  if (std::regex_match(what, found, kConversion)) {
    const CLI::Option* option = FindOption(command, found[1].str());
    return found[1].str() + ": \"" + found[2].str() + "\" is not " +
           KindOf(option ? BaseType(*option) : std::string());
  }
  if (std::regex_match(what, found, kRange))
    return found[1].str() + ": \"" + found[2].str() + "\" is not a number from " + found[3].str() +
           " to " + found[4].str();
  if (std::regex_match(what, found, kChoice)) {
    std::string choices;
    for (const std::string& pair : Split(found[3].str(), ','))
      choices += (choices.empty() ? "" : ", ") + pair.substr(0, pair.find("->"));
    return found[1].str() + ": \"" + found[2].str() + "\" is not one of " + choices;
  }
  if (std::regex_match(what, found, kValue))
    return found[1].str() + ": \"" + found[2].str() + "\" " + found[3].str();
  return what;
}

// The words that could stand where the parse stopped: the subcommands and the long option names of
// the subcommand it reached last.
std::vector<std::string> ValidWords(const CLI::App& app) {
  const CLI::App& deepest = DeepestCommand(app);
  std::vector<std::string> words;
  for (const CLI::App* sub : deepest.get_subcommands({})) words.push_back(sub->get_name());
  for (const CLI::Option* option : deepest.get_options({}))
    for (const std::string& name : option->get_lnames()) words.push_back("--" + name);
  return words;
}

std::string PlainUsageError(const CLI::App& app, const CLI::Error& error) {
  const CLI::App& command = DeepestCommand(app);
  const std::string what = error.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    const std::vector<std::string> extras = app.remaining(true);
    std::string words;
    for (const std::string& word : extras) words += " " + word;
    const std::string nearest =
        extras.empty() ? std::string() : Nearest(extras.front(), ValidWords(app));
    return (extras.size() == 1 ? "unexpected argument" : "unexpected arguments") + words +
           (nearest.empty() ? "" : " (did you mean " + nearest + "?)");
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error) && command.get_require_subcommand_min() > 0 &&
      command.get_subcommands().empty()) {
    std::string names;
    for (const CLI::App* sub : command.get_subcommands({}))
      names += (names.empty() ? "" : ", ") + sub->get_name();
    return command.get_name() + " needs a command: " + names;
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    static const std::regex kMissing(R"((\S+): \d+ required .* missing)");
    std::smatch found;
    if (std::regex_match(what, found, kMissing)) return found[1].str() + " needs a value";
  }
  if (dynamic_cast<const CLI::ConversionError*>(&error) ||
      dynamic_cast<const CLI::ValidationError*>(&error))
    return PlainValueError(command, what);
  return what;
}

}  // namespace

const CLI::App& DeepestCommand(const CLI::App& app) {
  const CLI::App* deepest = &app;
  for (bool deeper = true; deeper;) {
    deeper = false;
    for (const CLI::App* sub : deepest->get_subcommands()) {
      deepest = sub;
      deeper = true;
      break;
    }
  }
  return *deepest;
}

void MakeHelpPlain(CLI::App& app) {
  MakeOptionsPlain(app);
  app.failure_message([](const CLI::App* top, const CLI::Error& error) {
    return "wqrepos: " + Shown(PlainUsageError(*top, error)) + "\nSee '" +
           CommandPath(DeepestCommand(*top)) + " --help'.\n";
  });
}

}  // namespace wqtool
