#include <WQBL/MethodRules.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace WQBL {

namespace {

// Time period `tp` of `method`, const or not.
template <typename MethodRef>
auto& PeriodOf(MethodRef& method, std::uint32_t tp) {
  if (tp >= method.TimePeriods.size())
    throw std::out_of_range("Method has no time period " + std::to_string(tp) + ".");
  return method.TimePeriods[tp];
}

}  // namespace

MethodRules::MethodRules(double polaritySwitch, Method method)
    : polaritySwitch_(polaritySwitch), method_(std::move(method)) {}

double MethodRules::QPolaritySwitch() const { return polaritySwitch_; }

std::uint32_t MethodRules::QNumTimePeriods() const {
  return static_cast<std::uint32_t>(method_.TimePeriods.size());
}

double MethodRules::QTPDuration(std::uint32_t tp) const { return PeriodOf(method_, tp).Duration; }

std::uint32_t MethodRules::QTPNumLoops(std::uint32_t tp) const {
  return PeriodOf(method_, tp).NumLoops;
}

std::uint32_t MethodRules::QNumSeqItems(std::uint32_t tp) const {
  return static_cast<std::uint32_t>(PeriodOf(method_, tp).Items.size());
}

double MethodRules::QSIDuration(std::uint32_t tp, std::uint32_t item) const {
  const TimePeriod& period = PeriodOf(method_, tp);
  if (item >= period.Items.size()) {
    throw std::out_of_range("Time period " + std::to_string(tp) + " has no sequence item " +
                            std::to_string(item) + ".");
  }
  return period.Items[item].Duration;
}

void MethodRules::WTPTimeout(std::uint32_t tp, std::uint32_t timeout) {
  PeriodOf(method_, tp).Timeout = timeout;
}

MethodRules::operator Method() const& { return method_; }

MethodRules::operator Method() && { return std::move(method_); }

}  // namespace WQBL
