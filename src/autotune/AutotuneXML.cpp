#include <WQCommon/XMLNumbers.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/Exception.h>

#include <type_traits>
#include <utility>

#include "frame/EnumTextMap.h"

namespace WQRepos {

namespace {

using WQCommon::XMLBuilder;
using WQCommon::XMLParser;

const EnumTextMap<DiverterSourceTypes> DiverterSourceMap =
    MakeEnumTextMap<DiverterSourceTypes>({{Load, L"Load"}, {Waste, L"Waste"}});

// The texts earlier versions wrote; read, never written.
const EnumTextMap<DiverterSourceTypes> LegacyDiverterSourceMap =
    MakeEnumTextMap<DiverterSourceTypes>({{Load, L"ToMS"}, {Waste, L"Divert"}});

// The prime delay of a document that has none.
constexpr std::int32_t kAbsentPrimeDelay = 45;

QMVException InvalidValue(const std::wstring& what, const std::wstring& text) {
  return QMVException(L"Invalid " + what + L" (" + text + L") in WQRepos::QNode");
}

// The QNode family: true, and `value` converted from the child's text, when the child `name`
// exists; false, and `value` untouched, when it does not.
bool QNode(const XMLParser& parser, const std::wstring& name, std::wstring& value) {
  return parser.QNode(name, value);
}

bool QNode(const XMLParser& parser, const std::wstring& name, WQCommon::PolarityTypes& value) {
  std::wstring text;
  if (!parser.QNode(name, text)) return false;
  try {
    value = WQCommon::PolarityFromWStr(text);
  } catch (const WQCommon::UnknownPolarityError&) {
    throw InvalidValue(L"IonPolarity", text);
  }
  return true;
}

DiverterSourceTypes DiverterSourceFromText(const std::wstring& text) {
  try {
    return TextToEnum(DiverterSourceMap, text);
  } catch (const QMVException&) {
  }
  try {
    return TextToEnum(LegacyDiverterSourceMap, text);
  } catch (const QMVException&) {
    throw InvalidValue(L"DiverterSource", text);
  }
}

bool QNode(const XMLParser& parser, const std::wstring& name, DiverterSourceTypes& value) {
  std::wstring text;
  if (!parser.QNode(name, text)) return false;
  value = DiverterSourceFromText(text);
  return true;
}

// The text must be wholly a number of the type; boost::bad_lexical_cast, with the place nested,
// otherwise.
template <typename Number>
bool QNode(const XMLParser& parser, const std::wstring& name, Number& value) {
  static_assert(std::is_arithmetic_v<Number>, "QNode converts text to numbers only");
  std::wstring text;
  if (!parser.QNode(name, text)) return false;
  value = WQCommon::LexicalCastNumber<Number>(text, name, parser.QSource());
  return true;
}

void StartRequiredNode(XMLParser& parser, const std::wstring& name) {
  if (!parser.StartNode(name))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, name);
}

template <typename Value>
void QRequiredNode(const XMLParser& parser, const std::wstring& name, Value& value) {
  if (!QNode(parser, name, value))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, name);
}

// Reads the "TunePoint" items of the list the parser is in. Children that an item lacks keep the
// values of the item before it.
std::vector<TunePoint> ReadTunePointItems(XMLParser& parser, int count) {
  std::vector<TunePoint> points;
  TunePoint point;
  for (int i = 0; i < count; ++i) {
    StartRequiredNode(parser, L"TunePoint");
    parser >> point;
    parser.EndNode();
    points.push_back(point);
  }
  return points;
}

}  // namespace

XMLBuilder& operator<<(XMLBuilder& builder, const TunePoint& point) {
  builder.WNode(L"Name", point.Name);
  builder.WNode(L"Mass", WQCommon::SixDigitText(point.Mass));
  builder.WNode(L"CapExit", WQCommon::DecimalText(point.CapExit));
  builder.WNode(L"Area", WQCommon::SixDigitText(point.Area));
  builder.WNode(L"Time", WQCommon::SixDigitText(point.Time));
  return builder;
}

XMLBuilder& operator<<(XMLBuilder& builder, const AutotunePrefs& prefs) {
  builder.StartNode(L"AutoTunePrefs");
  builder.WNode(L"Polarity", WQCommon::PolarityToWStr(prefs.Polarity));
  builder.WNode(L"DiverterSource", EnumToText(DiverterSourceMap, prefs.DiverterSource));
  builder.WNode(L"SourceType", WQCommon::Probes::GetNameNoId(prefs.SourceType));
  builder.StartNode(L"TunePoints");
  for (const TunePoint& point : prefs.TunePoints) {
    builder.StartNode(L"TunePoint");
    builder << point;
    builder.EndNode();
  }
  builder.EndNode();
  builder.WNode(L"PrimeDelay", WQCommon::DecimalText(prefs.PrimeDelay));
  builder.EndNode();
  return builder;
}

XMLParser& operator>>(XMLParser& parser, TunePoint& point) {
  QNode(parser, L"Name", point.Name);
  QNode(parser, L"Mass", point.Mass);
  QNode(parser, L"CapExit", point.CapExit);
  QNode(parser, L"Area", point.Area);
  QNode(parser, L"Time", point.Time);
  return parser;
}

XMLParser& operator>>(XMLParser& parser, AutotunePrefs& prefs) {
  StartRequiredNode(parser, L"AutoTunePrefs");
  QRequiredNode(parser, L"Polarity", prefs.Polarity);
  QRequiredNode(parser, L"DiverterSource", prefs.DiverterSource);
  int count = 0;
  if (!parser.StartList(L"TunePoints", count)) {
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, L"TunePoints");
  }
  std::vector<TunePoint> points = ReadTunePointItems(parser, count);
  parser.EndList();
  std::wstring primeDelay;
  if (parser.QNode(L"PrimeDelay", primeDelay)) {
    WQCommon::ReadLeadingNumberOrKeep(primeDelay, prefs.PrimeDelay);
  } else {
    prefs.PrimeDelay = kAbsentPrimeDelay;
  }
  parser.EndNode();
  prefs.TunePoints = std::move(points);
  return parser;
}

}  // namespace WQRepos
