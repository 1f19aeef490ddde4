#include <WQRepos/CentroidExport.h>
#include <gmock/gmock.h>

#include "export/ExportSupport.h"

namespace {

using namespace wqtest;
using ::testing::StrEq;
using WQRepos::StickFigureData;

// The "Spectrum" element of the stick figure of `spectrum`, parsed.
pugi::xml_document Element(const WQBL::Spectrum& spectrum) {
  WQCommon::XMLBuilder builder;
  StickFigureData(spectrum, FileWithTuneRuns(L"/cal/run7.dat")).Serialize(builder);
  return ParseXml(builder.QXML());
}

const char* Attribute(const pugi::xml_document& element, const char* name) {
  return element.child("Spectrum").attribute(name).value();
}

const char* List(const pugi::xml_document& element, const char* name) {
  return element.child("Spectrum").child("Peaks").child_value(name);
}

TEST(StickFigureData, SpectrumElementHasItsLayout) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks(
      {150.0, 150.5, 151.0}, {PeakAt(0.5, 99.9, 1234.5678, 120.0), PeakAt(2.0, -2.5, 10.0, 130.0)});
  spectrum.Name = L"Scan <12>";
  spectrum.ScanNumbers = {12, 13};
  spectrum.TuneRunIndex = 1;
  spectrum.RetentionTime = 12.99;
  spectrum.TIC = 1234.5678;
  WQCommon::XMLBuilder builder;
  StickFigureData(spectrum, FileWithTuneRuns(L"/cal/run7.dat")).Serialize(builder);
  EXPECT_EQ(builder.QXML(),
            L"<?xml version=\"1.0\"?>\n"
            L"<Spectrum Name=\"Scan &lt;12>\" TuneId=\"5\" ScanNumber=\"12\" "
            L"RetentionTime=\"12\" TIC=\"1235\" MaxAmplitude=\"130\" MaxArea=\"1235\">\n"
            L"\t<Peaks Count=\"2\">\n"
            L"\t\t<CentroidX>150.2500 151.0000</CentroidX>\n"
            L"\t\t<CentroidAmpl>99 -2</CentroidAmpl>\n"
            L"\t\t<Area>1234.57 10</Area>\n"
            L"\t</Peaks>\n"
            L"</Spectrum>\n");
}

TEST(StickFigureData, SpectrumWithoutPeaksHasEmptyListsAndZeroMaxima) {
  const pugi::xml_document element = Element(SpectrumWithPeaks({1.0, 2.0}, {}));
  EXPECT_THAT(element.child("Spectrum").child("Peaks").attribute("Count").value(), StrEq("0"));
  for (const char* list : {"CentroidX", "CentroidAmpl", "Area"}) {
    EXPECT_TRUE(element.child("Spectrum").child("Peaks").child(list)) << list;
    EXPECT_THAT(List(element, list), StrEq("")) << list;
  }
  EXPECT_THAT(Attribute(element, "MaxAmplitude"), StrEq("0"));
  EXPECT_THAT(Attribute(element, "MaxArea"), StrEq("0"));
}

TEST(StickFigureData, AmplitudesAndRetentionTimesAreTruncatedTowardZero) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks(
      {1.0, 2.0, 3.0, 4.0},
      {PeakAt(0, 99.9, 0, 0), PeakAt(1, -2.5, 0, 0), PeakAt(2, 3e9, 0, 0), PeakAt(3, -3e9, 0, 0)});
  spectrum.RetentionTime = 12.99;
  EXPECT_THAT(List(Element(spectrum), "CentroidAmpl"), StrEq("99 -2 2147483647 -2147483648"));
  EXPECT_THAT(Attribute(Element(spectrum), "RetentionTime"), StrEq("12"));
  // Negative values are written as the unsigned reading of their 32 bits.
  spectrum.RetentionTime = -1.5;
  EXPECT_THAT(Attribute(Element(spectrum), "RetentionTime"), StrEq("4294967295"));
}

TEST(StickFigureData, CentroidPositionsTakeTheDecimalsOfTheirMagnitude) {
  const std::vector<double> x = {10000.0, 10000.5, 100000.0, 0.5, 12345678.9, 1234567.26, -3.25};
  std::vector<WQBL::Peak> peaks;
  for (std::size_t i = 0; i < x.size(); ++i) peaks.push_back(PeakAt(i, 0, 0, 0));
  EXPECT_THAT(List(Element(SpectrumWithPeaks(x, peaks)), "CentroidX"),
              StrEq("10000.0000 10000.500 100000.00 0.5000 12345679 1234567.3 -3.2500"));
}

TEST(StickFigureData, SummaryValuesTakeTheSignificantDigitsOfTheirMagnitude) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks(
      {1.0, 2.0}, {PeakAt(0, 0, 12345678.9, 12.3456), PeakAt(1, 0, 0.000123456789, 1.0)});
  spectrum.TIC = 1234.5678;
  pugi::xml_document element = Element(spectrum);
  EXPECT_THAT(Attribute(element, "TIC"), StrEq("1235"));
  EXPECT_THAT(Attribute(element, "MaxAmplitude"), StrEq("12.35"));
  // From 10,000,000 on, general notation keeps six digits rather than one.
  EXPECT_THAT(Attribute(element, "MaxArea"), StrEq("1.23457e+07"));
  EXPECT_THAT(List(element, "Area"), StrEq("1.23457e+07 0.000123457"));
  spectrum.TIC = 123456.789;
  EXPECT_THAT(Attribute(Element(spectrum), "TIC"), StrEq("1.2e+05"));
}

TEST(StickFigureData, TuneIdIsThatOfTheTuneRunNotItsIndex) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks({1.0}, {});
  spectrum.TuneRunIndex = 0;
  const WQDataFile::CalDataFile file = FileWithTuneRuns(L"/cal/run7.dat");
  EXPECT_EQ(StickFigureData(spectrum, file).GetTuneId(), 3);
  spectrum.TuneRunIndex = 2;
  EXPECT_THROW(StickFigureData(spectrum, file), WQDataFile::DataFileError);
}

TEST(StickFigureData, ChecksumCoversTheUtf16TextLessItsLastTwoCharacters) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks({1.0, 2.0}, {PeakAt(1, 7, 8, 9)});
  // A character beyond the Basic Multilingual Plane takes two UTF-16 code units.
  spectrum.Name = L"\u00e9t\u00e9 \U0001F600";
  const StickFigureData stick(spectrum, FileWithTuneRuns(L"/cal/run7.dat"));
  WQCommon::XMLBuilder builder;
  stick.Serialize(builder);
  boost::crc_32_type expected;
  FeedUtf16(expected, builder.QXML());
  boost::crc_32_type actual;
  stick.ProcessChecksum(actual);
  EXPECT_EQ(Hex(actual.checksum()), Hex(expected.checksum()));
}

TEST(StickFigureData, ChecksumIsTheStandardCrc32) {
  boost::crc_32_type digits;
  digits.process_bytes("123456789", 9);
  EXPECT_EQ(Hex(digits.checksum()), "cbf43926");
  // The UTF-16 text "mnopq" less its last two characters.
  boost::crc_32_type text;
  text.process_bytes("m\0n\0o\0", 6);
  EXPECT_EQ(Hex(text.checksum()), "3c344a7f");
}

}  // namespace
