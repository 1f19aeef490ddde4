// The JSON form of the stored records, both ways: every field by name, in the order of the
// record's own field list, names in lowerCamelCase, enumerated values as their texts. Reading
// checks every field and names the first one it refuses by its jq path (".periods[0].dwell").
#pragma once

#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/Syringe.h>
#include <WQBL/Tune.h>
#include <WQCommon/Instrument.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/PreferenceRecords.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/SpectrumDataInfo.h>
#include <WQRepos/SystemConfiguration.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "Commands.h"

namespace wqtool {

// A value that reading refused: the message is "<path>: <reason>".
class JsonError : public std::runtime_error {
 public:
  JsonError(const std::string& path, const std::string& reason);
};

// Where a value lies in the document being read, and what it will be written to.
struct JsonPlace {
  std::string path;  // jq's path; empty for the document itself
  bool xml = false;  // into an XML document: no control characters, no number that is not finite
  JsonPlace Member(const std::string& name) const { return {path + "." + name, xml}; }
  JsonPlace Element(std::size_t index) const {
    return {path + "[" + std::to_string(index) + "]", xml};
  }
  [[noreturn]] void Refuse(const std::string& reason) const;
};

// The texts of an enumeration's values, as the module writes them or, for the two it has no
// texts for, its enumerators' names.
template <typename Enum>
std::vector<std::pair<Enum, std::string>> EnumTexts();
#define WQTOOL_ENUM_TEXTS(Enum) \
  template <>                   \
  std::vector<std::pair<Enum, std::string>> EnumTexts();
WQTOOL_ENUM_TEXTS(WQCommon::PolarityTypes)
WQTOOL_ENUM_TEXTS(WQCommon::Probes::ProbeTypes)
WQTOOL_ENUM_TEXTS(WQBL::SequenceItem::ItemKinds)
WQTOOL_ENUM_TEXTS(WQBL::MZRange::Kinds)
WQTOOL_ENUM_TEXTS(WQBL::BaselineParams::Algorithms)
WQTOOL_ENUM_TEXTS(WQBL::RampAlgorithmParams::Algorithms)
WQTOOL_ENUM_TEXTS(WQBL::ICFilter::Polarities)
WQTOOL_ENUM_TEXTS(WQBL::MZPeakField::Types)
WQTOOL_ENUM_TEXTS(WQBL::CurveEval::Kinds)
WQTOOL_ENUM_TEXTS(WQRepos::SystemConfiguration::AnalyteSource)
WQTOOL_ENUM_TEXTS(WQRepos::DiverterSourceTypes)
#undef WQTOOL_ENUM_TEXTS

// Names and field references of a record: Names() in the order of Fields(record), which is the
// record's own list where it has one.
template <typename Record, typename = void>
struct RecordFields;

template <typename Value, typename = void>
struct Codec;

// The rules that a record read must keep beyond its fields' types, so that it is one the
// instrument can run: each refuses the first member that breaks one, naming it and the value
// (RecordRules.cpp). A record without rules of its own keeps every one.
template <typename Record>
struct RecordRules {
  static void Check(const Record&, const JsonPlace&) {}
};
#define WQTOOL_RULES(Record)                                         \
  template <>                                                        \
  struct RecordRules<Record> {                                       \
    static void Check(const Record& record, const JsonPlace& place); \
  };
WQTOOL_RULES(WQBL::SequenceItem)
WQTOOL_RULES(WQBL::TimePeriod)
WQTOOL_RULES(WQBL::Method)
WQTOOL_RULES(WQBL::MZRange)
WQTOOL_RULES(WQBL::ChargeStateParams)
WQTOOL_RULES(WQBL::AppThreadingParams)
#undef WQTOOL_RULES

template <typename Value>
Json ToJson(const Value& value) {
  return Codec<Value>::Encode(value);
}

template <typename Value>
void FromJson(const Json& json, const JsonPlace& place, Value& value) {
  Codec<Value>::Decode(json, place, value);
}

// Refuses `json` unless it is an object holding every one of `names` and nothing else.
void ReadObject(const Json& json, const JsonPlace& place, const std::vector<std::string>& names);

// The whole number `json` holds, when it lies from `low` to `high`.
long double WholeNumber(const Json& json, const JsonPlace& place, long double low,
                        long double high);

template <>
struct Codec<double> {
  static Json Encode(double value);
  static void Decode(const Json& json, const JsonPlace& place, double& value);
};
template <>
struct Codec<bool> {
  static Json Encode(bool value) { return value; }
  static void Decode(const Json& json, const JsonPlace& place, bool& value);
};
template <>
struct Codec<std::wstring> {
  static Json Encode(const std::wstring& value) { return Narrow(value); }
  static void Decode(const Json& json, const JsonPlace& place, std::wstring& value);
};

// A whole number of `Integer`'s range.
template <typename Integer>
struct Codec<Integer,
             std::enable_if_t<std::is_integral_v<Integer> && !std::is_same_v<Integer, bool>>> {
  static Json Encode(Integer value) { return value; }
  static void Decode(const Json& json, const JsonPlace& place, Integer& value) {
    value = static_cast<Integer>(WholeNumber(json, place, std::numeric_limits<Integer>::min(),
                                             std::numeric_limits<Integer>::max()));
  }
};

template <typename Enum>
struct Codec<Enum, std::enable_if_t<std::is_enum_v<Enum>>> {
  static Json Encode(Enum value) {
    for (const auto& [known, text] : EnumTexts<Enum>())
      if (known == value) return text;
    return static_cast<std::int64_t>(value);  // a value of no text: shown, never read back
  }
  static void Decode(const Json& json, const JsonPlace& place, Enum& value) {
    std::string choices;
    for (const auto& [known, text] : EnumTexts<Enum>()) {
      if (json.is_string() && json.get<std::string>() == text) {
        value = known;
        return;
      }
      choices += (choices.empty() ? "" : ", ") + text;
    }
    place.Refuse("expected one of " + choices + ", got " + json.dump());
  }
};

template <typename Element>
struct Codec<std::vector<Element>> {
  static Json Encode(const std::vector<Element>& elements) {
    Json array = Json::array();
    for (const Element& element : elements) array.push_back(ToJson(element));
    return array;
  }
  static void Decode(const Json& json, const JsonPlace& place, std::vector<Element>& elements) {
    if (!json.is_array()) place.Refuse(std::string("expected an array, got ") + json.type_name());
    elements.assign(json.size(), Element{});
    for (std::size_t i = 0; i < json.size(); ++i) FromJson(json[i], place.Element(i), elements[i]);
  }
};

// Records: an object of their fields.
template <typename Record>
struct Codec<Record, std::void_t<decltype(RecordFields<Record>::Names())>> {
  using Fields = RecordFields<Record>;
  static Json Encode(const Record& record) {
    Json object = Json::object();
    std::size_t i = 0;
    std::apply([&](const auto&... field) { ((object[Fields::Names()[i++]] = ToJson(field)), ...); },
               Fields::Of(record));
    return object;
  }
  static void Decode(const Json& json, const JsonPlace& place, Record& record) {
    const std::vector<std::string> names = Fields::Names();
    ReadObject(json, place, names);
    std::size_t i = 0;
    std::apply(
        [&](auto&... field) {
          ((FromJson(json.at(names[i]), place.Member(names[i]), field), ++i), ...);
        },
        Fields::Of(record));
    RecordRules<Record>::Check(record, place);
  }
};

// A record whose own Fields() lists its stored fields.
template <typename Record>
struct OwnFields {
  template <typename Self>
  static auto Of(Self& record) {
    return Record::Fields(record);
  }
};

#define WQTOOL_FIELD_NAMES(...) \
  static std::vector<std::string> Names() { return {__VA_ARGS__}; }

template <>
struct RecordFields<WQBL::Tune> : OwnFields<WQBL::Tune> {
  WQTOOL_FIELD_NAMES("capillaryVoltage", "coneVoltage", "extractorVoltage", "rfLensVoltage",
                     "sourceTemperature", "desolvationTemperature", "coneGasFlow",
                     "desolvationGasFlow", "lowMassResolution", "highMassResolution", "polarity")
};
template <>
struct RecordFields<WQBL::SequenceItem> : OwnFields<WQBL::SequenceItem> {
  WQTOOL_FIELD_NAMES("kind", "startMZ", "endMZ", "dwell", "duration", "polarity", "tuneId")
};
template <>
struct RecordFields<WQBL::TimePeriod> : OwnFields<WQBL::TimePeriod> {
  WQTOOL_FIELD_NAMES("duration", "loops", "timeout", "items")
};
template <>
struct RecordFields<WQBL::BaselineParams> : OwnFields<WQBL::BaselineParams> {
  WQTOOL_FIELD_NAMES("algorithm", "windowWidth")
};
template <>
struct RecordFields<WQBL::NoiseParams> : OwnFields<WQBL::NoiseParams> {
  WQTOOL_FIELD_NAMES("windowWidth", "factor")
};
template <>
struct RecordFields<WQBL::PeakDetectParams> : OwnFields<WQBL::PeakDetectParams> {
  WQTOOL_FIELD_NAMES("minPeakWidth", "useThreshold")
};
template <>
struct RecordFields<WQBL::SmoothParams> : OwnFields<WQBL::SmoothParams> {
  WQTOOL_FIELD_NAMES("windowWidth", "polynomialOrder")
};
template <>
struct RecordFields<WQBL::ThresholdParams> : OwnFields<WQBL::ThresholdParams> {
  WQTOOL_FIELD_NAMES("level")
};
template <>
struct RecordFields<WQBL::OPDParams> : OwnFields<WQBL::OPDParams> {
  WQTOOL_FIELD_NAMES("peakWidth", "maxIterations")
};
template <>
struct RecordFields<WQBL::RampAlgorithmParams> : OwnFields<WQBL::RampAlgorithmParams> {
  WQTOOL_FIELD_NAMES("algorithm", "steps")
};
template <>
struct RecordFields<WQBL::ChargeStateParams> : OwnFields<WQBL::ChargeStateParams> {
  WQTOOL_FIELD_NAMES("minCharge", "maxCharge", "massTolerance")
};
template <>
struct RecordFields<WQBL::AppThreadingParams> : OwnFields<WQBL::AppThreadingParams> {
  WQTOOL_FIELD_NAMES("enabled", "threadCount")
};
template <>
struct RecordFields<WQBL::MZRange> : OwnFields<WQBL::MZRange> {
  WQTOOL_FIELD_NAMES("kind", "low", "high")
};
template <>
struct RecordFields<WQBL::ICRange> : OwnFields<WQBL::ICRange> {
  WQTOOL_FIELD_NAMES("start", "end")
};
template <>
struct RecordFields<WQBL::ICFilter> : OwnFields<WQBL::ICFilter> {
  WQTOOL_FIELD_NAMES("function", "polarity")
};
template <>
struct RecordFields<WQBL::MZPeakField> : OwnFields<WQBL::MZPeakField> {
  WQTOOL_FIELD_NAMES("type")
};
template <>
struct RecordFields<WQRepos::FieldPref> : OwnFields<WQRepos::FieldPref> {
  WQTOOL_FIELD_NAMES("name", "visible")
};
template <>
struct RecordFields<WQRepos::GUILayoutPrefs> : OwnFields<WQRepos::GUILayoutPrefs> {
  WQTOOL_FIELD_NAMES("flagA", "flagB", "number", "flagC", "flagD", "flagE")
};
template <>
struct RecordFields<WQRepos::GenTICPrefs> : OwnFields<WQRepos::GenTICPrefs> {
  WQTOOL_FIELD_NAMES("filter", "option")
};
template <>
struct RecordFields<WQRepos::GenEICPrefs> : OwnFields<WQRepos::GenEICPrefs> {
  WQTOOL_FIELD_NAMES("filter", "massRanges", "names", "option")
};
template <>
struct RecordFields<WQRepos::GenBICPrefs> : OwnFields<WQRepos::GenBICPrefs> {
  WQTOOL_FIELD_NAMES("filter", "evalMethodName", "massRanges", "peakFields", "option")
};
template <>
struct RecordFields<WQRepos::GenSpectraPrefs> : OwnFields<WQRepos::GenSpectraPrefs> {
  WQTOOL_FIELD_NAMES("values", "timeRanges", "names", "massRange", "option")
};
template <>
struct RecordFields<WQRepos::RefCal> : OwnFields<WQRepos::RefCal> {
  WQTOOL_FIELD_NAMES("name", "param1", "param2", "param3")
};
template <>
struct RecordFields<WQRepos::TunePoint> : OwnFields<WQRepos::TunePoint> {
  WQTOOL_FIELD_NAMES("name", "mass", "capExit", "area", "time")
};
// The binary form: no diverter source.
template <>
struct RecordFields<WQRepos::AutotunePrefs> : OwnFields<WQRepos::AutotunePrefs> {
  WQTOOL_FIELD_NAMES("polarity", "tunePoints", "sourceType", "primeDelay")
};

// Records without a field list of their own: theirs, in the order of their stored form.
template <>
struct RecordFields<WQRepos::AutotuneDlgPrefs> {
  WQTOOL_FIELD_NAMES("tuneMixFile", "value1", "value2", "settings")
  template <typename Self>
  static auto Of(Self& prefs) {
    return std::tie(prefs.TuneMixFile, prefs.Value1, prefs.Value2, prefs.Settings);
  }
};
template <>
struct RecordFields<WQBL::Syringe> {
  WQTOOL_FIELD_NAMES("diameter", "volume", "flowRate", "enabled")
  template <typename Self>
  static auto Of(Self& syringe) {
    return std::tie(syringe.Diameter, syringe.Volume, syringe.FlowRate, syringe.Enabled);
  }
};
template <>
struct RecordFields<WQRepos::SystemConfiguration> {
  WQTOOL_FIELD_NAMES("systemName", "userName", "syringe", "polaritySwitch", "calSource",
                     "tuneProbeId", "methodTimePeriods")
  template <typename Self>
  static auto Of(Self& c) {
    return std::tie(c.SystemName, c.UserName, c.Syringe, c.PolaritySwitch, c.CalSource,
                    c.TuneProbeId, c.MethodTimePeriods);
  }
};
template <>
struct RecordFields<WQRepos::SpectrumDataInfo> {
  WQTOOL_FIELD_NAMES("instrument", "sampleInlet")
  template <typename Self>
  static auto Of(Self& info) {
    return std::tie(info.Instrument, info.Sample_Inlet);
  }
};
template <>
struct RecordFields<WQRepos::DataFileNameInfo> {
  WQTOOL_FIELD_NAMES("time")
  template <typename Self>
  static auto Of(Self& info) {
    return std::tie(info.Time);
  }
};
// The tune table of a method, one entry a tune.
struct MethodTune {
  std::uint32_t Id = 0;
  WQBL::TuneEntry Entry;
};
template <>
struct RecordFields<MethodTune> {
  WQTOOL_FIELD_NAMES("id", "name", "probe", "polarity")
  template <typename Self>
  static auto Of(Self& tune) {
    return std::tie(tune.Id, tune.Entry.Name, tune.Entry.Probe, tune.Entry.Polarity);
  }
};
// The autotune settings of an XML document, which keeps the diverter source too.
struct AutotuneDocument {
  WQRepos::AutotunePrefs Prefs;
};
template <>
struct RecordFields<AutotuneDocument> {
  WQTOOL_FIELD_NAMES("polarity", "diverterSource", "sourceType", "tunePoints", "primeDelay")
  template <typename Self>
  static auto Of(Self& document) {
    auto& prefs = document.Prefs;
    return std::tie(prefs.Polarity, prefs.DiverterSource, prefs.SourceType, prefs.TunePoints,
                    prefs.PrimeDelay);
  }
};
// Documents that hold one list.
struct EvalMethodDocument {
  std::vector<WQBL::CurveEval> Steps;
};
template <>
struct RecordFields<EvalMethodDocument> {
  WQTOOL_FIELD_NAMES("steps")
  template <typename Self>
  static auto Of(Self& document) {
    return std::tie(document.Steps);
  }
};
struct CalibrantsDocument {
  std::vector<WQRepos::RefCal> Calibrants;
};
template <>
struct RecordFields<CalibrantsDocument> {
  WQTOOL_FIELD_NAMES("calibrants")
  template <typename Self>
  static auto Of(Self& document) {
    return std::tie(document.Calibrants);
  }
};
struct FieldOrderDocument {
  std::vector<WQRepos::FieldPref> Fields;
};
template <>
struct RecordFields<FieldOrderDocument> {
  WQTOOL_FIELD_NAMES("fields")
  template <typename Self>
  static auto Of(Self& document) {
    return std::tie(document.Fields);
  }
};
#undef WQTOOL_FIELD_NAMES

// The autotune settings of the XML document at `path`, as ReadAutotuneSettings reads them, with the
// source type that the module's reader leaves out taken from the document itself.
AutotuneDocument ReadAutotuneDocument(const std::string& path);

// A step: its kind's text and its parameter record ({} for no step).
template <>
struct Codec<WQBL::CurveEval> {
  static Json Encode(const WQBL::CurveEval& step);
  static void Decode(const Json& json, const JsonPlace& place, WQBL::CurveEval& step);
};

template <>
struct Codec<WQBL::Method> {
  static Json Encode(const WQBL::Method& method);
  static void Decode(const Json& json, const JsonPlace& place, WQBL::Method& method);
};

// The JSON text `text` of `source` (a file's name, or "standard input") as one document; throws
// std::runtime_error "<source>: <reason>" when it is not JSON, gives a field of an object twice
// ("<source>: <path>: the field is given twice"), nests arrays and objects more than 64 levels
// deep, or would take more than 8 times its size (and 1 MiB) in memory. It is checked whole before
// the document is built.
Json ParseJson(const std::string& text, const std::string& source);

// `Record` read from the JSON text of `source`; throws std::runtime_error "<source>: <path>:
// <reason>" at the first thing it refuses. `xml` for records kept in XML documents.
template <typename Record>
Record ReadRecord(const Json& json, const std::string& source, bool xml = false) {
  Record record{};
  try {
    FromJson(json, JsonPlace{"", xml}, record);
  } catch (const JsonError& error) {
    throw std::runtime_error(source + ": " + error.what());
  }
  return record;
}

// Throws std::runtime_error "<path>: <reason>" at the first of RecordRules that `record`, as the
// module stored it, breaks: what an import would refuse.
template <typename Record>
void CheckRules(const Record& record) {
  Record read{};
  FromJson(ToJson(record), JsonPlace{}, read);
}

}  // namespace wqtool
