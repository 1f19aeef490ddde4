#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQCommon/XMLNumbers.h>
#include <WQRepos/SystemConfiguration.h>

#include <tuple>

#include "frame/EnumTextMap.h"
#include "frame/Files.h"
#include "frame/Repository.h"
#include "sysdocs/PolaritySwitch.h"

namespace WQRepos {

namespace {

using AnalyteSource = SystemConfiguration::AnalyteSource;

const EnumTextMap<AnalyteSource> AnalyteSourceMap =
    MakeEnumTextMap<AnalyteSource>({{SystemConfiguration::ExternalSource, L"External"},
                                    {SystemConfiguration::SyringeSource, L"Syringe"},
                                    {SystemConfiguration::LeftVialSource, L"Left Vial"},
                                    {SystemConfiguration::RightVialSource, L"Right Vial"}});

// The names earlier versions wrote; read, never written.
const EnumTextMap<AnalyteSource> LegacyAnalyteSourceMap =
    MakeEnumTextMap<AnalyteSource>({{SystemConfiguration::ExternalSource, L"External"},
                                    {SystemConfiguration::SyringeSource, L"Syringe"},
                                    {SystemConfiguration::LeftVialSource, L"Vial_1"},
                                    {SystemConfiguration::RightVialSource, L"Vial_2"}});

const wchar_t kDocumentFile[] = L"SystemConfiguration.xml";

// The source that `text`, the text of the element CalSource in the document of `parser`, names.
// Throws the lookup's QMVException as it stands, the element and the document nested in it.
AnalyteSource AnalyteSourceFromText(const std::wstring& text, const WQCommon::XMLParser& parser) {
  try {
    return TextToEnum(AnalyteSourceMap, text);
  } catch (const QMVException&) {
  }
  try {
    return TextToEnum(LegacyAnalyteSourceMap, text);
  } catch (const QMVException& error) {
    WQCommon::ThrowWithContext(error, "Cannot read the element CalSource of " +
                                          WQCommon::WQWideToNarrowStr(parser.QSource()));
  }
}

// Reads the members that the polarity switch time depends on or that can refuse the document:
// PolaritySwitch, then CalSource and MethodTimePeriods, whose texts throw as Serialize states.
void ReadCheckedMembers(const WQCommon::XMLParser& parser, std::wstring& text,
                        SystemConfiguration& configuration) {
  if (parser.QNode(L"PolaritySwitch", text))
    WQCommon::ReadLeadingNumberOrKeep(text, configuration.PolaritySwitch);
  if (parser.QNode(L"CalSource", text))
    configuration.CalSource = AnalyteSourceFromText(text, parser);
  if (parser.QNode(L"MethodTimePeriods", text)) {
    configuration.MethodTimePeriods =
        WQCommon::LexicalCastNumber<std::int32_t>(text, L"MethodTimePeriods", parser.QSource());
  }
}

}  // namespace

SystemConfiguration::SystemConfiguration()
    : PolaritySwitch(0.7),
      CalSource(ExternalSource),
      TuneProbeId(static_cast<WQCommon::Probes::ProbeTypes>(0)),
      MethodTimePeriods(1) {}

std::wstring SystemConfiguration::QAnalyteSourceName(AnalyteSource source) {
  return EnumToText(AnalyteSourceMap, source);
}

void SystemConfiguration::Serialize(WQCommon::XMLParser& parser) {
  if (!parser.StartNode(L"SystemConfiguration")) return;
  parser.QNode(L"SystemName", SystemName);
  parser.QNode(L"UserName", UserName);
  Syringe.Serialize(parser);
  std::wstring text;
  if (parser.QNode(L"TuneProbeId", text)) {
    const int probe = WQCommon::Probes::GetId(text);
    if (probe != -1) TuneProbeId = static_cast<WQCommon::Probes::ProbeTypes>(probe);
  }
  ReadCheckedMembers(parser, text, *this);
  parser.EndNode();
}

void SystemConfiguration::Serialize(WQCommon::XMLBuilder& builder) const {
  const std::wstring calSource = QAnalyteSourceName(CalSource);
  builder.StartNode(L"SystemConfiguration");
  builder.WNode(L"SystemName", SystemName);
  builder.WNode(L"UserName", UserName);
  Syringe.Serialize(builder);
  builder.WNode(L"PolaritySwitch", WQCommon::TwoDecimalText(PolaritySwitch));
  builder.WNode(L"CalSource", calSource);
  builder.WNode(L"TuneProbeId", WQCommon::Probes::GetName(TuneProbeId));
  builder.WNode(L"MethodTimePeriods", WQCommon::DecimalText(MethodTimePeriods));
  builder.EndNode();
}

bool SystemConfiguration::operator==(const SystemConfiguration& other) const {
  return std::tie(SystemName, UserName, Syringe, PolaritySwitch, CalSource, TuneProbeId,
                  MethodTimePeriods) == std::tie(other.SystemName, other.UserName, other.Syringe,
                                                 other.PolaritySwitch, other.CalSource,
                                                 other.TuneProbeId, other.MethodTimePeriods);
}

SystemConfiguration LoadSystemConfiguration() {
  SystemConfiguration configuration;
  WQCommon::XMLParser parser;
  if (LoadXMLDocument(parser, RepositoryPath(Config::PrefsDir, kDocumentFile)))
    configuration.Serialize(parser);
  return configuration;
}

double LoadPolaritySwitch() {
  SystemConfiguration configuration;
  WQCommon::XMLParser parser;
  if (LoadXMLDocument(parser, RepositoryPath(Config::PrefsDir, kDocumentFile)) &&
      parser.StartNode(L"SystemConfiguration")) {
    std::wstring text;
    ReadCheckedMembers(parser, text, configuration);
  }
  return configuration.PolaritySwitch;
}

void SaveSystemConfiguration(const SystemConfiguration& configuration) {
  WQCommon::XMLBuilder builder;
  configuration.Serialize(builder);
  const std::wstring path = RepositoryPath(Config::PrefsDir, kDocumentFile);
  SaveFile(path, "Unable to create system configuration file " + NativePath(path),
           [&builder](std::ostream& out) { builder.Write(out); });
}

}  // namespace WQRepos
