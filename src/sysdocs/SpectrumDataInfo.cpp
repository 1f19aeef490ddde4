#include <WQRepos/SpectrumDataInfo.h>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {

void SpectrumDataInfo::Serialize(WQCommon::XMLParser& parser) {
  if (!parser.StartNode(L"SpectrumDataInfo")) return;
  parser.QNode(L"Instrument", Instrument);
  parser.QNode(L"Sample_Inlet", Sample_Inlet);
  parser.EndNode();
}

SpectrumDataInfo LoadSpectrumDataInfo() {
  SpectrumDataInfo info;
  WQCommon::XMLParser parser;
  if (LoadXMLDocument(parser, RepositoryPath(Config::PrefsDir, L"SpectrumDataInfo.xml")))
    info.Serialize(parser);
  return info;
}

}  // namespace WQRepos
