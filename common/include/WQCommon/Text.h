// Conversions between the wide strings of the interface and the narrow strings of messages and
// file names. Narrow text is UTF-8.
#pragma once

#include <WQCommon/Export.h>

#include <string>
#include <string_view>

namespace WQCommon {

// UTF-8 from wide text. A lone surrogate or a value outside Unicode becomes U+FFFD.
WQCOMMON_EXPORT std::string WQWideToNarrowStr(const std::wstring& text);
// Wide text from UTF-8. Each byte sequence that is not valid UTF-8 becomes U+FFFD.
WQCOMMON_EXPORT std::wstring WQNarrowToWideStr(const std::string& text);
// The same conversions into `out`, replacing what it held and reusing its storage: for callers
// that convert many short texts in a row without an allocation each.
WQCOMMON_EXPORT void WQWideToNarrowStr(std::wstring_view text, std::string& out);
WQCOMMON_EXPORT void WQNarrowToWideStr(std::string_view text, std::wstring& out);

// UTF-16 code units from wide text (surrogate pairs for characters beyond the BMP) and back.
WQCOMMON_EXPORT std::u16string WQWideToUtf16(const std::wstring& text);
WQCOMMON_EXPORT std::wstring WQUtf16ToWide(const std::u16string& text);

}  // namespace WQCommon
