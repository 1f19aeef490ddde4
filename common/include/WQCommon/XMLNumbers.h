// Numbers in the text of XML elements. Every document format keeps numbers by one of the rules
// below, and a format names its rule by calling it rather than formatting or parsing on its own.
// All of them work in the classic ("C") locale, whatever the global one is.
#pragma once

#include <WQCommon/Export.h>

#include <cstdint>
#include <string>

namespace WQCommon {

// Writing. Infinities and NaNs come out as "inf", "-inf", "nan" and "-nan".

// Every significant digit a double can need (17): reads back as exactly the same number, but
// 0.1 comes out as 0.10000000000000001.
WQCOMMON_EXPORT std::wstring FullPrecisionText(double value);
// The shortest text that reads back as exactly the same number: 0.1, 250, 2.5e-07.
WQCOMMON_EXPORT std::wstring ShortestExactText(double value);
// Six significant digits, as a default-constructed stream writes a double: fixed or exponent
// notation as "%g" chooses, trailing zeros dropped (1234.57, 0.5, 100, 1.5e+07).
WQCOMMON_EXPORT std::wstring SixDigitText(double value);
// Fixed point with exactly two decimals, rounded: 0.70, 1.23.
WQCOMMON_EXPORT std::wstring TwoDecimalText(double value);
// An integer in decimal, with "-" before a negative one and no other sign.
WQCOMMON_EXPORT std::wstring DecimalText(std::int32_t value);

// Reading. Number is std::int32_t or double. They differ in what they accept around and inside
// the number and in what they do with text that is not one.

// The whole of `text` as a Number, read as a stream reads it: blanks before and after and a
// "+" or "-" sign allowed. Anything else (an empty text, trailing characters, a fraction or an
// out-of-range value for an integer) throws std::runtime_error
// "Invalid number \"<text>\" in <owner>.".
template <typename Number>
WQCOMMON_EXPORT Number ParseWholeNumber(const std::wstring& text, const std::string& owner);

// The whole of `text`, the text of the element `element` of the document `source`, as a Number by
// boost::lexical_cast: a "+" or "-" sign allowed, no blanks anywhere. Anything else throws Boost's
// bad_lexical_cast with Boost's own text, and with the place nested in it (ContextOf in
// ErrorContext.h): "Cannot read the element <element> of <source>: "<text>" is not a number"
// ("not a whole number from -2147483648 to 2147483647" for std::int32_t).
template <typename Number>
WQCOMMON_EXPORT Number LexicalCastNumber(const std::wstring& text, const std::wstring& element,
                                         const std::wstring& source);

// Sets `value` to the whole of `text` when it is a decimal number: an optional "-", no blanks,
// no "+"; "inf" and "nan" are numbers too. Otherwise `value` keeps what it held.
WQCOMMON_EXPORT void ReadWholeNumberOrKeep(const std::wstring& text, double& value);

// Sets `value` to the number that `text` begins with, as a stream reads it: blanks skipped, the
// number read up to the first character that cannot continue it, the rest ignored. When the text
// does not begin with a number, or it does not fit a Number, `value` keeps what it held.
template <typename Number>
WQCOMMON_EXPORT void ReadLeadingNumberOrKeep(const std::wstring& text, Number& value);

}  // namespace WQCommon
