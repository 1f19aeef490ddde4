// The syringe pump that infuses sample or calibrant into the ion source.
#pragma once

#include <WQBL/Export.h>
#include <WQCommon/XML.h>

namespace WQBL {

// A plain value. Its XML form is the element "Syringe", a child of the current element, holding
// "Diameter", "Volume", "FlowRate" (numbers in their shortest exact form) and "Enabled" ("true"
// or "false"). Reading takes each child element that is present; a missing "Syringe" element, or
// a text that is no number or no truth value, leaves the member as it was.
class WQBL_EXPORT Syringe : public WQCommon::IWQXML {
 public:
  // A 250 uL syringe of 2.30 mm inner diameter at 10 uL/min, not in use.
  Syringe();

  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;

  bool operator==(const Syringe& other) const;
  bool operator!=(const Syringe& other) const { return !(*this == other); }

  double Diameter;  // inner diameter, mm
  double Volume;    // uL
  double FlowRate;  // uL/min
  bool Enabled;
};

}  // namespace WQBL
