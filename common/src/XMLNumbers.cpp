#include <WQCommon/Text.h>
#include <WQCommon/XMLNumbers.h>

#include <boost/lexical_cast.hpp>
#include <charconv>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace WQCommon {

namespace {

// Room for any double in any notation and precision used here.
constexpr std::size_t kNumberTextSize = 64;

// `value` as printf writes it with "%.<precision>g" or "%.<precision>f".
std::wstring PrintfText(double value, std::chars_format format, int precision) {
  char buffer[kNumberTextSize];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  return std::wstring(buffer, result.ptr);
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

}  // namespace

std::wstring FullPrecisionText(double value) {
  return PrintfText(value, std::chars_format::general, 17);
}

std::wstring ShortestExactText(double value) {
  char buffer[kNumberTextSize];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::wstring(buffer, result.ptr);
}

std::wstring SixDigitText(double value) { return PrintfText(value, std::chars_format::general, 6); }

std::wstring TwoDecimalText(double value) { return PrintfText(value, std::chars_format::fixed, 2); }

std::wstring DecimalText(std::int32_t value) {
  char buffer[kNumberTextSize];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::wstring(buffer, result.ptr);
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
Number LexicalCastNumber(const std::wstring& text) {
  return boost::lexical_cast<Number>(text);
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
  std::wistringstream& stream = ClassicStream(text);
  Number number{};
  if (stream >> number) value = number;
}

template WQCOMMON_EXPORT std::int32_t ParseWholeNumber(const std::wstring&, const std::string&);
template WQCOMMON_EXPORT double ParseWholeNumber(const std::wstring&, const std::string&);
template WQCOMMON_EXPORT std::int32_t LexicalCastNumber(const std::wstring&);
template WQCOMMON_EXPORT double LexicalCastNumber(const std::wstring&);
template WQCOMMON_EXPORT void ReadLeadingNumberOrKeep(const std::wstring&, std::int32_t&);
template WQCOMMON_EXPORT void ReadLeadingNumberOrKeep(const std::wstring&, double&);

}  // namespace WQCommon
