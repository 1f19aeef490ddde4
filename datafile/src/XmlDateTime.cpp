#include "XmlDateTime.h"

#include <WQCommon/Calendar.h>

#include <cctype>
#include <cstdio>

namespace WQDataFile::detail {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z.
constexpr std::int64_t kFirstTime = -62135596800;
constexpr std::int64_t kEndOfTimes = 253402300800;

}  // namespace

std::optional<std::int64_t> ParseXmlDateTime(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &used) != 6) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  std::size_t rest = static_cast<std::size_t>(used);
  if (rest < text.size() && text[rest] == '.') {
    ++rest;
    while (rest < text.size() && std::isdigit(static_cast<unsigned char>(text[rest]))) ++rest;
  }
  std::int64_t offset = 0;
  if (rest < text.size() && (text[rest] == '+' || text[rest] == '-')) {
    int zoneHour = 0, zoneMinute = 0;
    if (std::sscanf(text.c_str() + rest + 1, "%2d:%2d", &zoneHour, &zoneMinute) != 2) {
      return std::nullopt;
    }
    offset = (zoneHour * 60 + zoneMinute) * 60 * (text[rest] == '+' ? 1 : -1);
  }
  return WQCommon::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) *
             kSecondsPerDay +
         hour * 3600 + minute * 60 + second - offset;
}

std::optional<std::string> XmlDateTime(std::int64_t time) {
  if (time < kFirstTime || time >= kEndOfTimes) return std::nullopt;
  return WQCommon::IsoUtcTime(time);
}

}  // namespace WQDataFile::detail
