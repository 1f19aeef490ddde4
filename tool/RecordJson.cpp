#include "RecordJson.h"

#include <WQCommon/Text.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_set>
#include <variant>

namespace wqtool {

JsonError::JsonError(const std::string& path, const std::string& reason)
    : std::runtime_error((path.empty() ? "." : path) + ": " + reason) {}

void JsonPlace::Refuse(const std::string& reason) const { throw JsonError(path, reason); }

namespace {

template <typename Enum>
std::vector<std::pair<Enum, std::string>> FromMap(const WQCommon::EnumTextMap<Enum>& map) {
  std::vector<std::pair<Enum, std::string>> texts;
  for (const auto& [value, text] : map.left) texts.emplace_back(value, Narrow(text));
  return texts;
}

// A value of the JSON text, short enough for a message.
std::string Brief(const Json& json) {
  std::string text = json.dump(-1, ' ', false, Json::error_handler_t::replace);
  return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

// Non-finite numbers, which JSON has no numbers for.
const std::pair<double, const char*> kSpecialNumbers[] = {
    {std::numeric_limits<double>::infinity(), "Infinity"},
    {-std::numeric_limits<double>::infinity(), "-Infinity"},
    {std::numeric_limits<double>::quiet_NaN(), "NaN"}};

// True for characters that no XML 1.0 document can hold.
bool IsNoXmlCharacter(wchar_t character) {
  const auto value = static_cast<std::uint32_t>(character);
  return (value < 0x20 && value != 0x9 && value != 0xA && value != 0xD) ||
         (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF;
}

}  // namespace

template <>
std::vector<std::pair<WQCommon::PolarityTypes, std::string>> EnumTexts() {
  return {{WQCommon::Positive, "Positive"}, {WQCommon::Negative, "Negative"}};
}
template <>
std::vector<std::pair<WQCommon::Probes::ProbeTypes, std::string>> EnumTexts() {
  std::vector<std::pair<WQCommon::Probes::ProbeTypes, std::string>> texts;
  const WQCommon::StoredEnumeration stored = StoredValues(WQCommon::Probes::ProbeTypes{});
  for (std::int32_t value = stored.First; value <= stored.Last; ++value) {
    const auto probe = static_cast<WQCommon::Probes::ProbeTypes>(value);
    texts.emplace_back(probe, Narrow(WQCommon::Probes::GetNameNoId(probe)));
  }
  return texts;
}
template <>
std::vector<std::pair<WQBL::SequenceItem::ItemKinds, std::string>> EnumTexts() {
  return {{WQBL::SequenceItem::FullScan, "FullScan"}, {WQBL::SequenceItem::SIM, "SIM"}};
}
template <>
std::vector<std::pair<WQBL::MZRange::Kinds, std::string>> EnumTexts() {
  return {{WQBL::MZRange::FullRange, "FullRange"}, {WQBL::MZRange::Bounded, "Bounded"}};
}
template <>
std::vector<std::pair<WQBL::BaselineParams::Algorithms, std::string>> EnumTexts() {
  return FromMap(WQBL::BaselineParams::AlgorithmTexts());
}
template <>
std::vector<std::pair<WQBL::RampAlgorithmParams::Algorithms, std::string>> EnumTexts() {
  return FromMap(WQBL::RampAlgorithmParams::AlgorithmTexts());
}
template <>
std::vector<std::pair<WQBL::ICFilter::Polarities, std::string>> EnumTexts() {
  return FromMap(WQBL::ICFilter::PolarityTexts());
}
template <>
std::vector<std::pair<WQBL::MZPeakField::Types, std::string>> EnumTexts() {
  return FromMap(WQBL::MZPeakField::TypeTexts());
}
template <>
std::vector<std::pair<WQBL::CurveEval::Kinds, std::string>> EnumTexts() {
  return FromMap(WQBL::CurveEval::KindTexts());
}
template <>
std::vector<std::pair<WQRepos::SystemConfiguration::AnalyteSource, std::string>> EnumTexts() {
  std::vector<std::pair<WQRepos::SystemConfiguration::AnalyteSource, std::string>> texts;
  for (const auto source :
       {WQRepos::SystemConfiguration::ExternalSource, WQRepos::SystemConfiguration::SyringeSource,
        WQRepos::SystemConfiguration::LeftVialSource,
        WQRepos::SystemConfiguration::RightVialSource})
    texts.emplace_back(source, Narrow(WQRepos::SystemConfiguration::QAnalyteSourceName(source)));
  return texts;
}
template <>
std::vector<std::pair<WQRepos::DiverterSourceTypes, std::string>> EnumTexts() {
  return {{WQRepos::Load, "Load"}, {WQRepos::Waste, "Waste"}};
}

void ReadObject(const Json& json, const JsonPlace& place, const std::vector<std::string>& names) {
  if (!json.is_object()) place.Refuse(std::string("expected an object, got ") + json.type_name());
  for (const auto& [name, value] : json.items()) {
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      const std::string nearest = Nearest(name, names);
      place.Member(name).Refuse("no such field here" +
                                (nearest.empty() ? "" : " (did you mean " + nearest + "?)"));
    }
  }
  for (const std::string& name : names)
    if (!json.contains(name)) place.Refuse("the field " + name + " is missing");
}

long double WholeNumber(const Json& json, const JsonPlace& place, long double low,
                        long double high) {
  long double value = 0;
  if (json.is_number_unsigned())
    value = json.get<std::uint64_t>();
  else if (json.is_number_integer())
    value = json.get<std::int64_t>();
  else if (json.is_number_float())
    value = json.get<double>();  // as jq writes large numbers
  if (!json.is_number() || value != std::floor(value) || value < low || value > high) {
    std::ostringstream range;
    range.precision(20);
    range << low << " to " << high;
    place.Refuse("expected a whole number from " + range.str() + ", got " + Brief(json));
  }
  return value;
}

Json Codec<double>::Encode(double value) {
  if (std::isfinite(value)) return value;
  for (const auto& [special, text] : kSpecialNumbers)
    if (std::isnan(value) ? std::isnan(special) : value == special) return text;
  return nullptr;  // unreachable: every double is finite or one of the above
}

void Codec<double>::Decode(const Json& json, const JsonPlace& place, double& value) {
  if (json.is_number()) {
    value = json.get<double>();
    return;
  }
  if (json.is_string()) {
    for (const auto& [special, text] : kSpecialNumbers) {
      if (json.get<std::string>() != text) continue;
      // The module's documents write such a number as text that not all of their readers take.
      if (place.xml) place.Refuse("expected a finite number, got " + Brief(json));
      value = special;
      return;
    }
  }
  place.Refuse("expected a number (or \"NaN\", \"Infinity\", \"-Infinity\"), got " + Brief(json));
}

void Codec<bool>::Decode(const Json& json, const JsonPlace& place, bool& value) {
  if (!json.is_boolean()) place.Refuse("expected true or false, got " + Brief(json));
  value = json.get<bool>();
}

void Codec<std::wstring>::Decode(const Json& json, const JsonPlace& place, std::wstring& value) {
  if (!json.is_string()) place.Refuse("expected a text, got " + Brief(json));
  value = WQCommon::WQNarrowToWideStr(json.get<std::string>(), WQCommon::InvalidBytes::Replace);
  if (place.xml && std::any_of(value.begin(), value.end(), IsNoXmlCharacter))
    place.Refuse("holds a control character that an XML document cannot hold");
}

Json Codec<WQBL::CurveEval>::Encode(const WQBL::CurveEval& step) {
  Json parameters = std::visit(
      [](const auto& params) -> Json {
        if constexpr (std::is_same_v<std::decay_t<decltype(params)>, std::monostate>)
          return Json::object();
        else
          return ToJson(params);
      },
      step.QParams());
  return {{"kind", ToJson(step.QKind())}, {"parameters", parameters}};
}

namespace {

template <typename Params>
WQBL::CurveEval StepOf(const Json& json, const JsonPlace& place) {
  Params params;
  FromJson(json, place, params);
  return WQBL::CurveEval(params);
}

}  // namespace

void Codec<WQBL::CurveEval>::Decode(const Json& json, const JsonPlace& place,
                                    WQBL::CurveEval& step) {
  ReadObject(json, place, {"kind", "parameters"});
  WQBL::CurveEval::Kinds kind = WQBL::CurveEval::NoStep;
  FromJson(json.at("kind"), place.Member("kind"), kind);
  const Json& parameters = json.at("parameters");
  const JsonPlace where = place.Member("parameters");
  switch (kind) {
    case WQBL::CurveEval::Baseline:
      step = StepOf<WQBL::BaselineParams>(parameters, where);
      break;
    case WQBL::CurveEval::Noise:
      step = StepOf<WQBL::NoiseParams>(parameters, where);
      break;
    case WQBL::CurveEval::Threshold:
      step = StepOf<WQBL::ThresholdParams>(parameters, where);
      break;
    case WQBL::CurveEval::PeakDetect:
      step = StepOf<WQBL::PeakDetectParams>(parameters, where);
      break;
    default:
      ReadObject(parameters, where, {});
      step = WQBL::CurveEval();
  }
}

Json Codec<WQBL::Method>::Encode(const WQBL::Method& method) {
  std::vector<MethodTune> tunes;
  for (const auto& [id, entry] : method.Tunes) tunes.push_back({id, entry});
  return {{"periods", ToJson(method.TimePeriods)}, {"tunes", ToJson(tunes)}};
}

void Codec<WQBL::Method>::Decode(const Json& json, const JsonPlace& place, WQBL::Method& method) {
  ReadObject(json, place, {"periods", "tunes"});
  FromJson(json.at("periods"), place.Member("periods"), method.TimePeriods);
  std::vector<MethodTune> tunes;
  FromJson(json.at("tunes"), place.Member("tunes"), tunes);
  method.Tunes.clear();
  for (std::size_t i = 0; i < tunes.size(); ++i) {
    if (!method.Tunes.emplace(tunes[i].Id, tunes[i].Entry).second) {
      place.Member("tunes").Element(i).Member("id").Refuse(
          "the tune id " + std::to_string(tunes[i].Id) + " is given twice");
    }
  }
  RecordRules<WQBL::Method>::Check(method, place);
}

namespace {

// The parser's text of a syntax error ("[json.exception.parse_error.101] parse error at line 1,
// ...", or out_of_range.406 for a number beyond a double): the part after the tag.
std::string SyntaxError(const std::string& what) {
  const auto tag = what.find("] ");
  return "not JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
}

// Checks a JSON text, event by event, before a document is built of it: it holds no field twice,
// nests no deeper than any record needs, and builds into no more than a few times its own size in
// memory. Stops at the first thing it refuses, whose message it keeps.
class BoundedDocument : public nlohmann::json_sax<Json> {
 public:
  explicit BoundedDocument(std::size_t textSize)
      : limit_(kMemoryFactor * textSize + kMemoryFloor) {}

  const std::string& Refusal() const { return refusal_; }

  bool null() override { return Scalar(); }
  bool boolean(bool) override { return Scalar(); }
  bool number_integer(number_integer_t) override { return Scalar(); }
  bool number_unsigned(number_unsigned_t) override { return Scalar(); }
  bool number_float(number_float_t, const string_t&) override { return Scalar(); }
  bool string(string_t& text) override {
    return Scalar(kAllocation + sizeof(string_t) + TextBytes(text));
  }
  bool binary(binary_t&) override { return Scalar(); }  // JSON text has none
  bool start_object(std::size_t) override { return Open(true); }
  bool key(string_t& name) override {
    Level& object = levels_.back();
    object.key = name;
    if (!object.keys.insert(name).second) return Refuse(Path() + ": the field is given twice");
    return Cost(TextBytes(name));
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(false); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& error) override {
    return Refuse(SyntaxError(error.what()));
  }

 private:
  // Far deeper than any record: the deepest, a method, nests five levels.
  static constexpr std::size_t kMaxDepth = 64;
  // The built document may take this many times the text's size, and this much more.
  static constexpr std::size_t kMemoryFactor = 8;
  static constexpr std::size_t kMemoryFloor = std::size_t{1} << 20;
  // What the allocator adds to each block it hands out.
  static constexpr std::size_t kAllocation = 16;

  struct Level {
    bool object;
    std::size_t index = 0;                 // of the array's element being read
    std::string key;                       // of the object's member being read
    std::unordered_set<std::string> keys;  // the object's names so far, within their cost
  };

  // The heap bytes of a text beyond what its string holds inline.
  static std::size_t TextBytes(const string_t& text) {
    return text.size() < sizeof(string_t) / 2 ? 0 : kAllocation + text.size() + 1;
  }

  // The most a value takes where it lies: its slot in its array, or its member of an object,
  // twice over as containers grow by doubling; `own` more for what it allocates itself.
  bool Value(std::size_t own) {
    const std::size_t slot = levels_.empty()         ? sizeof(Json)
                             : levels_.back().object ? 2 * sizeof(std::pair<const string_t, Json>)
                                                     : 2 * sizeof(Json);
    return Cost(slot + own);
  }
  bool Scalar(std::size_t own = 0) {
    if (!Value(own)) return false;
    Next();
    return true;
  }
  bool Open(bool object) {
    if (levels_.size() == kMaxDepth) {
      return Refuse("nested too deep: more than " + std::to_string(kMaxDepth) +
                    " levels of arrays and objects");
    }
    if (!Value(kAllocation + sizeof(Json::array_t))) return false;  // an object's is as large
    levels_.push_back({object, 0, {}, {}});
    return true;
  }
  bool Close() {
    levels_.pop_back();
    Next();
    return true;
  }
  // Past a value: the next element of its array.
  void Next() {
    if (!levels_.empty() && !levels_.back().object) ++levels_.back().index;
  }
  bool Cost(std::size_t bytes) {
    cost_ += bytes;
    if (cost_ <= limit_) return true;
    return Refuse("too many values for its size: their document would take more than " +
                  std::to_string(kMemoryFactor) + " times the text's size in memory");
  }
  // jq's path of the value being read.
  std::string Path() const {
    std::string path;
    for (const Level& level : levels_)
      path += level.object ? "." + level.key : "[" + std::to_string(level.index) + "]";
    return path;
  }
  bool Refuse(std::string refusal) {
    refusal_ = std::move(refusal);
    return false;
  }

  std::size_t limit_;
  std::size_t cost_ = 0;
  std::vector<Level> levels_;
  std::string refusal_;
};

}  // namespace

Json ParseJson(const std::string& text, const std::string& source) {
  BoundedDocument check(text.size());
  if (!Json::sax_parse(text, &check)) throw std::runtime_error(source + ": " + check.Refusal());
  return Json::parse(text);
}

}  // namespace wqtool
