#include <WQRepos/CentroidExport.h>
#include <gmock/gmock.h>

#include "export/ExportSupport.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using WQRepos::StickFigureData;

pugi::xml_document Document(const WQBL::Spectrum& spectrum) {
  return Serialized(StickFigureData(spectrum, FileWithTuneRuns()));
}

TEST(StickFigureData, SpectrumWithoutPeaksHasEmptyListsAndZeroMaxima) {
  EXPECT_THAT(Texts(Document(SpectrumWithPeaks({1.0, 2.0}, {})),
                    "//@MaxAmplitude | //@MaxArea | //@Count | //Peaks/*"),
              ElementsAre("0", "0", "0", "", "", ""));
}

// The name is escaped (the document would not parse otherwise) and the first scan number written.
// Positions take four decimals below 10,000 and fewer above, down to none from 10,000,000;
// other values take four significant digits up to 10,000 and six above (never fewer, which would
// lose the value). Amplitudes are truncated toward zero and saturate at the 32-bit range; a
// negative retention time is written as the unsigned reading of its 32 bits.
TEST(StickFigureData, NumbersTakeTheDigitsOfTheirMagnitudeAndTheRangeOfTheirType) {
  const std::vector<double> x = {10000.0, 10000.5, 100000.0, 0.5, 12345678.9, 1234567.26, -3.25};
  std::vector<WQBL::Peak> peaks = {PeakAt(0, 3e9, 12345678.9, 12.3456),
                                   PeakAt(1, -3e9, 0.000123456789, 1.0), PeakAt(2, -2.5, 0, 0)};
  for (std::size_t i = 3; i < x.size(); ++i) peaks.push_back(PeakAt(i, 0, 0, 0));
  WQBL::Spectrum spectrum = SpectrumWithPeaks(x, peaks);
  spectrum.Name = L"Scan <12>";
  spectrum.ScanNumbers = {12, 13};
  spectrum.TIC = 1234.5678;
  spectrum.RetentionTime = -1.5;
  const pugi::xml_document document = Document(spectrum);
  EXPECT_THAT(
      Texts(document, "//Peaks/*"),
      ElementsAre("10000.0000 10000.500 100000.00 0.5000 12345679 1234567.3 -3.2500",
                  "2147483647 -2147483648 -2 0 0 0 0", "1.23457e+07 0.000123457 0 0 0 0 0"));
  EXPECT_THAT(Texts(document,
                    "//@Name | //@ScanNumber | //@RetentionTime | //@TIC | "
                    "//@MaxAmplitude | //@MaxArea"),
              ElementsAre("Scan <12>", "12", "4294967295", "1235", "12.35", "1.23457e+07"));
  for (const auto& [tic, text] :
       {std::pair{10000.0, "1e+04"}, std::pair{76486.5, "76486.5"}, std::pair{123456.789, "123457"},
        std::pair{1.5e6, "1.5e+06"}, std::pair{4077636.0, "4.07764e+06"}}) {
    spectrum.TIC = tic;
    EXPECT_THAT(Texts(Document(spectrum), "//@TIC"), ElementsAre(text));
  }
}

}  // namespace
