#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQCommon/XMLNumbers.h>

#include <boost/lexical_cast.hpp>
#include <charconv>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <type_traits>
#include <utility>

namespace WQCommon {

namespace {

// Room for any double in any notation and precision used here: the fixed notation of the
// largest takes 309 digits before the point.
constexpr std::size_t kNumberTextSize = 400;

// The text that std::to_chars wrote into `buffer`. Throws std::length_error when it did not fit,
// rather than hand on whatever the buffer held.
std::wstring WrittenText(const char* buffer, std::to_chars_result result) {
  if (result.ec != std::errc()) throw std::length_error("a number's text is longer than its room");
  const char* end = result.ptr;
  return std::wstring(buffer, end);
}

// `value` as printf writes it with "%.<precision>g" or "%.<precision>f".
std::wstring PrintfText(double value, std::chars_format format, int precision) {
  char buffer[kNumberTextSize];
  return WrittenText(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, value, format, precision));
}

// A stream over `text` in the classic locale. Making a stream and its locale costs more than the
// parse, so each thread reuses one; a caller is done with it before it asks for it again.
std::wistringstream& ClassicStream(const std::wstring& text) {
  thread_local std::wistringstream stream = [] {
    std::wistringstream classic;
    classic.imbue(std::locale::classic());
    return classic;
  }();
  stream.clear();
  stream.str(text);
  return stream;
}

// The longest text taken by the plain decimal reading below: too short to overflow or underflow.
constexpr std::size_t kPlainDecimalLength = 24;

// Reads `text` into `value` when it is only digits with at most one decimal point, as documents
// write their numbers; false, leaving `value`, for any other text. std::from_chars and a stream
// both round such a text correctly, so they read it as the same double, without the stream's cost.
bool ReadPlainDecimal(const std::wstring& text, double& value) {
  if (text.size() > kPlainDecimalLength) return false;
  char narrow[kPlainDecimalLength];
  bool digit = false;
  bool point = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t character = text[i];
    if (character >= L'0' && character <= L'9') {
      digit = true;
    } else if (character == L'.' && !point) {
      point = true;
    } else {
      return false;
    }
    narrow[i] = static_cast<char>(character);
  }
  if (!digit) return false;
  return std::from_chars(narrow, narrow + text.size(), value).ec == std::errc();
}

}  // namespace

std::wstring FullPrecisionText(double value) {
  return PrintfText(value, std::chars_format::general, 17);
}

std::wstring ShortestExactText(double value) {
  char buffer[kNumberTextSize];
  return WrittenText(buffer, std::to_chars(buffer, buffer + sizeof buffer, value));
}

std::wstring SixDigitText(double value) { return PrintfText(value, std::chars_format::general, 6); }

std::wstring TwoDecimalText(double value) { return PrintfText(value, std::chars_format::fixed, 2); }

std::wstring DecimalText(std::int32_t value) {
  char buffer[kNumberTextSize];
  return WrittenText(buffer, std::to_chars(buffer, buffer + sizeof buffer, value));
}

template <typename Number>
Number ParseWholeNumber(const std::wstring& text, const std::string& owner) {
  std::wistringstream& stream = ClassicStream(text);
  Number value{};
  stream >> value;
  if (stream.fail() || !(stream >> std::ws).eof())
    throw std::runtime_error("Invalid number \"" + WQWideToNarrowStr(text) + "\" in " + owner +
                             ".");
  return value;
}

template <typename Number>
Number LexicalCastNumber(const std::wstring& text, const std::wstring& element,
                         const std::wstring& source) {
  try {
    return boost::lexical_cast<Number>(text);
  } catch (const boost::bad_lexical_cast& error) {
    const std::string kind = std::is_integral_v<Number>
                                 ? "a whole number from " +
                                       std::to_string(std::numeric_limits<Number>::min()) + " to " +
                                       std::to_string(std::numeric_limits<Number>::max())
                                 : std::string("a number");
    ThrowWithContext(error, "Cannot read the element " + WQWideToNarrowStr(element) + " of " +
                                WQWideToNarrowStr(source) + ": \"" + WQWideToNarrowStr(text) +
                                "\" is not " + kind);
  }
}

void ReadWholeNumberOrKeep(const std::wstring& text, double& value) {
  const std::string narrow = WQWideToNarrowStr(text);
  const char* end = narrow.data() + narrow.size();
  double number = 0.0;
  const auto result = std::from_chars(narrow.data(), end, number);
  if (result.ec == std::errc() && result.ptr == end) value = number;
}

template <typename Number>
void ReadLeadingNumberOrKeep(const std::wstring& text, Number& value) {
  if constexpr (std::is_same_v<Number, double>) {
    if (ReadPlainDecimal(text, value)) return;
  }
  std::wistringstream& stream = ClassicStream(text);
  Number number{};
  if (stream >> number) value = number;
}

template WQCOMMON_EXPORT std::int32_t ParseWholeNumber(const std::wstring&, const std::string&);
template WQCOMMON_EXPORT double ParseWholeNumber(const std::wstring&, const std::string&);
template WQCOMMON_EXPORT std::int32_t LexicalCastNumber(const std::wstring&, const std::wstring&,
                                                        const std::wstring&);
template WQCOMMON_EXPORT double LexicalCastNumber(const std::wstring&, const std::wstring&,
                                                  const std::wstring&);
template WQCOMMON_EXPORT void ReadLeadingNumberOrKeep(const std::wstring&, std::int32_t&);
template WQCOMMON_EXPORT void ReadLeadingNumberOrKeep(const std::wstring&, double&);

}  // namespace WQCommon
