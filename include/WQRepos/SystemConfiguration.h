// The description of the instrument installation as a whole, kept as the document
// "SystemConfiguration.xml" in the preferences directory.
#pragma once

#include <WQBL/Syringe.h>
#include <WQCommon/Instrument.h>
#include <WQCommon/XML.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <string>

namespace WQRepos {

// A plain value. Its XML form is the element "SystemConfiguration" holding, in this order,
// "SystemName", "UserName", the syringe's own element, "PolaritySwitch" (two decimals),
// "CalSource" (the analyte source's name), "TuneProbeId" (the probe's name with its id) and
// "MethodTimePeriods" (decimal).
class WQREPOS_EXPORT SystemConfiguration : public WQCommon::IWQXML {
 public:
  // Where the calibration analyte comes from. Values are part of the interface: never renumber.
  enum AnalyteSource : int {
    ExternalSource = 0,
    SyringeSource = 1,
    LeftVialSource = 2,
    RightVialSource = 3
  };

  // Empty names, the syringe's defaults, 0.7, ExternalSource, probe kind 0 and 1 time period.
  SystemConfiguration();

  // The name of `source`: "External", "Syringe", "Left Vial" or "Right Vial". Throws QMVException
  // "Enumeration value <source> not found in enumeration map." for any other value.
  static std::wstring QAnalyteSourceName(AnalyteSource source);

  // Reads the element "SystemConfiguration" of the parser's current place; without it nothing
  // changes. Each member whose element is present is read; the others keep their values.
  // A "PolaritySwitch" text that starts with no number and a "TuneProbeId" that names no probe are
  // ignored. "CalSource" is also read in its earlier names "Vial_1" and "Vial_2"; any other text
  // throws QMVException "String <text> not found in enumeration map.". A "MethodTimePeriods" text
  // other than an optionally signed decimal integer of 32 bits throws boost::bad_lexical_cast with
  // Boost's own text. Either carries, as its nested exception (WQCommon::ContextOf), a text naming
  // the element, the document (WQCommon::XMLParser::QSource) and, for the number, the text.
  void Serialize(WQCommon::XMLParser& parser) override;
  // Writes the element "SystemConfiguration". Throws QMVException for a CalSource outside the
  // enumeration, before anything is written.
  void Serialize(WQCommon::XMLBuilder& builder) const override;

  bool operator==(const SystemConfiguration& other) const;
  bool operator!=(const SystemConfiguration& other) const { return !(*this == other); }

  std::wstring SystemName;
  std::wstring UserName;
  WQBL::Syringe Syringe;
  double PolaritySwitch;  // seconds the instrument takes to change polarity
  AnalyteSource CalSource;
  WQCommon::Probes::ProbeTypes TuneProbeId;  // the probe kind tunes are made with
  std::int32_t MethodTimePeriods;
};

// The stored system configuration; the defaults when the document is missing or not well-formed.
// Throws what SystemConfiguration::Serialize(XMLParser&) throws.
WQREPOS_EXPORT SystemConfiguration LoadSystemConfiguration();

// Replaces the stored document as a whole with `configuration`. Throws QMVException for a
// CalSource outside the enumeration and std::runtime_error naming the file when it cannot be
// written; the earlier document is then left as it was.
WQREPOS_EXPORT void SaveSystemConfiguration(const SystemConfiguration& configuration);

}  // namespace WQRepos
