// Calibration data and document checks shared by the export tests.
#pragma once

#include <WQBL/Spectrum.h>
#include <WQCommon/Text.h>
#include <WQDataFile/DataFile.h>
#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <cstdio>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace wqtest {

// A spectrum over `x` (all intensities zero) with the given peaks.
inline WQBL::Spectrum SpectrumWithPeaks(std::vector<double> x, std::vector<WQBL::Peak> peaks) {
  WQBL::Spectrum spectrum;
  spectrum.AssignYValues(std::vector<double>(x.size(), 0.0));
  spectrum.AssignXAxis(std::move(x));
  spectrum.AssignPeaks(std::move(peaks));
  return spectrum;
}

inline WQBL::Peak PeakAt(double centroidIndex, double centroidAmplitude, double area,
                         double amplitude) {
  WQBL::Peak peak;
  peak.CentroidIndex = centroidIndex;
  peak.CentroidAmplitude = centroidAmplitude;
  peak.Area = area;
  peak.Amplitude = amplitude;
  return peak;
}

// A calibration data file whose method knows tunes 1, 3 and 5 and whose tune runs 0 and 1 ran
// tunes 3 and 5.
inline WQDataFile::CalDataFile FileWithTuneRuns(const std::wstring& path) {
  WQBL::Method method;
  method.Tunes[1] = WQBL::TuneEntry(L"One", WQCommon::Probes::ESI, WQCommon::Positive);
  method.Tunes[3] = WQBL::TuneEntry(L"Three", WQCommon::Probes::APCI, WQCommon::Negative);
  method.Tunes[5] = WQBL::TuneEntry(L"Five", WQCommon::Probes::ESI, WQCommon::Negative);
  WQDataFile::CalDataFile file(path, L"Calibration", 0, method);
  file.AddTuneRun(WQDataFile::TuneRun{3});
  file.AddTuneRun(WQDataFile::TuneRun{5});
  return file;
}

inline pugi::xml_document ParseXml(const std::wstring& text) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(WQCommon::WQWideToNarrowStr(text).c_str()));
  return document;
}

inline std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
  return text;
}

// Feeds `text` into `crc` as UTF-16 code units, low byte first, less its last two characters.
inline void FeedUtf16(boost::crc_32_type& crc, const std::wstring& text) {
  const std::u16string units = WQCommon::WQWideToUtf16(text);
  for (std::size_t i = 0; i + 2 < units.size(); ++i) {
    const unsigned char bytes[] = {static_cast<unsigned char>(units[i] & 0xff),
                                   static_cast<unsigned char>(units[i] >> 8)};
    crc.process_bytes(bytes, 2);
  }
}

// The CRC text that the parsed "Spectra" element should carry: each "Spectrum" element written as
// a document of its own in the toolkit's layout (tab indents, declaration) fed in turn.
inline std::string RecomputedCrc(const pugi::xml_node& spectra) {
  boost::crc_32_type crc;
  for (const pugi::xml_node& spectrum : spectra.children("Spectrum")) {
    pugi::xml_document alone;
    alone.append_copy(spectrum);
    std::ostringstream text;
    alone.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
    FeedUtf16(crc, WQCommon::WQNarrowToWideStr(text.str()));
  }
  return Hex(crc.checksum());
}

// The number of blank-separated items of a list text.
inline std::size_t ItemCount(const char* text) {
  std::istringstream items(text);
  std::size_t count = 0;
  for (std::string item; items >> item;) ++count;
  return count;
}

}  // namespace wqtest
