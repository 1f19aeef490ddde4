// What makes a record read one that the instrument can run: m/z values and times that exist, ranges
// that run upward, tunes that the method has. The module stores whatever its records hold; these
// rules apply where records enter from outside (import) and where stored ones are checked.
#include <cmath>
#include <sstream>
#include <string>

#include "RecordJson.h"

namespace wqtool {
namespace {

// As JSON gives it: a number not finite as the text that an import takes for it.
std::string Text(double value) {
  if (std::isnan(value)) return "\"NaN\"";
  if (std::isinf(value)) return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  std::ostringstream text;
  text.precision(17);
  text << value;
  return text.str();
}

// Refuses the member `name` of `place` unless `value` is a finite number above 0 (or of 0 and
// more, with `zero`), which `what` describes ("a time in seconds").
void RequirePositive(double value, const JsonPlace& place, const char* name, const char* what,
                     bool zero = false) {
  if (std::isfinite(value) && (value > 0 || (zero && value == 0))) return;
  place.Member(name).Refuse(std::string("expected ") + what +
                            (zero ? " of 0 or more" : " above 0") + ", got " + Text(value));
}

}  // namespace

void RecordRules<WQBL::SequenceItem>::Check(const WQBL::SequenceItem& item,
                                            const JsonPlace& place) {
  RequirePositive(item.StartMZ, place, "startMZ", "an m/z");
  // A SIM item monitors its start m/z alone.
  if (item.Kind == WQBL::SequenceItem::FullScan && !(item.EndMZ >= item.StartMZ)) {
    place.Member("endMZ").Refuse("expected an m/z from the start m/z (" + Text(item.StartMZ) +
                                 ") up, got " + Text(item.EndMZ));
  }
  RequirePositive(item.DwellTime, place, "dwell", "a time in seconds");
  RequirePositive(item.Duration, place, "duration", "a time in seconds", true);
}

void RecordRules<WQBL::TimePeriod>::Check(const WQBL::TimePeriod& period, const JsonPlace& place) {
  // A period of duration 0 has no fixed length: it ends at its time-out.
  RequirePositive(period.Duration, place, "duration", "a time in minutes", true);
}

void RecordRules<WQBL::Method>::Check(const WQBL::Method& method, const JsonPlace& place) {
  for (std::size_t p = 0; p < method.TimePeriods.size(); ++p) {
    const std::vector<WQBL::SequenceItem>& items = method.TimePeriods[p].Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (method.Tunes.count(items[i].TuneId) == 0) {
        place.Member("periods").Element(p).Member("items").Element(i).Member("tuneId").Refuse(
            "no tune of the method's tunes has the id " + std::to_string(items[i].TuneId));
      }
    }
  }
}

void RecordRules<WQBL::MZRange>::Check(const WQBL::MZRange& range, const JsonPlace& place) {
  if (range.Kind != WQBL::MZRange::Bounded) return;  // the full range uses no bounds
  RequirePositive(range.Low, place, "low", "an m/z", true);
  if (!(range.High >= range.Low)) {
    place.Member("high").Refuse("expected an m/z from the low one (" + Text(range.Low) +
                                ") up, got " + Text(range.High));
  }
}

void RecordRules<WQBL::ChargeStateParams>::Check(const WQBL::ChargeStateParams& params,
                                                 const JsonPlace& place) {
  if (params.MinCharge < 1) {
    place.Member("minCharge")
        .Refuse("expected a charge of 1 or more, got " + std::to_string(params.MinCharge));
  }
  if (params.MaxCharge < params.MinCharge) {
    place.Member("maxCharge")
        .Refuse("expected a charge from the least one (" + std::to_string(params.MinCharge) +
                ") up, got " + std::to_string(params.MaxCharge));
  }
  RequirePositive(params.MassTolerance, place, "massTolerance", "a tolerance", true);
}

void RecordRules<WQBL::AppThreadingParams>::Check(const WQBL::AppThreadingParams& params,
                                                  const JsonPlace& place) {
  if (params.ThreadCount < 1)
    place.Member("threadCount").Refuse("expected 1 thread or more, got 0");
}

}  // namespace wqtool
