#include <WQCommon/Calendar.h>

#include <cstdio>

namespace WQCommon {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

UtcTime UtcTimeOf(std::int64_t seconds) {
  std::int64_t days = seconds / kSecondsPerDay;
  std::int64_t ofDay = seconds % kSecondsPerDay;
  if (ofDay < 0) {
    --days;
    ofDay += kSecondsPerDay;
  }
  const auto weekday = static_cast<unsigned>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  // DaysFromCivil undone, counted from 1 March of the year 0, so that leap days end a year.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0),
          month,
          day,
          static_cast<unsigned>(ofDay / 3600),
          static_cast<unsigned>(ofDay / 60 % 60),
          static_cast<unsigned>(ofDay % 60),
          weekday};
}

std::string IsoUtcTime(std::int64_t seconds) {
  const UtcTime time = UtcTimeOf(seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ",
                static_cast<long long>(time.Year), time.Month, time.Day, time.Hour, time.Minute,
                time.Second);
  return text;
}

}  // namespace WQCommon
