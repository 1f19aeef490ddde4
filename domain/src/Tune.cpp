#include <WQBL/Tune.h>

#include <cstdint>

namespace WQBL {

namespace {

constexpr std::uint32_t kTuneVersion = 1;

}  // namespace

Tune::Tune()
    : CapillaryVoltage(3.0),
      ConeVoltage(30.0),
      ExtractorVoltage(3.0),
      RFLensVoltage(0.5),
      SourceTemperature(120.0),
      DesolvationTemperature(350.0),
      ConeGasFlow(50.0),
      DesolvationGasFlow(500.0),
      LowMassResolution(15.0),
      HighMassResolution(15.0),
      Polarity(WQCommon::Positive) {}

void Tune::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kTuneVersion, "Tune", *this);
}

void Tune::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kTuneVersion, *this);
}

bool Tune::operator==(const Tune& other) const { return Fields(*this) == Fields(other); }

}  // namespace WQBL
