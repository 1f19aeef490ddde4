#include <WQCommon/System.h>
#include <WQCommon/XML.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/SystemConfiguration.h>

#include <iomanip>
#include <iostream>
#include <stdexcept>

#include "Commands.h"
#include "RecordJson.h"
#include "XmlSplice.h"

namespace wqtool {
namespace {

void Line(const char* label) { std::cout << std::left << std::setw(22) << label; }

// The module shows the defaults for a document it cannot parse, as for a missing one; the tool
// says so.
void CheckParsable(const std::wstring& document) {
  WQCommon::XMLParser parser;
  if (WQCommon::FileExists(document) && !parser.LoadFile(document)) {
    throw std::runtime_error("warning: the system configuration " + Narrow(document) +
                             " cannot be read, so the defaults are shown");
  }
}

void PrintSystemConfiguration(bool json) {
  const WQRepos::Config config = InitializedConfig();
  const WQRepos::SystemConfiguration configuration = WQRepos::LoadSystemConfiguration();
  const std::wstring document =
      config.QDirectory(WQRepos::Config::PrefsDir) + L"/SystemConfiguration.xml";
  if (json) {
    PrintJson(ToJson(configuration));
    CheckParsable(document);
    return;
  }
  const WQBL::Syringe& syringe = configuration.Syringe;
  Line("System name:");
  std::cout << Shown(configuration.SystemName) << '\n';
  Line("User name:");
  std::cout << Shown(configuration.UserName) << '\n';
  Line("Syringe:");
  std::cout << syringe.Volume << " uL, inner diameter " << syringe.Diameter << " mm, "
            << syringe.FlowRate << " uL/min, " << (syringe.Enabled ? "in use" : "not in use")
            << '\n';
  Line("Polarity switch:");
  std::cout << configuration.PolaritySwitch << " s\n";
  Line("Calibration source:");
  std::cout << Narrow(WQRepos::SystemConfiguration::QAnalyteSourceName(configuration.CalSource))
            << '\n';
  Line("Tune probe:");
  std::cout << Narrow(WQCommon::Probes::GetName(configuration.TuneProbeId)) << '\n';
  Line("Method time periods:");
  std::cout << configuration.MethodTimePeriods << std::endl;
  CheckParsable(document);
}

// Stores `configuration`: the elements it writes replace theirs in the stored document, whose
// other elements stay as they are; as the module writes it when there is none.
void StoreSystemConfiguration(const WQRepos::SystemConfiguration& configuration) {
  const std::string path = Narrow(InitializedConfig().QDirectory(WQRepos::Config::PrefsDir)) +
                           "/SystemConfiguration.xml";
  const std::optional<std::string> existing = ExistingDocument(path);
  if (!existing) {
    WQRepos::SaveSystemConfiguration(configuration);
    return;
  }
  WQCommon::XMLBuilder builder;
  configuration.Serialize(builder);
  WQRepos::SaveStoredFile(
      WQRepos::Config::PrefsDir, L"SystemConfiguration", L".xml",
      WithChildren(*existing, path, "SystemConfiguration", ChildElements(builder.TopElementText())));
}

}  // namespace

void AddSysconfigCommand(CLI::App& app) {
  auto* sysconfig = app.add_subcommand(
      "sysconfig",
      "The system configuration (SystemConfiguration.xml in the preferences directory).");
  sysconfig->require_subcommand(1);
  auto* show = sysconfig->add_subcommand(
      "show",
      "Show the system configuration as the application loads it: the defaults where the "
      "document or one of its elements is missing.");
  show->callback([json = AddJsonFlag(*show)] { PrintSystemConfiguration(*json); });
  AddImportCommand(*sysconfig, "the system configuration (the document's other elements are kept)",
                   [](const JsonInput& input) {
                     StoreSystemConfiguration(
                         ReadRecord<WQRepos::SystemConfiguration>(input.json, input.source, true));
                   });
}

}  // namespace wqtool
