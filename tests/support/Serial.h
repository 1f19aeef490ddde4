// Binary forms and comparison of records for the tests that store them, and paths in the
// module's wide form.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQRepos/PreferenceRecords.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <type_traits>

namespace wqtest {

// The bytes the toolkit's writer gives for `value`.
template <typename Value>
std::string BytesOf(const Value& value) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << value;
  return stream.str();
}

// GUILayoutPrefs has no operator==; its stored fields are what counts.
template <typename Record>
bool Same(const Record& a, const Record& b) {
  if constexpr (std::is_same_v<Record, WQRepos::GUILayoutPrefs>)
    return Record::Fields(a) == Record::Fields(b);
  else
    return a == b;
}

inline std::wstring Wide(const std::filesystem::path& path) {
  return WQCommon::WQNarrowToWideStr(path.string());
}

}  // namespace wqtest
