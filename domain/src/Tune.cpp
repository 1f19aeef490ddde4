#include <WQBL/Tune.h>

#include <cstdint>
#include <stdexcept>
#include <tuple>

namespace WQBL {

namespace {

constexpr std::uint32_t kTuneVersion = 1;

// The members in the order of the binary form, as references into `tune`.
template <typename TuneRef>
auto Fields(TuneRef& tune) {
  return std::tie(tune.CapillaryVoltage, tune.ConeVoltage, tune.ExtractorVoltage,
                  tune.RFLensVoltage, tune.SourceTemperature, tune.DesolvationTemperature,
                  tune.ConeGasFlow, tune.DesolvationGasFlow, tune.LowMassResolution,
                  tune.HighMassResolution, tune.Polarity);
}

void Write(WQCommon::BinaryWriter& writer, double value) { writer << value; }

void Write(WQCommon::BinaryWriter& writer, WQCommon::PolarityTypes polarity) {
  writer << static_cast<std::int32_t>(polarity);
}

void Read(WQCommon::BinaryReader& reader, double& value) { reader >> value; }

void Read(WQCommon::BinaryReader& reader, WQCommon::PolarityTypes& polarity) {
  std::int32_t value = 0;
  reader >> value;
  polarity = static_cast<WQCommon::PolarityTypes>(value);
}

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
  WQCommon::ReadRecordVersion(reader, kTuneVersion, "Tune");
  Tune read;
  std::apply([&reader](auto&... field) { (Read(reader, field), ...); }, Fields(read));
  *this = read;
}

void Tune::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kTuneVersion;
  std::apply([&writer](const auto&... field) { (Write(writer, field), ...); }, Fields(*this));
}

bool Tune::operator==(const Tune& other) const { return Fields(*this) == Fields(other); }

}  // namespace WQBL
