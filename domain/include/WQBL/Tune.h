// The instrument's tuning settings: what the ion source, the lenses and the quadrupole are set to
// while data is acquired.
#pragma once

#include <WQBL/Export.h>
#include <WQCommon/Binary.h>
#include <WQCommon/Instrument.h>

#include <tuple>

namespace WQBL {

// A plain value: every parameter is a public member. The binary form starts with a record version
// of its own; reading a record of another version throws std::runtime_error "Unknown Tune
// version.", and a stream that ends early or a polarity that is none of its values throws
// WQCommon::StreamError. A failed read leaves the
// tune as it was.
class WQBL_EXPORT Tune : public WQCommon::IWQSerial {
 public:
  // Factory settings of an electrospray source in positive mode.
  Tune();

  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  using WQCommon::IWQSerial::Serialize;

  bool operator==(const Tune& other) const;
  bool operator!=(const Tune& other) const { return !(*this == other); }

  double CapillaryVoltage;        // kV
  double ConeVoltage;             // V
  double ExtractorVoltage;        // V
  double RFLensVoltage;           // V
  double SourceTemperature;       // degrees Celsius
  double DesolvationTemperature;  // degrees Celsius
  double ConeGasFlow;             // L/h
  double DesolvationGasFlow;      // L/h
  double LowMassResolution;       // quadrupole resolution setting at the low end of the mass range
  double HighMassResolution;      // and at the high end
  WQCommon::PolarityTypes Polarity;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.CapillaryVoltage, self.ConeVoltage, self.ExtractorVoltage,
                    self.RFLensVoltage, self.SourceTemperature, self.DesolvationTemperature,
                    self.ConeGasFlow, self.DesolvationGasFlow, self.LowMassResolution,
                    self.HighMassResolution, self.Polarity);
  }
};

}  // namespace WQBL
