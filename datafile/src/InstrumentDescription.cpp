#include "InstrumentDescription.h"

#include <WQCommon/Text.h>

#include <pwiz/data/common/cv.hpp>

namespace WQDataFile::detail {

namespace {

// The name of the term `accession`, empty for a term the vocabulary does not know.
const std::string& TermName(std::string_view accession) {
  static const std::string kUnknown;
  const pwiz::cv::CVTermInfo& term = pwiz::cv::cvTermInfo(std::string(accession));
  return term.cvid == pwiz::cv::CVID_Unknown ? kUnknown : term.name;
}

}  // namespace

void InstrumentDescription::AddOwn(std::string_view accession, const std::string& value,
                                   const std::string& unit) {
  terms_.Own.push_back({std::string(accession), value, unit});
}

void InstrumentDescription::AddPart(InstrumentTerms::Part kind) {
  terms_.Components.push_back({kind, {}});
}

void InstrumentDescription::AddComponent(std::string_view accession, const std::string& value,
                                         const std::string& unit) {
  if (!terms_.Components.empty()) {
    terms_.Components.back().Terms.push_back({std::string(accession), value, unit});
  }
}

std::wstring InstrumentDescription::Text() const {
  std::string joined;
  const auto add = [&joined](const std::string& name) {
    joined += (joined.empty() ? "" : ", ") + name;
  };
  for (const InstrumentTerms::Term& term : terms_.Own) {
    const std::string& name = TermName(term.Accession);
    if (!name.empty()) add(term.Value.empty() ? name : name + " " + term.Value);
  }
  for (const InstrumentTerms::Component& component : terms_.Components) {
    for (const InstrumentTerms::Term& term : component.Terms) {
      const std::string& name = TermName(term.Accession);
      if (!name.empty() && term.Value.empty()) add(name);
    }
  }
  return WQCommon::WQNarrowToWideStr(joined, WQCommon::InvalidBytes::Replace);
}

}  // namespace WQDataFile::detail
