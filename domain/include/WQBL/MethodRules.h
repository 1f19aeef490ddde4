// The rules an acquisition method runs by: its timing, period by period and item by item, and the
// time-outs of the periods that have no fixed length.
#pragma once

#include <WQBL/Export.h>
#include <WQBL/Method.h>

#include <cstdint>

namespace WQBL {

// Works on a copy of a method. Time periods and sequence items are numbered from 0; a number
// that names none throws std::out_of_range "Method has no time period <tp>." or "Time period <tp>
// has no sequence item <item>.".
class WQBL_EXPORT MethodRules {
 public:
  // `polaritySwitch` is the instrument's polarity switching time in seconds. It is kept as given
  // for QPolaritySwitch() and changes nothing in the method.
  MethodRules(double polaritySwitch, Method method);

  double QPolaritySwitch() const;
  std::uint32_t QNumTimePeriods() const;
  // Minutes.
  double QTPDuration(std::uint32_t tp) const;
  std::uint32_t QTPNumLoops(std::uint32_t tp) const;
  std::uint32_t QNumSeqItems(std::uint32_t tp) const;
  // Seconds.
  double QSIDuration(std::uint32_t tp, std::uint32_t item) const;
  // Sets the time-out, in milliseconds, of time period `tp`.
  void WTPTimeout(std::uint32_t tp, std::uint32_t timeout);

  // The method as the rules now describe it: the method given, with the time-outs written since.
  explicit operator Method() const&;
  // The same, taking the method out of rules no longer needed, without a copy.
  explicit operator Method() &&;

 private:
  double polaritySwitch_;
  Method method_;
};

}  // namespace WQBL
