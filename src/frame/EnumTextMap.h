// Two-way maps between the values of an enumeration and their texts, for XML documents that
// write an enumeration as a word. Texts compare exactly: case and blanks matter.
#pragma once

#include <WQRepos/Exception.h>

#include <boost/bimap.hpp>
#include <sstream>
#include <string>

namespace WQRepos {

template <typename Enum>
using EnumTextMap = boost::bimap<Enum, std::wstring>;

// The text of `value`. Throws QMVException "Enumeration value <value> not found in enumeration
// map." when the map does not hold it.
template <typename Enum>
std::wstring EnumToText(const EnumTextMap<Enum>& map, Enum value) {
  try {
    return map.left.at(value);
  } catch (const std::exception&) {
    std::wostringstream message;
    message << L"Enumeration value " << static_cast<long long>(value)
            << L" not found in enumeration map.";
    throw QMVException(message.str());
  }
}

// The value that `text` names. Throws QMVException "String <text> not found in enumeration map."
// when the map does not hold it.
template <typename Enum>
Enum TextToEnum(const EnumTextMap<Enum>& map, const std::wstring& text) {
  try {
    return map.right.at(text);
  } catch (const std::exception&) {
    std::wostringstream message;
    message << L"String " << text << L" not found in enumeration map.";
    throw QMVException(message.str());
  }
}

// Builds a map from value-text pairs; for the module-wide maps made at library load.
template <typename Enum>
EnumTextMap<Enum> MakeEnumTextMap(
    std::initializer_list<typename EnumTextMap<Enum>::value_type> entries) {
  return EnumTextMap<Enum>(entries.begin(), entries.end());
}

}  // namespace WQRepos
