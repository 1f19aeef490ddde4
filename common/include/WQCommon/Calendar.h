// Moments of UTC counted in seconds from 1970-01-01T00:00:00Z, on the proleptic Gregorian
// calendar, for any count of seconds: no leap seconds, no time zone, no call to the system.
#pragma once

#include <WQCommon/Export.h>

#include <cstdint>
#include <string>

namespace WQCommon {

// A moment as the calendar and the clock name it.
struct UtcTime {
  std::int64_t Year;
  unsigned Month;    // 1 to 12
  unsigned Day;      // 1 to 31
  unsigned Hour;     // 0 to 23
  unsigned Minute;   // 0 to 59
  unsigned Second;   // 0 to 59
  unsigned Weekday;  // 0 for Sunday to 6 for Saturday
};

// The moment `seconds` after 1970-01-01T00:00:00Z.
WQCOMMON_EXPORT UtcTime UtcTimeOf(std::int64_t seconds);
// Days from 1970-01-01 to the date `year`-`month`-`day` (month 1 to 12).
WQCOMMON_EXPORT std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
// The moment `seconds` as "YYYY-MM-DDTHH:MM:SSZ" (ISO 8601 and XML Schema's dateTime for years
// 0 to 9999).
WQCOMMON_EXPORT std::string IsoUtcTime(std::int64_t seconds);

}  // namespace WQCommon
