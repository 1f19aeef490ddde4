// Two-way maps between the values of an enumeration and their texts, for XML documents that
// write an enumeration as a word. Texts compare exactly: case and blanks matter.
#pragma once

#include <WQCommon/EnumText.h>
#include <WQRepos/Exception.h>

#include <sstream>
#include <string>

namespace WQRepos {

using WQCommon::EnumTextMap;
using WQCommon::MakeEnumTextMap;

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

}  // namespace WQRepos
