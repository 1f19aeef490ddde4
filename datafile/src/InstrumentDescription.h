// How a run in an open format describes its instrument, whichever format and reader it comes
// from. Internal to the data-file library.
#pragma once

#include <WQDataFile/DataFile.h>

#include <string>
#include <string_view>
#include <vector>

namespace WQDataFile::detail {

// One instrument configuration of a file, as its terms and as the description a person reads:
// the names that the vocabulary gives its terms, in file order, those of the configuration itself
// first. Terms the vocabulary does not know are kept as terms and left out of the description.
class InstrumentDescription {
 public:
  // A term of the configuration itself: named with its value after a blank when it has one.
  void AddOwn(std::string_view accession, const std::string& value, const std::string& unit);
  // Starts the next component, a source, analyser or detector.
  void AddPart(InstrumentTerms::Part kind);
  // A term of the last component started: named when it has no value (a term with a value is a
  // setting, not a kind of component).
  void AddComponent(std::string_view accession, const std::string& value, const std::string& unit);

  // The names separated by commas, the UTF-8 of the file as wide text.
  std::wstring Text() const;
  const InstrumentTerms& Terms() const { return terms_; }

 private:
  InstrumentTerms terms_;
};

}  // namespace WQDataFile::detail
