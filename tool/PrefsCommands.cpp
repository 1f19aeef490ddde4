#include <WQCommon/Binary.h>
#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/PreferenceFile.h>
#include <WQRepos/WQRepos.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

using WQRepos::Preferences;
// The overloads for evaluation steps, declared in Commands.h, beside the ones below.
using wqtool::Describe;

// "Name=value, Name=value".
std::string Fields(std::initializer_list<std::pair<const char*, std::string>> fields) {
  std::string text;
  for (const auto& [name, value] : fields) {
    if (!text.empty()) text += ", ";
    text += std::string(name) + "=" + value;
  }
  return text;
}

template <typename Number>
std::string Text(Number value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string Text(bool value) { return value ? "yes" : "no"; }

// The library's text of a value of a stored enumeration; files may hold values that have none.
template <typename Enum>
std::string Named(const WQCommon::EnumTextMap<Enum>& texts, Enum value) {
  if (const std::wstring* text = WQCommon::FindText(texts, value)) return Narrow(*text);
  return "unknown (" + std::to_string(value) + ")";
}

std::string Describe(const WQBL::SmoothParams& params) {
  return Fields({{"WindowWidth", Text(params.WindowWidth) + " points"},
                 {"PolynomialOrder", Text(params.PolynomialOrder)}});
}

std::string Describe(const WQBL::OPDParams& params) {
  return Fields(
      {{"PeakWidth", Text(params.PeakWidth)}, {"MaxIterations", Text(params.MaxIterations)}});
}

std::string Describe(const WQBL::RampAlgorithmParams& params) {
  return Fields(
      {{"Algorithm", Named(WQBL::RampAlgorithmParams::AlgorithmTexts(), params.Algorithm)},
       {"Steps", Text(params.Steps)}});
}

std::string Describe(const WQBL::ChargeStateParams& params) {
  return Fields({{"MinCharge", Text(params.MinCharge)},
                 {"MaxCharge", Text(params.MaxCharge)},
                 {"MassTolerance", Text(params.MassTolerance)}});
}

std::string Describe(const WQBL::AppThreadingParams& params) {
  return Fields({{"Enabled", Text(params.Enabled)}, {"ThreadCount", Text(params.ThreadCount)}});
}

std::string Describe(const WQBL::ICFilter& filter) {
  return Fields(
      {{"Function", filter.Function == WQBL::ICFilter::kAllFunctions ? std::string("all")
                                                                     : Text(filter.Function)},
       {"Polarity", Named(WQBL::ICFilter::PolarityTexts(), filter.Polarity)}});
}

std::string Describe(const WQBL::MZRange& range) {
  if (range.Kind == WQBL::MZRange::FullRange) return "full range";
  if (range.Kind != WQBL::MZRange::Bounded) return "unknown range kind " + Text(range.Kind);
  return "m/z " + Text(range.Low) + " to " + Text(range.High);
}

std::string Describe(const WQBL::ICRange& range) {
  return Text(range.Start) + " to " + Text(range.End) + " min";
}

std::string Describe(const WQBL::MZPeakField& field) {
  return Named(WQBL::MZPeakField::TypeTexts(), field.Type);
}

std::string Describe(const std::wstring& text) { return "\"" + Shown(text) + "\""; }

std::string Describe(std::uint32_t value) { return Text(value); }

// A vector's elements, one a line below a line with its count.
template <typename Element>
std::string List(const std::vector<Element>& elements) {
  std::string text = Text(elements.size());
  for (const Element& element : elements) text += "\n    " + Describe(element);
  return text;
}

// "Name: value" lines.
std::string Lines(std::initializer_list<std::pair<const char*, std::string>> lines) {
  std::string text;
  for (const auto& [name, value] : lines) text += std::string(name) + ": " + value + "\n";
  return text;
}

std::string Describe(const WQRepos::GenTICPrefs& prefs) {
  return Lines({{"Filter", Describe(prefs.Filter)}, {"Option", Text(prefs.Option)}});
}

std::string Describe(const WQRepos::GenEICPrefs& prefs) {
  return Lines({{"Filter", Describe(prefs.Filter)},
                {"MassRanges", List(prefs.MassRanges)},
                {"Names", List(prefs.Names)},
                {"Option", Text(prefs.Option)}});
}

std::string Describe(const WQRepos::GenBICPrefs& prefs) {
  return Lines({{"Filter", Describe(prefs.Filter)},
                {"EvalMethodName", prefs.EvalMethodName.empty() ? "(the default method)"
                                                                : Describe(prefs.EvalMethodName)},
                {"MassRanges", List(prefs.MassRanges)},
                {"PeakFields", List(prefs.PeakFields)},
                {"Option", Text(prefs.Option)}});
}

std::string Describe(const WQRepos::GenSpectraPrefs& prefs) {
  return Lines({{"Values", List(prefs.Values)},
                {"TimeRanges", List(prefs.TimeRanges)},
                {"Names", List(prefs.Names)},
                {"MassRange", Describe(prefs.MassRange)},
                {"Option", Text(prefs.Option)}});
}

std::string Describe(const WQRepos::GUILayoutPrefs& prefs) {
  return Lines({{"FlagA", Text(prefs.FlagA)},
                {"FlagB", Text(prefs.FlagB)},
                {"Number", Text(prefs.Number)},
                {"FlagC", Text(prefs.FlagC)},
                {"FlagD", Text(prefs.FlagD)},
                {"FlagE", Text(prefs.FlagE)}});
}

std::string Describe(const std::vector<WQRepos::FieldPref>& fields) {
  if (fields.empty()) return "(no fields)";
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    text += Text(i + 1) + ". \"" + Shown(fields[i].Name) + "\"" +
            (fields[i].Visible ? "" : " (hidden)") + "\n";
  }
  return text;
}

std::string Describe(const WQRepos::AutotuneDlgPrefs& prefs) {
  return "Tune mix file:   " + Shown(prefs.TuneMixFile) +
         "\nValues:          " + Text(prefs.Value1) + ", " + Text(prefs.Value2) + "\n" +
         Describe(prefs.Settings);
}

// The module reads a preference file leniently: whatever it cannot read becomes the record's
// plain default, without a word. The tool reads the file once more itself, strictly, to tell the
// user: throws std::runtime_error with the reason unless `path` holds the preference file version
// 1 and a whole Record, and nothing after it; gives the record.
template <typename Record>
Record ReadFileStrictly(const std::string& path) {
  std::optional<std::string> content = WQPlatform::ReadFile(path);
  if (!content) throw std::runtime_error("it cannot be opened");
  WQCommon::BinaryReader reader(content->data(), content->size());
  return WQRepos::ReadPreferenceStrictly<Record>(reader);
}

// The JSON of a preference's record: an object, the field orders' list inside one.
template <typename Record>
Json PreferenceJson(const Record& record) {
  return ToJson(record);
}
Json PreferenceJson(const std::vector<WQRepos::FieldPref>& fields) {
  return ToJson(FieldOrderDocument{fields});
}
template <typename Record>
Record PreferenceFromJson(const JsonInput& input) {
  if constexpr (std::is_same_v<Record, std::vector<WQRepos::FieldPref>>)
    return ReadRecord<FieldOrderDocument>(input.json, input.source).Fields;
  else
    return ReadRecord<Record>(input.json, input.source);
}

// What the tool does with each preference of the catalogue, by name.
struct Decoder {
  // Shows the preference kept in `file`: the stored record, read strictly, or the preference's
  // value when there is no file; as JSON with `json`. Throws the warning when the file cannot be
  // read, after showing what the module reads instead.
  std::function<void(const std::string& file, bool json)> show;
  std::function<void(const JsonInput& input)> store;
  void (*readStrictly)(const std::string& path);
  // The JSON of the record that the file `path` holds, read strictly.
  Json (*json)(const std::string& path);
};

template <typename Record>
Decoder DecoderOf(const WQRepos::PreferenceEntry<Record>& entry) {
  const auto show = [query = entry.Query](const std::string& file, bool json) {
    const bool present = WQPlatform::PathExists(file);
    Record record = (Preferences().*query)();
    std::string problem;
    if (present) {
      try {
        record = ReadFileStrictly<Record>(file);
      } catch (const std::exception& error) {
        problem = error.what();
      }
    }
    if (json) {
      PrintJson(PreferenceJson(record));
    } else {
      if (!present) std::cout << "(no file " << Shown(file) << ": the default is shown)\n";
      const std::string text = Describe(record);
      std::cout << text << (text.back() == '\n' ? "" : "\n") << std::flush;
    }
    if (!problem.empty()) {
      throw std::runtime_error("warning: the preference file " + file +
                               " cannot be read, so the record's plain default is shown (" +
                               problem + ")");
    }
  };
  const auto store = [write = entry.Write](const JsonInput& input) {
    Preferences preferences;
    (preferences.*write)(PreferenceFromJson<Record>(input));
  };
  return {show, store, [](const std::string& path) { CheckRules(ReadFileStrictly<Record>(path)); },
          [](const std::string& path) { return PreferenceJson(ReadFileStrictly<Record>(path)); }};
}

const std::map<std::string, Decoder>& Decoders() {
  static const std::map<std::string, Decoder> decoders = [] {
    std::map<std::string, Decoder> all;
    WQRepos::ForEachPreference(
        [&all](const auto& entry) { all.emplace(Narrow(entry.Name), DecoderOf(entry)); });
    return all;
  }();
  return decoders;
}

std::wstring PreferencesDirectory() {
  return ListableDirectory(WQRepos::Config::PrefsDir, "preferences");
}

// The preference files present, by name; with `all` the preferences that the tool decodes as
// well, stored or not, so that what prefs show accepts can be listed before anything is stored.
void ListPreferences(bool json, bool all) {
  std::set<std::string> stored;
  for (const std::wstring& name : WQRepos::GetFileNames(PreferencesDirectory() + L"/*.pref"))
    stored.insert(Narrow(name));
  std::set<std::string> names = stored;
  if (all)
    for (const auto& [known, unused] : Decoders()) names.insert(known);
  Json list = Json::array();
  if (names.empty() && !json) std::cout << "No preference files.\n";
  for (const std::string& name : names) {
    const bool decoded = IsKnownPreference(name);
    const bool present = stored.count(name) != 0;
    if (json) {
      list.push_back({{"name", name}, {"decoded", decoded}});
      if (all) list.back()["stored"] = present;
    } else {
      std::cout << Shown(name) << (decoded ? "" : "  (not decoded by prefs show)")
                << (present ? "" : "  (no file: the default applies)") << '\n';
    }
  }
  if (json) PrintJson(list);
}

// The decoder of the preference `name`; throws naming the valid ones when there is none.
const Decoder& DecoderNamed(const std::string& name) {
  const auto decoder = Decoders().find(name);
  if (decoder != Decoders().end()) return decoder->second;
  std::vector<std::string> names;
  for (const auto& [known, unused] : Decoders()) names.push_back(known);
  const std::string nearest = Nearest(name, names);
  std::string list;
  for (const std::string& known : names) list += (list.empty() ? "" : ", ") + known;
  throw std::runtime_error("no preference is called " + name +
                           (nearest.empty() ? "" : " (did you mean " + nearest + "?)") + "; the " +
                           std::to_string(names.size()) + " preferences are " + list);
}

std::string PreferenceFile(const std::string& name) {
  return Narrow(PreferencesDirectory()) + "/" + name + ".pref";
}

void ShowReferenceCalibrants(bool json) {
  InitializedConfig();
  const std::vector<WQRepos::RefCal> calibrants = WQRepos::LoadReferenceCalibrants();
  if (json) {
    PrintJson(ToJson(CalibrantsDocument{calibrants}));
    return;
  }
  if (calibrants.empty()) std::cout << "No reference calibrants.\n";
  for (std::size_t i = 0; i < calibrants.size(); ++i) {
    const WQRepos::RefCal& calibrant = calibrants[i];
    std::cout << i + 1 << ". " << Describe(calibrant.Name) << ": "
              << Fields({{"Param1", Text(calibrant.Param1)},
                         {"Param2", Text(calibrant.Param2)},
                         {"Param3", Text(calibrant.Param3)}})
              << '\n';
  }
}

}  // namespace

bool IsKnownPreference(const std::string& name) { return Decoders().count(name) != 0; }

void ReadPreferenceStrictly(const std::string& name, const std::string& path) {
  Decoders().at(name).readStrictly(path);
}

Json PreferenceFileJson(const std::string& name, const std::string& path) {
  const auto decoder = Decoders().find(name);
  if (decoder == Decoders().end())
    throw std::runtime_error("no preference is called " + name + ": its fields are not known");
  return decoder->second.json(path);
}

std::string Describe(const WQBL::BaselineParams& params) {
  return Fields({{"Algorithm", Named(WQBL::BaselineParams::AlgorithmTexts(), params.Algorithm)},
                 {"WindowWidth", Text(params.WindowWidth) + " points"}});
}

std::string Describe(const WQBL::NoiseParams& params) {
  return Fields(
      {{"WindowWidth", Text(params.WindowWidth) + " points"}, {"Factor", Text(params.Factor)}});
}

std::string Describe(const WQBL::ThresholdParams& params) {
  return Fields({{"Level", Text(params.Level)}});
}

std::string Describe(const WQBL::PeakDetectParams& params) {
  return Fields({{"MinPeakWidth", Text(params.MinPeakWidth) + " points"},
                 {"UseThreshold", Text(params.UseThreshold)}});
}

void AddPrefsCommands(CLI::App& app) {
  auto* prefs = app.add_subcommand(
      "prefs",
      "The user's preferences: one file NAME.pref each in the preferences directory (processing "
      "parameters, generation settings, table field orders, window layout).");
  prefs->require_subcommand(1);
  auto* list = prefs->add_subcommand("list", "List the preference files present, by NAME.");
  auto all = std::make_shared<bool>(false);
  list->add_flag("--all", *all,
                 "Also list the preferences that prefs show decodes but no file holds (\"stored\" "
                 "in the JSON tells which have a file)");
  list->callback([all, json = AddJsonFlag(*list)] { ListPreferences(*json, *all); });
  auto* show = prefs->add_subcommand(
      "show",
      "Show the preference NAME as the application reads it: the stored value, the preference's "
      "default when there is no file, or the record's plain default when the file is unreadable, "
      "which is also reported on standard error and ends the tool with exit code 1.");
  auto name = std::make_shared<std::string>();
  show->add_option("name", *name, "Preference name, as prefs list prints it (e.g. GenBIC)")
      ->required();
  show->callback([name, json = AddJsonFlag(*show)] {
    const Decoder& decoder = DecoderNamed(*name);
    decoder.show(PreferenceFile(*name), *json);
  });
  auto* importCommand = prefs->add_subcommand(
      "import",
      "Store the preference NAME from the JSON that prefs show --json prints (FILE, or - for "
      "standard input). Every field is checked first; nothing is written when one is refused.");
  auto imported = std::make_shared<std::pair<std::string, std::string>>();
  importCommand->add_option("name", imported->first, "Preference name")->required();
  importCommand->add_option("file", imported->second, "JSON file, or - for standard input")
      ->required();
  importCommand->callback([imported] {
    const Decoder& decoder = DecoderNamed(imported->first);
    const std::string file = PreferenceFile(imported->first);
    const WQRepos::ScopedHistoryOperation import("import");
    decoder.store(ReadJsonInput(imported->second));
    Say("Stored the preference " + Shown(imported->first) + " in " + Shown(file));
  });
}

void AddRefcalsCommand(CLI::App& app) {
  auto* refcals = app.add_subcommand(
      "refcals", "The reference calibrants kept in RefCals.cal in the calibration directory.");
  refcals->require_subcommand(1);
  auto* show = refcals->add_subcommand("show", "Show the stored reference calibrants in order.");
  show->callback([json = AddJsonFlag(*show)] { ShowReferenceCalibrants(*json); });
  AddImportCommand(*refcals, "the reference calibrants", [](const JsonInput& input) {
    InitializedConfig();
    WQRepos::SaveReferenceCalibrants(
        ReadRecord<CalibrantsDocument>(input.json, input.source).Calibrants);
  });
}

}  // namespace wqtool
