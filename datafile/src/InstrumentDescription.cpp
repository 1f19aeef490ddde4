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
  const std::string& name = TermName(accession);
  if (name.empty()) return;
  names_.push_back(value.empty() ? name : name + " " + value);
}

void InstrumentDescription::AddPart(InstrumentTerms::Part kind) {
  terms_.Components.push_back({kind, {}});
}

void InstrumentDescription::AddComponent(std::string_view accession, const std::string& value,
                                         const std::string& unit) {
  if (!terms_.Components.empty()) {
    terms_.Components.back().Terms.push_back({std::string(accession), value, unit});
  }
  const std::string& name = TermName(accession);
  if (!name.empty() && value.empty()) names_.push_back(name);
}

std::wstring InstrumentDescription::Text() const {
  std::string joined;
  for (const std::string& name : names_) joined += (joined.empty() ? "" : ", ") + name;
  return WQCommon::WQNarrowToWideStr(joined, WQCommon::InvalidBytes::Replace);
}

}  // namespace WQDataFile::detail
