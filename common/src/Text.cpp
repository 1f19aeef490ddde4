#include <WQCommon/Text.h>

#include <algorithm>
#include <boost/locale/utf.hpp>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

namespace WQCommon {

namespace utf = boost::locale::utf;

static_assert(sizeof(wchar_t) == 4, "wide text is expected to hold one code point a character");

namespace {

constexpr utf::code_point kReplacement = 0xFFFD;
// The escape of byte 0xXY is U+DC00 + 0xXY; only bytes from 0x80 can be invalid.
constexpr std::uint32_t kEscapeBase = 0xDC00;

utf::code_point ValidOrReplacement(wchar_t character) {
  const auto value = static_cast<utf::code_point>(character);
  return utf::is_valid_codepoint(value) ? value : kReplacement;
}

// Encodes `text`; an escape becomes its byte again in UTF-8 when `invalid` is Escape.
template <typename Unit, typename Output>
void EncodeWide(std::wstring_view text, Output& encoded,
                InvalidBytes invalid = InvalidBytes::Replace) {
  // Most text is ASCII, whose characters are their own units: that part is copied in one go.
  const auto ascii = std::find_if(text.begin(), text.end(), [](wchar_t character) {
    return static_cast<std::uint32_t>(character) >= 0x80;
  });
  encoded.clear();
  // Only ever grown: reserve() of less than the capacity may reallocate to shrink.
  if (encoded.capacity() < text.size()) encoded.reserve(text.size());
  encoded.resize(static_cast<std::size_t>(ascii - text.begin()));
  std::transform(text.begin(), ascii, encoded.begin(),
                 [](wchar_t character) { return static_cast<Unit>(character); });
  auto out = std::back_inserter(encoded);
  for (const wchar_t character : text.substr(encoded.size())) {
    if (static_cast<std::uint32_t>(character) < 0x80) {
      encoded.push_back(static_cast<Unit>(character));
    } else if (std::is_same_v<Unit, char> && invalid == InvalidBytes::Escape &&
               IsByteEscape(character)) {
      encoded.push_back(static_cast<Unit>(static_cast<std::uint32_t>(character) - kEscapeBase));
    } else {
      out = utf::utf_traits<Unit>::encode(ValidOrReplacement(character), out);
    }
  }
}

// Decodes `text`. An invalid sequence becomes U+FFFD, and the decode resumes at the next unit that
// can start a character, so that no valid character after the fault is lost; or, escaped, each of
// its bytes becomes its escape, and the decode resumes at the next byte.
template <typename Unit>
void DecodeToWide(std::basic_string_view<Unit> text, std::wstring& decoded,
                  InvalidBytes invalid = InvalidBytes::Replace) {
  using Traits = utf::utf_traits<Unit>;
  auto position = std::find_if(text.begin(), text.end(), [](Unit unit) {
    return static_cast<std::make_unsigned_t<Unit>>(unit) >= 0x80;
  });
  decoded.clear();
  // Only ever grown: reserve() of less than the capacity may reallocate to shrink.
  if (decoded.capacity() < text.size()) decoded.reserve(text.size());
  // The ASCII start of the text, its units being its characters, is copied in one go.
  decoded.resize(static_cast<std::size_t>(position - text.begin()));
  std::copy(text.begin(), position, decoded.begin());
  while (position != text.end()) {
    // A unit below 0x80 is a whole character in UTF-8 and UTF-16 alike: most text is only these.
    const auto unit = static_cast<std::make_unsigned_t<Unit>>(*position);
    if (unit < 0x80) {
      decoded.push_back(static_cast<wchar_t>(unit));
      ++position;
      continue;
    }
    const auto start = position;
    const utf::code_point value = Traits::decode(position, text.end());
    if (value == utf::illegal || value == utf::incomplete) {
      position = start + 1;
      if (invalid == InvalidBytes::Escape) {
        decoded.push_back(static_cast<wchar_t>(kEscapeBase + unit));
        continue;
      }
      while (position != text.end() && Traits::is_trail(*position)) ++position;
      decoded.push_back(static_cast<wchar_t>(kReplacement));
    } else {
      decoded.push_back(static_cast<wchar_t>(value));
    }
  }
}

}  // namespace

std::string WQWideToNarrowStr(const std::wstring& text, InvalidBytes invalid) {
  std::string encoded;
  EncodeWide<char>(text, encoded, invalid);
  return encoded;
}

std::wstring WQNarrowToWideStr(const std::string& text, InvalidBytes invalid) {
  std::wstring decoded;
  DecodeToWide(std::string_view(text), decoded, invalid);
  return decoded;
}

void WQWideToNarrowStr(std::wstring_view text, std::string& out, InvalidBytes invalid) {
  EncodeWide<char>(text, out, invalid);
}

void WQNarrowToWideStr(std::string_view text, std::wstring& out, InvalidBytes invalid) {
  DecodeToWide(text, out, invalid);
}

std::wstring WQXmlPrintable(std::wstring text) {
  for (wchar_t& c : text) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code < 0x20 || (code >= 0x7f && code < 0xa0) || (code >= 0xd800 && code < 0xe000) ||
        code == 0xfffe || code == 0xffff || code > 0x10ffff) {
      c = L'\xfffd';
    }
  }
  return text;
}

std::u16string WQWideToUtf16(const std::wstring& text) {
  std::u16string encoded;
  EncodeWide<char16_t>(text, encoded);
  return encoded;
}

std::wstring WQUtf16ToWide(const std::u16string& text) {
  std::wstring decoded;
  DecodeToWide(std::u16string_view(text), decoded);
  return decoded;
}

}  // namespace WQCommon
