// The dates and times of the XML formats (xs:dateTime) as seconds since 1970, read and written.
// Internal to the data-file library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace WQDataFile::detail {

// Seconds since 1970 of an XML date and time (2024-05-17T09:30:00, with an optional fraction and
// zone: Z or +hh:mm; none is taken for UTC). Nothing for any other text.
std::optional<std::int64_t> ParseXmlDateTime(const std::string& text);

// `time` (seconds since 1970) as an XML date and time in UTC (2024-05-17T07:30:00Z); nothing
// outside the years 1 to 9999, which the format's four-digit years do not reach.
std::optional<std::string> XmlDateTime(std::int64_t time);

}  // namespace WQDataFile::detail
