// Descriptive texts for spectrum data, read from the document "SpectrumDataInfo.xml" in the
// preferences directory, which the installation supplies; the module never writes it.
#pragma once

#include <WQCommon/XML.h>
#include <WQRepos/Export.h>

#include <string>

namespace WQRepos {

struct WQREPOS_EXPORT SpectrumDataInfo {
  // Reads the children "Instrument" and "Sample_Inlet" of the element "SpectrumDataInfo" at the
  // parser's current place; an absent element leaves its member unchanged.
  void Serialize(WQCommon::XMLParser& parser);

  std::wstring Instrument;
  std::wstring Sample_Inlet;
};

// The stored texts; empty ones where the document or an element is missing. Never throws for the
// document's content.
WQREPOS_EXPORT SpectrumDataInfo LoadSpectrumDataInfo();

}  // namespace WQRepos
