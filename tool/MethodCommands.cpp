#include <WQCommon/Text.h>
#include <WQRepos/AcqMethods.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Tunes.h>

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// Where a show command takes its record from: a stored name or a file anywhere.
struct RecordSource {
  std::string name;
  std::string file;
};

// Adds the positional NAME and the option --file, exactly one of which must be given.
std::shared_ptr<RecordSource> AddSourceOptions(CLI::App& show, const std::string& kind,
                                               const std::string& extension) {
  auto source = std::make_shared<RecordSource>();
  auto* choice = show.add_option_group("source", "Where the " + kind + " is read from");
  choice->add_option("name", source->name,
                     "Name of a stored " + kind + " (its file name without " + extension + ")");
  choice->add_option("--file", source->file,
                     "Path of a " + kind + " file anywhere, used as given; - for standard input");
  choice->require_option(1);
  return source;
}

std::string PolarityText(WQCommon::PolarityTypes polarity) {
  if (polarity != WQCommon::Positive && polarity != WQCommon::Negative)
    return "unknown polarity " + std::to_string(polarity);
  return Narrow(WQCommon::PolarityToWStr(polarity));
}

std::string KindText(WQBL::SequenceItem::ItemKinds kind) {
  switch (kind) {
    case WQBL::SequenceItem::FullScan:
      return "full scan";
    case WQBL::SequenceItem::SIM:
      return "SIM";
    default:
      return "unknown kind " + std::to_string(kind);
  }
}

std::string ItemText(const WQBL::SequenceItem& item) {
  std::ostringstream text;
  text << KindText(item.Kind);
  if (item.Kind == WQBL::SequenceItem::FullScan)
    text << " m/z " << item.StartMZ << '-' << item.EndMZ;
  else if (item.Kind == WQBL::SequenceItem::SIM)
    text << " m/z " << item.StartMZ;
  text << ", dwell " << item.DwellTime << " s, " << item.Duration << " s, "
       << PolarityText(item.Polarity) << ", tune " << item.TuneId;
  return text.str();
}

void PrintMethod(const WQBL::Method& method) {
  std::cout << "Time periods: " << method.TimePeriods.size() << '\n';
  for (std::size_t tp = 0; tp < method.TimePeriods.size(); ++tp) {
    const WQBL::TimePeriod& period = method.TimePeriods[tp];
    std::cout << "  " << tp + 1 << ". " << period.Duration << " min, " << period.NumLoops
              << " loop(s), time-out " << period.Timeout << " ms, " << period.Items.size()
              << " item(s)\n";
    for (std::size_t item = 0; item < period.Items.size(); ++item)
      std::cout << "       " << item + 1 << ". " << ItemText(period.Items[item]) << '\n';
  }
  std::cout << "Tunes: " << method.Tunes.size() << '\n';
  for (const auto& [id, entry] : method.Tunes) {
    std::cout << "  " << id << ": " << Shown(entry.Name) << " ("
              << Narrow(WQCommon::Probes::GetName(entry.Probe)) << ", "
              << PolarityText(entry.Polarity) << ")\n";
  }
}

void PrintTune(const WQBL::Tune& tune) {
  const std::pair<const char*, double> parameters[] = {
      {"Capillary voltage (kV)", tune.CapillaryVoltage},
      {"Cone voltage (V)", tune.ConeVoltage},
      {"Extractor voltage (V)", tune.ExtractorVoltage},
      {"RF lens voltage (V)", tune.RFLensVoltage},
      {"Source temperature (C)", tune.SourceTemperature},
      {"Desolvation temperature (C)", tune.DesolvationTemperature},
      {"Cone gas flow (L/h)", tune.ConeGasFlow},
      {"Desolvation gas flow (L/h)", tune.DesolvationGasFlow},
      {"Low mass resolution", tune.LowMassResolution},
      {"High mass resolution", tune.HighMassResolution}};
  for (const auto& [label, value] : parameters)
    std::cout << std::left << std::setw(29) << label << value << '\n';
  std::cout << std::left << std::setw(29) << "Polarity" << PolarityText(tune.Polarity) << '\n';
}

}  // namespace

void AddMethodCommands(CLI::App& app) {
  auto* methods = app.add_subcommand(
      "methods", "Acquisition methods: the .kem files of the acquisition method directory.");
  methods->require_subcommand(1);
  auto* list =
      methods->add_subcommand("list", "List the names of the stored acquisition methods, sorted.");
  list->callback([json = AddJsonFlag(*list)] {
    PrintNames(StoredNames(MethodsKind(), "acquisition methods"),
               "No acquisition methods are stored.", *json);
  });
  auto* show = methods->add_subcommand(
      "show",
      "Load an acquisition method, by name or from a file, and show its time periods with their "
      "time-outs (completed for periods without a duration, as the acquisition uses them), their "
      "sequence items and the method's tune table. With --json, the method as stored (time-outs "
      "not completed), the form that import reads.");
  const auto source = AddSourceOptions(*show, "acquisition method", ".kem");
  show->callback([source, json = AddJsonFlag(*show)] {
    InitializedConfig();
    const InputFile file(source->file);
    if (*json) {
      PrintJson(file.Path().empty() ? MethodsKind().read(Wide(source->name))
                                    : ToJson(WQRepos::LoadStoredAcqMethodFile(Wide(file.Path()))));
      return;
    }
    PrintMethod(file.Path().empty() ? WQRepos::LoadAcqMethod(Wide(source->name))
                                    : WQRepos::LoadFullyQualifiedAcqMethod(Wide(file.Path())));
  });
  AddNamedKindCommands(
      *methods, "acquisition method", [](bool) -> const NamedKind& { return MethodsKind(); },
      false);
}

void AddTuneCommands(CLI::App& app) {
  auto* tunes = app.add_subcommand("tunes", "Tunes: the .ket files of the tunes directory.");
  tunes->require_subcommand(1);
  auto* list = tunes->add_subcommand("list", "List the names of the stored tunes, sorted.");
  list->callback([json = AddJsonFlag(*list)] {
    PrintNames(StoredNames(TunesKind(), "tunes"), "No tunes are stored.", *json);
  });
  auto* show = tunes->add_subcommand(
      "show", "Load a tune, by name or from a file, and show its tuning parameters.");
  const auto source = AddSourceOptions(*show, "tune", ".ket");
  show->callback([source, json = AddJsonFlag(*show)] {
    InitializedConfig();
    const InputFile file(source->file);
    const WQBL::Tune tune = file.Path().empty()
                                ? WQRepos::LoadTune(Wide(source->name))
                                : WQRepos::LoadFullyQualifiedTune(Wide(file.Path()));
    if (*json)
      PrintJson(ToJson(tune));
    else
      PrintTune(tune);
  });
  AddNamedKindCommands(
      *tunes, "tune", [](bool) -> const NamedKind& { return TunesKind(); }, false);
}

}  // namespace wqtool
