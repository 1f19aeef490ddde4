// Time of peak detection with the export's default spectrum parameters on synthetic profile
// spectra of 15,000 to 480,000 points: a sloping baseline, noise that is correlated over
// neighbouring points as in measured profile data, and an isotope-like peak every 300 points. The
// six sizes, and the fitted complexity, show whether the time grows linearly with the points.
#include <WQBL/PeakProcessing.h>
#include <WQBL/Spectrum.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPeakSpacing = 300;
constexpr double kPeakWidth = 2.5;  // standard deviation, in points

WQBL::Spectrum ProfileSpectrum(std::size_t points) {
  std::mt19937 random(42);
  std::normal_distribution<double> noise(0.0, 20.0);
  std::uniform_real_distribution<double> height(200.0, 5000.0);
  std::vector<double> mz(points);
  std::vector<double> intensity(points);
  double previousNoise = 0.0;
  for (std::size_t i = 0; i < points; ++i) {
    mz[i] = 1000.0 + 4000.0 * static_cast<double>(i) / static_cast<double>(points);
    previousNoise = 0.7 * previousNoise + noise(random);
    intensity[i] = 400.0 - 0.001 * static_cast<double>(i) + previousNoise;
  }
  for (std::size_t apex = kPeakSpacing / 2; apex + 20 < points; apex += kPeakSpacing) {
    const double top = height(random);
    for (std::size_t k = apex - 20; k <= apex + 20; ++k) {
      const double offset = (static_cast<double>(k) - static_cast<double>(apex)) / kPeakWidth;
      intensity[k] += top * std::exp(-0.5 * offset * offset);
    }
  }
  WQBL::Spectrum spectrum;
  spectrum.AssignXAxis(std::move(mz));
  spectrum.AssignYValues(std::move(intensity));
  return spectrum;
}

void PeakDetect(benchmark::State& state) {
  const auto points = static_cast<std::size_t>(state.range(0));
  WQBL::Spectrum spectrum = ProfileSpectrum(points);
  for (auto _ : state) {
    WQBL::Changed changed;
    std::wstring message;
    if (!WQBL::ExecutePeakDetect(spectrum, changed, message)) state.SkipWithError("not detected");
    benchmark::DoNotOptimize(spectrum.QPeaks().data());
  }
  state.counters["peaks"] = static_cast<double>(spectrum.QPeaks().size());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
  state.SetComplexityN(state.range(0));
}

BENCHMARK(PeakDetect)
    ->Arg(15000)
    ->Arg(30000)
    ->Arg(60000)
    ->Arg(120000)
    ->Arg(240000)
    ->Arg(480000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
