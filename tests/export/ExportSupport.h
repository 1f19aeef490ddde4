// Calibration data and document checks shared by the export tests.
#pragma once

#include <WQBL/Spectrum.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/DataFile.h>
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "support/Serial.h"

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
  return WQBL::Peak{0, 0, 0, amplitude, centroidIndex, centroidAmplitude, area};
}

// A calibration data file whose method knows tunes 1, 3 and 5 and whose tune runs 0 and 1 ran
// tunes 3 and 5.
inline WQDataFile::CalDataFile FileWithTuneRuns() {
  WQBL::Method method;
  method.Tunes[1] = WQBL::TuneEntry(L"One", WQCommon::Probes::ESI, WQCommon::Positive);
  method.Tunes[3] = WQBL::TuneEntry(L"Three", WQCommon::Probes::APCI, WQCommon::Negative);
  method.Tunes[5] = WQBL::TuneEntry(L"Five", WQCommon::Probes::ESI, WQCommon::Negative);
  WQDataFile::CalDataFile file(L"/cal/run7.dat", L"Calibration", 0, method);
  file.AddTuneRun(WQDataFile::TuneRun{3});
  file.AddTuneRun(WQDataFile::TuneRun{5});
  return file;
}

// The document that `serializable` writes into a builder, parsed.
template <typename Serializable, typename... Arguments>
pugi::xml_document Serialized(const Serializable& serializable, const Arguments&... arguments) {
  WQCommon::XMLBuilder builder;
  serializable.Serialize(builder, arguments...);
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(WQCommon::WQWideToNarrowStr(builder.QXML()).c_str()));
  return document;
}

// The texts of the attributes or elements that `xpath` selects under `node`.
inline std::vector<std::string> Texts(const pugi::xml_node& node, const char* xpath) {
  std::vector<std::string> texts;
  for (const pugi::xpath_node& found : node.select_nodes(xpath))
    texts.push_back(found.attribute() ? found.attribute().value() : found.node().child_value());
  return texts;
}

}  // namespace wqtest
