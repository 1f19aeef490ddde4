#include <WQCommon/Instrument.h>
#include <WQCommon/Text.h>

#include <array>
#include <iterator>
#include <string_view>

namespace WQCommon {

namespace {

constexpr std::array<const wchar_t*, 4> kProbeNames = {L"ESI", L"APCI", L"ESCi", L"APPI"};
constexpr std::array<const wchar_t*, 2> kPolarityNames = {L"Positive", L"Negative"};

static_assert(kProbeNames.size() <= 10, "a probe's id is a single digit");

bool IsProbe(int value) { return value >= 0 && value < static_cast<int>(kProbeNames.size()); }

}  // namespace

std::wstring Probes::GetName(ProbeTypes probe) {
  return GetNameNoId(probe) + L" (" + std::to_wstring(static_cast<int>(probe)) + L")";
}

std::wstring Probes::GetNameNoId(ProbeTypes probe) {
  return IsProbe(probe) ? kProbeNames[probe] : L"Unknown";
}

int Probes::GetId(const std::wstring& name) {
  // Compared in place, as documents are read often: "<name>" or "<name> (<id>)".
  const std::wstring_view text = name;
  for (int id = 0; IsProbe(id); ++id) {
    const std::wstring_view plain = kProbeNames[id];
    if (text.substr(0, plain.size()) != plain) continue;
    const wchar_t withId[] = {L' ', L'(', static_cast<wchar_t>(L'0' + id), L')'};
    const std::wstring_view rest = text.substr(plain.size());
    if (rest.empty() || rest == std::wstring_view(withId, std::size(withId))) return id;
  }
  return -1;
}

UnknownPolarityError::UnknownPolarityError(const std::wstring& text)
    : std::runtime_error("Unknown polarity text (" + WQWideToNarrowStr(text) + ")") {}

std::wstring PolarityToWStr(PolarityTypes polarity) {
  const int value = static_cast<int>(polarity);
  if (value < 0 || value >= static_cast<int>(kPolarityNames.size())) {
    throw UnknownPolarityError(std::to_wstring(value));
  }
  return kPolarityNames[value];
}

PolarityTypes PolarityFromWStr(const std::wstring& text) {
  for (std::size_t value = 0; value < kPolarityNames.size(); ++value) {
    if (text == kPolarityNames[value]) return static_cast<PolarityTypes>(value);
  }
  throw UnknownPolarityError(text);
}

}  // namespace WQCommon
