// Conversions between the wide strings of the interface and the narrow strings of messages, file
// names and documents. Narrow text is UTF-8, but a file name may hold bytes that are not: each such
// byte 0xXY is carried through wide text as the escape U+DCXY, a lone low surrogate that no valid
// text holds, so that every file name comes back from wide text as the same bytes.
#pragma once

#include <WQCommon/Export.h>

#include <string>
#include <string_view>

namespace WQCommon {

// What the conversions make of bytes that are not UTF-8.
enum class InvalidBytes {
  // Each byte 0xXY becomes U+DCXY in wide text, and the escape becomes the byte again in narrow
  // text: names and paths, which must come back unchanged.
  Escape,
  // Each invalid sequence, and each escape, becomes U+FFFD: text that must be characters.
  Replace
};

// True for the escape of a byte that is not UTF-8.
constexpr bool IsByteEscape(wchar_t character) {
  return character >= 0xDC80 && character <= 0xDCFF;
}

// UTF-8 from wide text, escapes treated as `invalid` says. Any other lone surrogate, or a value
// outside Unicode, becomes U+FFFD.
WQCOMMON_EXPORT std::string WQWideToNarrowStr(const std::wstring& text,
                                              InvalidBytes invalid = InvalidBytes::Escape);
// Wide text from UTF-8, bytes that are not UTF-8 treated as `invalid` says.
WQCOMMON_EXPORT std::wstring WQNarrowToWideStr(const std::string& text,
                                               InvalidBytes invalid = InvalidBytes::Escape);
// The same conversions into `out`, replacing what it held and reusing its storage: for callers
// that convert many short texts in a row without an allocation each.
WQCOMMON_EXPORT void WQWideToNarrowStr(std::wstring_view text, std::string& out,
                                       InvalidBytes invalid = InvalidBytes::Escape);
WQCOMMON_EXPORT void WQNarrowToWideStr(std::string_view text, std::wstring& out,
                                       InvalidBytes invalid = InvalidBytes::Escape);

// `text` with every character that an XML 1.0 document cannot hold (a surrogate, an escape
// included, U+FFFE, U+FFFF, a value outside Unicode) and every control character (C0, DEL, C1) as
// U+FFFD: text to show in a document or to write into one.
WQCOMMON_EXPORT std::wstring WQXmlPrintable(std::wstring text);

// UTF-16 code units from wide text (surrogate pairs for characters beyond the BMP) and back. A
// lone surrogate, escapes included, or a value outside Unicode becomes U+FFFD either way.
WQCOMMON_EXPORT std::u16string WQWideToUtf16(const std::wstring& text);
WQCOMMON_EXPORT std::wstring WQUtf16ToWide(const std::u16string& text);

}  // namespace WQCommon
