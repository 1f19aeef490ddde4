#include <WQBL/PeakProcessing.h>
#include <WQDataFile/DataFile.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "OpenFormatSamples.h"

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Ge;
using ::testing::IsEmpty;
using ::testing::Le;
using ::testing::SizeIs;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

const fs::path kData = WQDATAFILE_TEST_DATA;

std::string Floats(const std::vector<double>& values) {
  return wqfuzz::Base64(
      std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double)));
}

// An mzML run of one profile spectrum, numbered 1, with these points.
std::string ProfileMzML(const std::vector<double>& mz, const std::vector<double>& intensity) {
  auto array = [](const std::string& binary, const char* accession, const char* name) {
    return "<binaryDataArray encodedLength=\"" + std::to_string(binary.size()) +
           "\"><cvParam cvRef=\"MS\" accession=\"MS:1000523\" name=\"64-bit float\"/><cvParam "
           "cvRef=\"MS\" accession=\"" +
           accession + "\" name=\"" + name + "\"/><binary>" + binary +
           "</binary></binaryDataArray>";
  };
  return "<mzML><run id=\"r\"><spectrumList count=\"1\"><spectrum index=\"0\" id=\"scan=1\" "
         "defaultArrayLength=\"" +
         std::to_string(mz.size()) +
         "\"><cvParam cvRef=\"MS\" accession=\"MS:1000128\" name=\"profile spectrum\"/>"
         "<binaryDataArrayList count=\"2\">" +
         array(Floats(mz), "MS:1000514", "m/z array") +
         array(Floats(intensity), "MS:1000515", "intensity array") +
         "</binaryDataArrayList></spectrum></spectrumList></run></mzML>\n";
}

// Instruments that acquire a spectrum in m/z windows write points of zero intensity where the
// windows meet, repeating the m/z before them or below it, and a zero may stand before a point
// that undercuts it. Those zeros carry nothing and are left out; a point with signal out of order
// is refused, naming the scan and the m/z.
TEST(RealSpectra, ZerosAtWindowSeamsAreLeftOutAndSignalOutOfOrderIsRefused) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const fs::path seams = scratch.Path() / "seams.mzML";
  WQPlatformTesting::WriteBytes(
      seams, ProfileMzML({100.0, 100.1, 100.1, 100.2, 100.15, 100.3, 100.25, 100.26},
                         {5.0, 7.0, 0.0, 6.0, 0.0, 0.0, 4.0, 3.0}));
  const CalDataFile file(seams.wstring());
  EXPECT_THAT(file.QScan(0).MZ, ElementsAre(100.0, 100.1, 100.2, 100.25, 100.26));
  EXPECT_THAT(file.QScan(0).Intensity, ElementsAre(5.0, 7.0, 6.0, 4.0, 3.0));
  EXPECT_EQ(file.QScanSummary(0).Header.SeamZerosDropped, 3u);
  const fs::path disorder = scratch.Path() / "disorder.mzML";
  WQPlatformTesting::WriteBytes(disorder, ProfileMzML({100.0, 100.2, 100.1}, {5.0, 7.0, 3.0}));
  EXPECT_THAT([&] { CalDataFile{disorder.wstring()}; },
              ThrowsMessage<DataFileError>(StrEq("Scan 1 of " + disorder.string() +
                                                 " has m/z values that do not ascend: 100.1 "
                                                 "follows 100.2.")));
}

// What the peaks of a run's profile scans, found with the export's defaults, hold.
struct RunFigures {
  std::size_t Scans = 0;
  std::size_t BasePeaksFound = 0;  // scans whose highest point has a centroid near it
  std::size_t StrongMaxima = 0;    // highest within 3 points either way, at least 10% of the base
  std::size_t StrongFound = 0;
  // Highest within 2 points either way, at least 10% of the base: also the isotopes of an ion
  // trap's doubly charged ions, half a m/z apart at three or four points a width.
  std::size_t CloseMaxima = 0;
  std::size_t CloseFound = 0;
  std::size_t NotPositive = 0;  // centroids at or below 0 intensity
};

RunFigures Pick(const std::wstring& name) {
  const CalDataFile file((kData / name).wstring());
  RunFigures figures;
  for (std::uint32_t i = 0; i < file.QNumScanSpectra(); ++i) {
    if (file.QScan(i).Centroided) continue;
    const auto spectrum = file.GenerateAveragedSpectrum({file.QScan(i).ScanNumber}, {});
    WQBL::Changed changed;
    std::wstring message;
    EXPECT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
    std::vector<double> centres;
    for (const WQBL::Peak& peak : spectrum->QPeaks()) {
      centres.push_back(spectrum->FractionalIndexToXAxisVal(peak.CentroidIndex));
      figures.NotPositive += peak.CentroidAmplitude <= 0.0 || peak.Amplitude <= 0.0;
    }
    const std::vector<double>& x = spectrum->QXAxis();
    const std::vector<double>& y = spectrum->QYValues();
    // Within a point and a quarter of the point's place, by the local step.
    auto found = [&](std::size_t k) {
      const double step = (x[std::min(k + 1, x.size() - 1)] - x[k > 0 ? k - 1 : 0]) / 2.0;
      return std::any_of(centres.begin(), centres.end(),
                         [&](double centre) { return std::abs(centre - x[k]) <= 1.25 * step; });
    };
    const std::size_t base = std::max_element(y.begin(), y.end()) - y.begin();
    ++figures.Scans;
    figures.BasePeaksFound += found(base);
    for (std::size_t k = 3; k + 3 < y.size(); ++k) {
      if (y[k] < 0.1 * y[base] || *std::max_element(&y[k - 2], &y[k + 3]) > y[k]) continue;
      ++figures.CloseMaxima;
      figures.CloseFound += found(k);
      if (*std::max_element(&y[k - 3], &y[k + 4]) > y[k]) continue;
      ++figures.StrongMaxima;
      figures.StrongFound += found(k);
    }
  }
  return figures;
}

// Every real file reads and exports, no centroid lies at or below zero intensity (a third of an
// ion trap's did, on its clipped baseline), and the strong maxima are found. The shares are bounds
// below what the detector reaches, with a margin.
TEST(RealSpectra, EveryFileGivesPositiveCentroidsAndItsStrongPeaks) {
  struct Case {
    const wchar_t* File;
    std::size_t Scans;
    double BaseShare;
    double StrongShare;
    double CloseShare;
  };
  const Case cases[] = {{L"ltq-ft-ft-and-ion-trap-scans.mzML.gz", 14, 0.9, 0.95, 0.95},
                        {L"q-exactive-three-scans.mzML.gz", 3, 1.0, 0.95, 0.95},
                        {L"orbitrap-xl-three-scans.mzML.gz", 3, 1.0, 0.9, 0.9},
                        {L"qtrap-unit-resolution-50-scans.mzML.gz", 50, 0.95, 0.45, 0.4}};
  for (const Case& test : cases) {
    SCOPED_TRACE(fs::path(test.File).string());
    const RunFigures figures = Pick(test.File);
    EXPECT_EQ(figures.Scans, test.Scans);
    EXPECT_EQ(figures.NotPositive, 0u);
    EXPECT_GE(figures.BasePeaksFound, test.BaseShare * figures.Scans);
    EXPECT_GE(figures.StrongFound, test.StrongShare * figures.StrongMaxima);
    EXPECT_GE(figures.CloseFound, test.CloseShare * figures.CloseMaxima);
  }
}

// The Orbitrap's spectra against OpenMS PeakPickerHiRes's centroids at signal to noise 4: every
// one of them is found, at the same place, and few more.
TEST(RealSpectra, OrbitrapSpectraAgreeWithAnotherPickersCentroids) {
  const CalDataFile profile((kData / "orbitrap-xl-three-scans.mzML.gz").wstring());
  const CalDataFile picked((kData / "orbitrap-xl-three-scans_picked-sn4.mzML.gz").wstring());
  ASSERT_EQ(profile.QNumScanSpectra(), picked.QNumScanSpectra());
  WQBL::PeakListComparison comparison(0.005, 0.025);
  for (std::uint32_t i = 0; i < profile.QNumScanSpectra(); ++i) {
    const auto spectrum = profile.GenerateAveragedSpectrum({profile.QScan(i).ScanNumber}, {});
    WQBL::Changed changed;
    std::wstring message;
    ASSERT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
    std::vector<double> x, height;
    for (const WQBL::Peak& peak : spectrum->QPeaks()) {
      x.push_back(spectrum->FractionalIndexToXAxisVal(peak.CentroidIndex));
      height.push_back(peak.Amplitude);
    }
    comparison.Add(x, height, picked.QScan(i).MZ, picked.QScan(i).Intensity);
  }
  const WQBL::PeakListAgreement agreement = comparison.Agreement();
  EXPECT_GE(agreement.Recall, 0.98);
  EXPECT_GE(agreement.PrecisionNarrow, 0.98);
  EXPECT_LE(agreement.FoundPeaks, agreement.ReferencePeaks * 6 / 5);
  EXPECT_LT(agreement.MedianAbsoluteDifference, 0.001);
}

// The chromatogram of each kind of scan, of a run that alternates kinds, and its peaks.
WQBL::ICObj KindsAndPeaks(const CalDataFile& run) {
  WQBL::ICObj tic = run.GenerateTIC();
  WQBL::Changed changed;
  std::wstring message;
  EXPECT_TRUE(WQBL::ExecutePeakDetect(tic, changed, message));
  return tic;
}

// Runs that alternate kinds of scan: the LTQ FT its FT-ICR and ion-trap scans (told by their
// filter strings), the triple quadrupole two experiments (by their preset scan configurations,
// given as user parameters). The LTQ's 7 and 7 scans are too few for a peak. Of the triple
// quadrupole's 33 and 17, the first experiment holds real events of 2, 4 and 5 scans, 30 to 1,000
// times its other scans; the event of 5 scans (29 to 36) is a peak of 6 scans of that experiment,
// from the foot before it (27), and no peak lies on a scan that is not an event. (On the total ion
// current of both experiments, jumping tenfold from scan to scan, there was no peak.)
TEST(RealSpectra, EachKindOfScanOfAnAlternatingRunIsAChromatogramOfItsOwn) {
  const CalDataFile ltq((kData / "ltq-ft-ft-and-ion-trap-scans.mzML.gz").wstring());
  EXPECT_EQ(ltq.QScanSummary(0).Header.Definition.Text(),
            "filter FTMS + p ESI Full ms [200.00-2000.00]; configuration 1; polarity positive; "
            "window 200.0-2000.0");
  EXPECT_EQ(ltq.QScanSummary(1).Header.Definition.Text(),
            "filter ITMS + p ESI Full ms [200.00-2000.00]; configuration 2; polarity positive; "
            "window 200.0-2000.0");
  EXPECT_THAT(KindsAndPeaks(ltq).QPeaks(), IsEmpty());

  const CalDataFile qtrap((kData / "qtrap-unit-resolution-50-scans.mzML.gz").wstring());
  EXPECT_EQ(qtrap.QScanSummary(0).Header.Definition.Text(),
            "configuration 2; polarity negative; window 50-850");
  EXPECT_EQ(qtrap.QScanSummary(3).Header.Definition.Text(),
            "configuration 3; polarity negative; window 50-850");
  const WQBL::ICObj tic = KindsAndPeaks(qtrap);
  const std::vector<double>& total = tic.QYValues();
  ASSERT_THAT(tic.QPeaks(), SizeIs(AllOf(Ge(1u), Le(3u))));
  const std::vector<std::uint32_t> event{29, 31, 32, 34, 36};
  bool eventOfFive = false;
  for (std::int32_t p = 0; p < static_cast<std::int32_t>(tic.QPeaks().size()); ++p) {
    const WQBL::Peak& peak = tic.QPeaks()[p];
    ASSERT_EQ(tic.QScanKind(peak.ApexIndex), tic.QScanKind(0));
    double foot = total[peak.ApexIndex];
    for (std::uint32_t point = peak.StartIndex; point <= peak.EndIndex; ++point) {
      if (tic.QScanKind(point) == tic.QScanKind(0)) foot = std::min(foot, total[point]);
    }
    EXPECT_GT(total[peak.ApexIndex], 10.0 * foot);
    const std::vector<std::uint32_t> under = WQBL::QSpectrumUnderPeak(tic, p, WQBL::PeakScans);
    eventOfFive |= std::includes(under.begin(), under.end(), event.begin(), event.end());
  }
  EXPECT_TRUE(eventOfFive);
}

// The triple quadrupole writes a scan only over the stretches it measured signal in: the foot of
// that peak (scan 27) 106 points up to m/z 151, its event's scans 381 to 600 up to 188. The
// spectrum of the peak holds the ions of every scan, among them the highest of scans 29 and 32
// (m/z 60 and 159, beyond the foot's range), each at its mean over the 6 scans.
TEST(RealSpectra, SpectrumOfATripleQuadrupolesPeakHoldsTheStretchesOfAllItsScans) {
  const CalDataFile qtrap((kData / "qtrap-unit-resolution-50-scans.mzML.gz").wstring());
  const std::vector<std::uint32_t> under{27, 29, 31, 32, 34, 36};
  const auto spectrum = qtrap.GenerateAveragedSpectrum(under, {});
  WQBL::Changed changed;
  std::wstring message;
  ASSERT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
  EXPECT_THAT(spectrum->QPeaks(), SizeIs(Ge(6u)));
  for (const std::uint32_t number : {29u, 32u}) {
    const Scan scan = qtrap.QScan(number - 1);
    const auto base = std::max_element(scan.Intensity.begin(), scan.Intensity.end());
    const double mz = scan.MZ[static_cast<std::size_t>(base - scan.Intensity.begin())];
    const auto found = std::find_if(
        spectrum->QPeaks().begin(), spectrum->QPeaks().end(), [&](const WQBL::Peak& peak) {
          return std::abs(spectrum->FractionalIndexToXAxisVal(peak.CentroidIndex) - mz) < 0.2;
        });
    ASSERT_NE(found, spectrum->QPeaks().end()) << "scan " << number << ", m/z " << mz;
    EXPECT_GT(found->Amplitude, *base / 6.0 * 0.9);
  }
}

}  // namespace
}  // namespace WQDataFile
