// One step of an evaluation method: baseline, noise, threshold or peak detection, with its
// parameters. An evaluation method runs its steps in order over a spectrum or a chromatogram.
#pragma once

#include <WQBL/Export.h>
#include <WQBL/ProcessingParams.h>
#include <WQCommon/Binary.h>
#include <WQCommon/EnumText.h>
#include <WQCommon/XML.h>

#include <cstdint>
#include <variant>

namespace WQBL {

class WQBL_EXPORT CurveEval : public WQCommon::IWQSerial, public WQCommon::IWQXML {
 public:
  // Stored in files: never renumber. Each value is the index of its record in Params.
  enum Kinds : std::int32_t { NoStep = 0, Baseline = 1, Noise = 2, Threshold = 3, PeakDetect = 4 };
  // The kinds' names, as the XML form writes them.
  static const WQCommon::EnumTextMap<Kinds>& KindTexts();
  using Params =
      std::variant<std::monostate, BaselineParams, NoiseParams, ThresholdParams, PeakDetectParams>;

  // A step that does nothing (NoStep).
  CurveEval();
  explicit CurveEval(const BaselineParams& params);
  explicit CurveEval(const NoiseParams& params);
  explicit CurveEval(const ThresholdParams& params);
  explicit CurveEval(const PeakDetectParams& params);

  Kinds QKind() const;
  // The step's parameter record, of the alternative that QKind() names.
  const Params& QParams() const;

  // Binary form: record version, kind (int32), then the parameter record's own binary form
  // unless the kind is NoStep. Reading throws std::runtime_error "Unknown CurveEval version." or
  // "Unknown CurveEval kind." for values it does not know, the parameter record's errors, and
  // WQCommon::StreamError for a short stream; the step then keeps its value.
  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;

  // XML form: an element "CurveEval", written into the element that the builder has open, holding
  // "Kind" (the kind's name, as in Kinds) and "Params" (the parameter record's binary form as
  // lower-case hexadecimal, empty for NoStep). Reading throws WQCommon::XMLResultException 1001
  // with the element's name for a missing element, std::runtime_error "Unknown CurveEval kind." or
  // "Invalid CurveEval parameters." for a text it cannot read, and the binary reading errors of
  // the parameter record; the step then keeps its value.
  using WQCommon::IWQXML::Serialize;
  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;

  bool operator==(const CurveEval& other) const;

 private:
  Params params_;
};

}  // namespace WQBL
