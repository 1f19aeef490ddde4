#include <WQRepos/EntryPoints.h>
#include <WQRepos/SystemConfiguration.h>

#include <iomanip>
#include <iostream>

#include "Commands.h"

namespace wqtool {
namespace {

void Line(const char* label) { std::cout << std::left << std::setw(22) << label; }

void PrintSystemConfiguration() {
  WQRepos::Initialize();
  const WQRepos::SystemConfiguration configuration = WQRepos::LoadSystemConfiguration();
  const WQBL::Syringe& syringe = configuration.Syringe;
  Line("System name:");
  std::cout << Narrow(configuration.SystemName) << '\n';
  Line("User name:");
  std::cout << Narrow(configuration.UserName) << '\n';
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
  std::cout << configuration.MethodTimePeriods << '\n';
}

}  // namespace

void AddSysconfigCommand(CLI::App& app) {
  auto* sysconfig = app.add_subcommand(
      "sysconfig",
      "The system configuration (SystemConfiguration.xml in the preferences directory).");
  sysconfig->require_subcommand(1);
  sysconfig
      ->add_subcommand("show",
                       "Show the system configuration as the application loads it: the defaults "
                       "where the document or one of its elements is missing.")
      ->callback(PrintSystemConfiguration);
}

}  // namespace wqtool
