#include <WQDataFile/SyntheticRun.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "Random.h"

namespace WQDataFile {

namespace {

// Monoisotopic masses: sodium iodide, and the sodium ion (the atom less an electron).
constexpr double kSodiumIodide = 22.98976928 + 126.904473;
constexpr double kSodiumIon = 22.98976928 - 0.00054858;
// A Gaussian peak's full width at half height in standard deviations: 2·sqrt(2·ln 2).
constexpr double kWidthInSigmas = 2.3548200450309493;
// How far from its centre, in standard deviations, a peak still adds counts worth computing.
constexpr double kPeakReach = 6.0;
// The run's one tune run, of the method's tune 1.
const TuneRun kRunTune{1};

WQBL::Method CalibrationMethod(const SyntheticRunSettings& settings, std::size_t points) {
  WQBL::SequenceItem scan;
  scan.Kind = WQBL::SequenceItem::FullScan;
  scan.StartMZ = settings.LowMZ;
  scan.EndMZ = settings.HighMZ;
  scan.Duration = settings.ScanTime;
  scan.DwellTime = settings.ScanTime / static_cast<double>(points);
  scan.Polarity = WQCommon::Positive;
  scan.TuneId = 1;
  WQBL::TimePeriod period;
  period.Duration = settings.ScanCount * settings.ScanTime / 60.0;
  period.Items.push_back(scan);
  WQBL::Method method;
  method.TimePeriods.push_back(period);
  method.Tunes[1] = WQBL::TuneEntry(L"Calibration ESI+", WQCommon::Probes::ESI, WQCommon::Positive);
  method.Tunes[2] = WQBL::TuneEntry(L"Calibration ESI-", WQCommon::Probes::ESI, WQCommon::Negative);
  return method;
}

// The calibrants' counts at the apex of the run at each m/z of the axis.
std::vector<double> CalibrantSignal(const SyntheticRunSettings& settings,
                                    const std::vector<double>& axis) {
  const double sigma = settings.PeakWidth / kWidthInSigmas;
  std::vector<double> signal(axis.size(), 0.0);
  for (const Calibrant& calibrant : settings.Calibrants) {
    const auto first =
        std::lower_bound(axis.begin(), axis.end(), calibrant.MZ - kPeakReach * sigma);
    const auto last = std::upper_bound(first, axis.end(), calibrant.MZ + kPeakReach * sigma);
    for (auto mz = first; mz != last; ++mz) {
      const double z = (*mz - calibrant.MZ) / sigma;
      signal[mz - axis.begin()] += calibrant.Height * std::exp(-z * z / 2.0);
    }
  }
  return signal;
}

// Throws DataFileError naming the first setting that is not a finite number.
void CheckFinite(const SyntheticRunSettings& settings) {
  const std::pair<const char*, double> numbers[] = {{"ScanTime", settings.ScanTime},
                                                    {"LowMZ", settings.LowMZ},
                                                    {"HighMZ", settings.HighMZ},
                                                    {"MZStep", settings.MZStep},
                                                    {"PeakWidth", settings.PeakWidth},
                                                    {"Baseline", settings.Baseline},
                                                    {"ProfileFloor", settings.ProfileFloor}};
  for (const auto& [name, value] : numbers) {
    if (!std::isfinite(value)) {
      throw DataFileError("Synthetic run setting " + std::string(name) +
                          " is not a finite number.");
    }
  }
  for (const Calibrant& calibrant : settings.Calibrants) {
    if (!std::isfinite(calibrant.MZ) || !std::isfinite(calibrant.Height)) {
      throw DataFileError("Synthetic run setting Calibrants holds a number that is not finite.");
    }
  }
}

// The share of the calibrants' height in scan `scan`: the highest of the humps, each flat over
// PlateauScans around its apex and falling as a Gaussian an eighth of its share of the run wide
// (a standard deviation) on either side, above the floor.
double Profile(std::uint32_t scan, const SyntheticRunSettings& settings) {
  double highest = 0.0;
  for (std::uint32_t hump = 0; hump < settings.Humps; ++hump) {
    const double apex = SyntheticRunSettings::HumpApex(settings.ScanCount, settings.Humps, hump);
    const double beyond = std::max(std::fabs(scan - apex) - settings.PlateauScans / 2.0, 0.0);
    const double z = beyond / std::max(settings.ScanCount / (8.0 * settings.Humps), 1.0);
    highest = std::max(highest, std::exp(-z * z / 2.0));
  }
  return settings.ProfileFloor + (1.0 - settings.ProfileFloor) * highest;
}

// What every scan of a run shares: its m/z axis and the calibrants' signal at the apex of the run.
struct RunPlan {
  std::vector<double> Axis;
  std::vector<double> Signal;
};

RunPlan PlanOf(const SyntheticRunSettings& settings) {
  CheckFinite(settings);
  if (settings.ScanCount == 0 || !(settings.MZStep > 0.0) || !(settings.HighMZ >= settings.LowMZ) ||
      settings.Humps == 0) {
    throw DataFileError("Synthetic run settings give no scans, no points or no humps.");
  }
  if (settings.ProfileFloor < 0.0 || settings.ProfileFloor > 1.0) {
    throw DataFileError("Synthetic run setting ProfileFloor is not between 0 and 1.");
  }
  const auto points =
      static_cast<std::size_t>((settings.HighMZ - settings.LowMZ) / settings.MZStep + 1e-9) + 1;
  RunPlan plan;
  plan.Axis.resize(points);
  for (std::size_t i = 0; i < points; ++i) plan.Axis[i] = settings.LowMZ + settings.MZStep * i;
  plan.Signal = CalibrantSignal(settings, plan.Axis);
  return plan;
}

std::wstring DescriptionOf(const SyntheticRunSettings& settings) {
  return L"Synthetic calibration run, " + std::to_wstring(settings.ScanCount) + L" scans, run " +
         std::to_wstring(settings.RunNumber);
}

// Hands each scan of the run to `visit` as it is made, in order.
template <typename Visit>
void MakeScans(const SyntheticRunSettings& settings, const RunPlan& plan, Visit visit) {
  detail::RandomSource noise(settings.RunNumber);
  Scan scan;
  scan.MZ = plan.Axis;
  scan.Intensity.resize(plan.Axis.size());
  for (std::uint32_t s = 0; s < settings.ScanCount; ++s) {
    scan.ScanNumber = s + 1;
    scan.RetentionTime = s * settings.ScanTime;
    const double profile = Profile(s, settings);
    for (std::size_t i = 0; i < plan.Signal.size(); ++i) {
      const double expected = settings.Baseline + profile * plan.Signal[i];
      scan.Intensity[i] = std::max(0.0, expected + std::sqrt(expected) * noise.Normal());
    }
    visit(scan);
  }
}

}  // namespace

SyntheticRunSettings::SyntheticRunSettings()
    : ScanCount(120),
      ScanTime(0.5),
      LowMZ(100.0),
      HighMZ(2000.0),
      MZStep(0.1),
      PeakWidth(0.6),
      Calibrants(SodiumIodideClusters(100.0, 2000.0, 50000.0)),
      Baseline(20.0),
      RunNumber(1),
      CreateTime(1704067200),
      Humps(1),
      PlateauScans(0),
      ProfileFloor(0.1) {}

double SyntheticRunSettings::HumpApex(std::uint32_t scanCount, std::uint32_t humps,
                                      std::uint32_t hump) {
  return (hump + 0.5) * scanCount / humps - 0.5;
}

std::vector<Calibrant> SyntheticRunSettings::SodiumIodideClusters(double lowMZ, double highMZ,
                                                                  double firstHeight) {
  if (!std::isfinite(lowMZ) || !std::isfinite(highMZ) || !std::isfinite(firstHeight)) {
    throw DataFileError("Sodium iodide clusters need a finite m/z range and height.");
  }
  std::vector<Calibrant> clusters;
  double height = firstHeight;
  for (int n = 1;; ++n) {
    const double mz = kSodiumIon + n * kSodiumIodide;
    if (mz > highMZ) break;
    if (mz < lowMZ) continue;
    clusters.push_back({mz, height});
    height *= 0.85;
  }
  return clusters;
}

CalDataFile GenerateSyntheticRun(const std::wstring& fileName,
                                 const SyntheticRunSettings& settings) {
  const RunPlan plan = PlanOf(settings);
  CalDataFile file(fileName, DescriptionOf(settings), settings.CreateTime,
                   CalibrationMethod(settings, plan.Axis.size()));
  file.AddTuneRun(kRunTune);
  MakeScans(settings, plan, [&file](const Scan& scan) { file.AddScan(scan); });
  return file;
}

void WriteSyntheticRun(const std::wstring& fileName, const SyntheticRunSettings& settings,
                       const std::function<void(std::uint32_t, std::uint32_t)>& progress) {
  const RunPlan plan = PlanOf(settings);
  DataFileWriter writer(fileName, DescriptionOf(settings), settings.CreateTime,
                        CalibrationMethod(settings, plan.Axis.size()), {kRunTune},
                        settings.ScanCount);
  std::uint32_t done = 0;
  MakeScans(settings, plan, [&](const Scan& scan) {
    writer.AddScan(scan);
    if (progress) progress(++done, settings.ScanCount);
  });
  writer.Commit();
}

}  // namespace WQDataFile
