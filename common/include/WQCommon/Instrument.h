// Names of the instrument's ion sources (probes) and ion polarities.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/Export.h>

#include <stdexcept>
#include <string>

namespace WQCommon {

class WQCOMMON_EXPORT Probes {
 public:
  // Ion source kinds of the single-quadrupole instrument. Values are stored in files: never
  // renumber them. Based on int so that a value read from a file that is no kind stays valid.
  enum ProbeTypes : int { ESI = 0, APCI = 1, ESCi = 2, APPI = 3 };

  // Display name with its id, for example "APCI (1)"; "Unknown (7)" for a value that is no kind.
  static std::wstring GetName(ProbeTypes probe);
  // Display name alone, for example "APCI"; "Unknown" for a value that is no kind.
  static std::wstring GetNameNoId(ProbeTypes probe);
  // The kind named `name`, in either form above; -1 for a name that is no kind.
  static int GetId(const std::wstring& name);
};

constexpr StoredEnumeration StoredValues(Probes::ProbeTypes) {
  return {"Probe", Probes::ESI, Probes::APPI};
}

enum PolarityTypes : int { Positive = 0, Negative = 1 };

constexpr StoredEnumeration StoredValues(PolarityTypes) { return {"Polarity", Positive, Negative}; }

// Raised by PolarityFromWStr for a text that names no polarity.
class WQCOMMON_EXPORT UnknownPolarityError : public std::runtime_error {
 public:
  explicit UnknownPolarityError(const std::wstring& text);
};

// "Positive" or "Negative"; throws UnknownPolarityError for any other value.
WQCOMMON_EXPORT std::wstring PolarityToWStr(PolarityTypes polarity);
// The polarity that `text` names exactly; throws UnknownPolarityError otherwise.
WQCOMMON_EXPORT PolarityTypes PolarityFromWStr(const std::wstring& text);

}  // namespace WQCommon
