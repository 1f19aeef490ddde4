#include <WQBL/ProcessingParams.h>

#include <stdexcept>

namespace WQBL {

namespace {

constexpr std::uint32_t kBaselineParamsVersion = 1;
constexpr std::uint32_t kNoiseParamsVersion = 1;
constexpr std::uint32_t kPeakDetectParamsVersion = 1;
constexpr std::uint32_t kSmoothParamsVersion = 1;
constexpr std::uint32_t kThresholdParamsVersion = 1;
constexpr std::uint32_t kOPDParamsVersion = 1;
constexpr std::uint32_t kRampAlgorithmParamsVersion = 1;
constexpr std::uint32_t kChargeStateParamsVersion = 1;
constexpr std::uint32_t kAppThreadingParamsVersion = 1;

}  // namespace

BaselineParams::BaselineParams() : Algorithm(NoBaseline), WindowWidth(51) {}

BaselineParams BaselineParams::DefaultIC() {
  BaselineParams params;
  params.Algorithm = MovingMinimum;
  params.WindowWidth = 101;
  return params;
}

BaselineParams BaselineParams::DefaultMS() {
  BaselineParams params;
  params.Algorithm = Linear;
  params.WindowWidth = 25;
  return params;
}

void BaselineParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kBaselineParamsVersion, "BaselineParams");
  std::int32_t algorithm = 0;
  std::uint32_t windowWidth = 0;
  reader >> algorithm >> windowWidth;
  Algorithm = static_cast<Algorithms>(algorithm);
  WindowWidth = windowWidth;
}

void BaselineParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kBaselineParamsVersion << static_cast<std::int32_t>(Algorithm) << WindowWidth;
}

bool BaselineParams::operator==(const BaselineParams& other) const {
  return Algorithm == other.Algorithm && WindowWidth == other.WindowWidth;
}

NoiseParams::NoiseParams() : WindowWidth(50), Factor(3.0) {}

NoiseParams NoiseParams::DefaultIC() {
  NoiseParams params;
  params.WindowWidth = 200;
  params.Factor = 5.0;
  return params;
}

NoiseParams NoiseParams::DefaultMS() {
  NoiseParams params;
  params.WindowWidth = 100;
  params.Factor = 4.0;
  return params;
}

void NoiseParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kNoiseParamsVersion, "NoiseParams");
  std::uint32_t windowWidth = 0;
  double factor = 0.0;
  reader >> windowWidth >> factor;
  WindowWidth = windowWidth;
  Factor = factor;
}

void NoiseParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kNoiseParamsVersion << WindowWidth << Factor;
}

bool NoiseParams::operator==(const NoiseParams& other) const {
  return WindowWidth == other.WindowWidth && Factor == other.Factor;
}

PeakDetectParams::PeakDetectParams() : MinPeakWidth(2), UseThreshold(false) {}

PeakDetectParams PeakDetectParams::DefaultIC() {
  PeakDetectParams params;
  params.MinPeakWidth = 5;
  return params;
}

PeakDetectParams PeakDetectParams::DefaultMS() {
  PeakDetectParams params;
  params.MinPeakWidth = 3;
  params.UseThreshold = true;
  return params;
}

void PeakDetectParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kPeakDetectParamsVersion, "PeakDetectParams");
  std::uint32_t minPeakWidth = 0;
  bool useThreshold = false;
  reader >> minPeakWidth >> useThreshold;
  MinPeakWidth = minPeakWidth;
  UseThreshold = useThreshold;
}

void PeakDetectParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kPeakDetectParamsVersion << MinPeakWidth << UseThreshold;
}

bool PeakDetectParams::operator==(const PeakDetectParams& other) const {
  return MinPeakWidth == other.MinPeakWidth && UseThreshold == other.UseThreshold;
}

SmoothParams::SmoothParams() : WindowWidth(5), PolynomialOrder(2) {}

SmoothParams SmoothParams::DefaultIC() {
  SmoothParams params;
  params.WindowWidth = 9;
  return params;
}

SmoothParams SmoothParams::DefaultMS() {
  SmoothParams params;
  params.WindowWidth = 7;
  params.PolynomialOrder = 3;
  return params;
}

void SmoothParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kSmoothParamsVersion, "SmoothParams");
  std::uint32_t windowWidth = 0;
  std::uint32_t polynomialOrder = 0;
  reader >> windowWidth >> polynomialOrder;
  WindowWidth = windowWidth;
  PolynomialOrder = polynomialOrder;
}

void SmoothParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kSmoothParamsVersion << WindowWidth << PolynomialOrder;
}

bool SmoothParams::operator==(const SmoothParams& other) const {
  return WindowWidth == other.WindowWidth && PolynomialOrder == other.PolynomialOrder;
}

ThresholdParams::ThresholdParams() : Level(0.0) {}

void ThresholdParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kThresholdParamsVersion, "ThresholdParams");
  double level = 0.0;
  reader >> level;
  Level = level;
}

void ThresholdParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kThresholdParamsVersion << Level;
}

bool ThresholdParams::operator==(const ThresholdParams& other) const {
  return Level == other.Level;
}

OPDParams::OPDParams() : PeakWidth(0.5), MaxIterations(10) {}

OPDParams OPDParams::DefaultMS() {
  OPDParams params;
  params.PeakWidth = 0.7;
  params.MaxIterations = 25;
  return params;
}

void OPDParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kOPDParamsVersion, "OPDParams");
  double peakWidth = 0.0;
  std::uint32_t maxIterations = 0;
  reader >> peakWidth >> maxIterations;
  PeakWidth = peakWidth;
  MaxIterations = maxIterations;
}

void OPDParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kOPDParamsVersion << PeakWidth << MaxIterations;
}

bool OPDParams::operator==(const OPDParams& other) const {
  return PeakWidth == other.PeakWidth && MaxIterations == other.MaxIterations;
}

RampAlgorithmParams::RampAlgorithmParams() : Algorithm(Continuous), Steps(10) {}

void RampAlgorithmParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kRampAlgorithmParamsVersion, "RampAlgorithmParams");
  std::int32_t algorithm = 0;
  std::uint32_t steps = 0;
  reader >> algorithm >> steps;
  Algorithm = static_cast<Algorithms>(algorithm);
  Steps = steps;
}

void RampAlgorithmParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kRampAlgorithmParamsVersion << static_cast<std::int32_t>(Algorithm) << Steps;
}

bool RampAlgorithmParams::operator==(const RampAlgorithmParams& other) const {
  return Algorithm == other.Algorithm && Steps == other.Steps;
}

ChargeStateParams::ChargeStateParams() : MinCharge(1), MaxCharge(30), MassTolerance(0.5) {}

void ChargeStateParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kChargeStateParamsVersion, "ChargeStateParams");
  std::int32_t minCharge = 0;
  std::int32_t maxCharge = 0;
  double massTolerance = 0.0;
  reader >> minCharge >> maxCharge >> massTolerance;
  MinCharge = minCharge;
  MaxCharge = maxCharge;
  MassTolerance = massTolerance;
}

void ChargeStateParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kChargeStateParamsVersion << MinCharge << MaxCharge << MassTolerance;
}

bool ChargeStateParams::operator==(const ChargeStateParams& other) const {
  return MinCharge == other.MinCharge && MaxCharge == other.MaxCharge &&
         MassTolerance == other.MassTolerance;
}

AppThreadingParams::AppThreadingParams() : Enabled(true), ThreadCount(2) {}

void AppThreadingParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kAppThreadingParamsVersion, "AppThreadingParams");
  bool enabled = false;
  std::uint32_t threadCount = 0;
  reader >> enabled >> threadCount;
  Enabled = enabled;
  ThreadCount = threadCount;
}

void AppThreadingParams::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kAppThreadingParamsVersion << Enabled << ThreadCount;
}

bool AppThreadingParams::operator==(const AppThreadingParams& other) const {
  return Enabled == other.Enabled && ThreadCount == other.ThreadCount;
}

}  // namespace WQBL
