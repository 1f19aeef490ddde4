#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>

#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

struct TunesOptions {
  WQRepos::Resolution resolution = WQRepos::LowRes;
  WQCommon::PolarityTypes polarity = WQCommon::Positive;
};

void PrintTuneCandidates(const TunesOptions& options, bool json) {
  ListableDirectory(WQRepos::Config::TunesDir, "tunes");
  const std::list<std::wstring> names =
      WQRepos::QAutoTuneFileList(options.resolution, options.polarity);
  if (json) {
    Json list = Json::array();
    for (const std::wstring& name : names) list.push_back(Narrow(name));
    PrintJson(list);
    return;
  }
  if (names.empty()) std::cout << "(no matching tunes)\n";
  for (const std::wstring& name : names) std::cout << Shown(name) << '\n';
}

void PrintSource() {
  WQRepos::Initialize();
  std::cout << Shown(WQRepos::QAutoTuneSource()) << '\n';
}

// The name of the document's top element, taken from the parser's normalised text, which holds
// nothing but the XML declaration before it.
std::wstring TopElementName(const WQCommon::XMLParser& parser) {
  const std::wstring xml = parser.QXML();
  std::size_t start = xml.find(L'<');
  while (start != std::wstring::npos && xml.compare(start, 2, L"<?") == 0)
    start = xml.find(L'<', start + 1);
  if (start == std::wstring::npos) return std::wstring();
  const std::size_t end = xml.find_first_of(L" \t\r\n/>", start + 1);
  return xml.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
}

void PrintSettings(const std::string& file, bool json) {
  const InputFile input(file);
  if (json)
    PrintJson(ToJson(ReadAutotuneDocument(input.Path())));
  else
    std::cout << Describe(ReadAutotuneSettings(input.Path()));
}

}  // namespace

// Reads the settings element, which is either the top element or one of its children.
WQRepos::AutotunePrefs ReadAutotuneSettings(const std::string& file) {
  WQCommon::XMLParser parser;
  if (!parser.LoadFile(WQCommon::WQNarrowToWideStr(file))) {
    throw std::runtime_error(
        "Cannot load the XML document " + file + ": " +
        WQPlatform::UnreadableReason(file).value_or("it is not well-formed XML"));
  }
  const std::wstring top = TopElementName(parser);
  if (top != L"AutoTunePrefs") parser.StartNode(top);
  WQRepos::AutotunePrefs prefs;
  try {
    parser >> prefs;
  } catch (const WQCommon::XMLResultException& error) {
    throw std::runtime_error("The autotune settings in " + file + " lack the element " +
                             Narrow(error.Message));
  } catch (const WQRepos::QMVException& error) {
    throw std::runtime_error(Narrow(error.Message()) + " (" + file + ")");
  }
  return prefs;
}

std::string Describe(const WQRepos::AutotunePrefs& prefs) {
  std::ostringstream text;
  text << "Polarity:        " << Narrow(WQCommon::PolarityToWStr(prefs.Polarity)) << '\n'
       << "Diverter source: " << (prefs.DiverterSource == WQRepos::Waste ? "Waste" : "Load") << '\n'
       << "Prime delay:     " << prefs.PrimeDelay << '\n'
       << "Tune points:     " << prefs.TunePoints.size() << '\n';
  for (std::size_t i = 0; i < prefs.TunePoints.size(); ++i) {
    const WQRepos::TunePoint& point = prefs.TunePoints[i];
    text << "  " << i + 1 << ". " << Shown(point.Name) << ": mass " << point.Mass
         << ", capillary exit " << point.CapExit << ", area " << point.Area << ", time "
         << point.Time << '\n';
  }
  return text.str();
}

void AddAutotuneCommands(CLI::App& app) {
  auto* autotune = app.add_subcommand("autotune", "Autotune settings and candidate tunes.");
  autotune->require_subcommand(1);

  auto options = std::make_shared<TunesOptions>();
  auto* tunes = autotune->add_subcommand(
      "tunes",
      "List the stored tunes that an autotune run may start from: those whose names begin with "
      "the resolution's letter (L, U, H) and the polarity's sign (+, -), in either case.");
  const std::map<std::string, WQRepos::Resolution> resolutions{
      {"low", WQRepos::LowRes}, {"unit", WQRepos::UnitRes}, {"high", WQRepos::HighRes}};
  const std::map<std::string, WQCommon::PolarityTypes> polarities{{"positive", WQCommon::Positive},
                                                                  {"negative", WQCommon::Negative}};
  tunes->add_option("--resolution", options->resolution, "Resolution: low, unit or high")
      ->required()
      ->transform(CLI::CheckedTransformer(resolutions, CLI::ignore_case))
      ->option_text("low|unit|high (required)");
  tunes->add_option("--polarity", options->polarity, "Ion polarity: positive or negative")
      ->required()
      ->transform(CLI::CheckedTransformer(polarities, CLI::ignore_case))
      ->option_text("positive|negative (required)");
  tunes->callback([options, json = AddJsonFlag(*tunes)] { PrintTuneCandidates(*options, *json); });

  autotune
      ->add_subcommand("source",
                       "Show the path of the autotune source file (Source.xml in the tunes "
                       "directory of the built-in data directory, whatever ConfigClient.xml "
                       "names). The file is not opened.")
      ->callback(PrintSource);

  auto file = std::make_shared<std::string>();
  auto* showXml = autotune->add_subcommand(
      "show-xml",
      "Decode the autotune settings of an XML document: its AutoTunePrefs element, either the top "
      "element or a child of it. The source type is not shown: it is never read back from XML.");
  showXml->add_option("file", *file, "Path of the XML document; - for standard input")->required();
  showXml->callback([file, json = AddJsonFlag(*showXml)] { PrintSettings(*file, *json); });
  AddAutotuneDocumentCommands(*autotune);
}

}  // namespace wqtool
