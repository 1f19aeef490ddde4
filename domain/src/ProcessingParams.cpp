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

const WQCommon::EnumTextMap<BaselineParams::Algorithms>& BaselineParams::AlgorithmTexts() {
  static const auto texts = WQCommon::MakeEnumTextMap<Algorithms>(
      {{NoBaseline, L"NoBaseline"}, {Linear, L"Linear"}, {MovingMinimum, L"MovingMinimum"}});
  return texts;
}

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
  WQCommon::ReadRecord(reader, kBaselineParamsVersion, "BaselineParams", *this);
}

void BaselineParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kBaselineParamsVersion, *this);
}

bool BaselineParams::operator==(const BaselineParams& other) const {
  return Fields(*this) == Fields(other);
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
  params.WindowWidth = 500;
  params.Factor = 5.0;
  return params;
}

void NoiseParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kNoiseParamsVersion, "NoiseParams", *this);
}

void NoiseParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kNoiseParamsVersion, *this);
}

bool NoiseParams::operator==(const NoiseParams& other) const {
  return Fields(*this) == Fields(other);
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
  WQCommon::ReadRecord(reader, kPeakDetectParamsVersion, "PeakDetectParams", *this);
}

void PeakDetectParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kPeakDetectParamsVersion, *this);
}

bool PeakDetectParams::operator==(const PeakDetectParams& other) const {
  return Fields(*this) == Fields(other);
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
  WQCommon::ReadRecord(reader, kSmoothParamsVersion, "SmoothParams", *this);
}

void SmoothParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kSmoothParamsVersion, *this);
}

bool SmoothParams::operator==(const SmoothParams& other) const {
  return Fields(*this) == Fields(other);
}

ThresholdParams::ThresholdParams() : Level(0.0) {}

void ThresholdParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kThresholdParamsVersion, "ThresholdParams", *this);
}

void ThresholdParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kThresholdParamsVersion, *this);
}

bool ThresholdParams::operator==(const ThresholdParams& other) const {
  return Fields(*this) == Fields(other);
}

OPDParams::OPDParams() : PeakWidth(0.5), MaxIterations(10) {}

OPDParams OPDParams::DefaultMS() {
  OPDParams params;
  params.PeakWidth = 0.7;
  params.MaxIterations = 25;
  return params;
}

void OPDParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kOPDParamsVersion, "OPDParams", *this);
}

void OPDParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kOPDParamsVersion, *this);
}

bool OPDParams::operator==(const OPDParams& other) const { return Fields(*this) == Fields(other); }

const WQCommon::EnumTextMap<RampAlgorithmParams::Algorithms>&
RampAlgorithmParams::AlgorithmTexts() {
  static const auto texts =
      WQCommon::MakeEnumTextMap<Algorithms>({{Continuous, L"Continuous"}, {Stepped, L"Stepped"}});
  return texts;
}

RampAlgorithmParams::RampAlgorithmParams() : Algorithm(Continuous), Steps(10) {}

void RampAlgorithmParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kRampAlgorithmParamsVersion, "RampAlgorithmParams", *this);
}

void RampAlgorithmParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kRampAlgorithmParamsVersion, *this);
}

bool RampAlgorithmParams::operator==(const RampAlgorithmParams& other) const {
  return Fields(*this) == Fields(other);
}

ChargeStateParams::ChargeStateParams() : MinCharge(1), MaxCharge(30), MassTolerance(0.5) {}

void ChargeStateParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kChargeStateParamsVersion, "ChargeStateParams", *this);
}

void ChargeStateParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kChargeStateParamsVersion, *this);
}

bool ChargeStateParams::operator==(const ChargeStateParams& other) const {
  return Fields(*this) == Fields(other);
}

AppThreadingParams::AppThreadingParams() : Enabled(true), ThreadCount(2) {}

void AppThreadingParams::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kAppThreadingParamsVersion, "AppThreadingParams", *this);
}

void AppThreadingParams::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kAppThreadingParamsVersion, *this);
}

bool AppThreadingParams::operator==(const AppThreadingParams& other) const {
  return Fields(*this) == Fields(other);
}

}  // namespace WQBL
