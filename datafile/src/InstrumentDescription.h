// How a run in an open format describes its instrument, whichever format and reader it comes
// from. Internal to the data-file library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace WQDataFile::detail {

// The description of one instrument configuration: the names that the vocabulary gives its terms,
// in file order, those of the configuration itself first. Terms the vocabulary does not know are
// left out.
class InstrumentDescription {
 public:
  // A term of the configuration itself: its name, with its value after a blank when it has one.
  void AddOwn(std::string_view accession, const std::string& value);
  // A term of its source, analyser or detector: its name, when it has no value (a term with a
  // value is a setting, not a kind of component).
  void AddComponent(std::string_view accession, const std::string& value);

  // The names separated by commas, the UTF-8 of the file as wide text.
  std::wstring Text() const;

 private:
  std::vector<std::string> names_;
};

}  // namespace WQDataFile::detail
