// The texts of an enumeration's values, looked up both ways: one table per enumeration, made once
// and read-only afterwards. Texts compare exactly: case and blanks matter.
#pragma once

#include <boost/bimap.hpp>
#include <initializer_list>
#include <string>

namespace WQCommon {

template <typename Enum>
using EnumTextMap = boost::bimap<Enum, std::wstring>;

// A map from value-text pairs.
template <typename Enum>
EnumTextMap<Enum> MakeEnumTextMap(
    std::initializer_list<typename EnumTextMap<Enum>::value_type> entries) {
  return EnumTextMap<Enum>(entries.begin(), entries.end());
}

// The text of `value`, or nullptr when the map holds none (a value read from a file may be any).
template <typename Enum>
const std::wstring* FindText(const EnumTextMap<Enum>& map, Enum value) {
  const auto found = map.left.find(value);
  return found == map.left.end() ? nullptr : &found->second;
}

}  // namespace WQCommon
