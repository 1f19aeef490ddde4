#include "XmlDateTime.h"

#include <cctype>
#include <cstdio>

namespace WQDataFile::detail {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z.
constexpr std::int64_t kFirstTime = -62135596800;
constexpr std::int64_t kEndOfTimes = 253402300800;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
  std::int64_t Year;
  unsigned Month;  // 1 to 12
  unsigned Day;    // 1 to 31
};

// The date of the proleptic Gregorian calendar `days` days after 1970-01-01: DaysFromCivil undone.
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;  // counted from 1 March of the year 0, so that leap days end a year
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

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
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) *
             kSecondsPerDay +
         hour * 3600 + minute * 60 + second - offset;
}

std::optional<std::string> XmlDateTime(std::int64_t time) {
  if (time < kFirstTime || time >= kEndOfTimes) return std::nullopt;
  std::int64_t days = time / kSecondsPerDay;
  std::int64_t seconds = time % kSecondsPerDay;
  if (seconds < 0) {
    --days;
    seconds += kSecondsPerDay;
  }
  const CivilDate date = CivilFromDays(days);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ",
                static_cast<long long>(date.Year), date.Month, date.Day,
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return std::string(text);
}

}  // namespace WQDataFile::detail
