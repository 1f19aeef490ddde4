#include <WQBL/ProcessingParams.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;

std::string BytesOf(const WQCommon::IWQSerial& record) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << record;
  return stream.str();
}

void ReadFrom(const std::string& bytes, WQCommon::IWQSerial& record) {
  std::istringstream stream(bytes);
  WQCommon::BinaryReader reader(stream);
  reader >> record;
}

// Each record's name in its messages.
template <typename Record>
const char* const kName = nullptr;
template <>
const char* const kName<BaselineParams> = "BaselineParams";
template <>
const char* const kName<NoiseParams> = "NoiseParams";
template <>
const char* const kName<PeakDetectParams> = "PeakDetectParams";
template <>
const char* const kName<SmoothParams> = "SmoothParams";
template <>
const char* const kName<ThresholdParams> = "ThresholdParams";
template <>
const char* const kName<OPDParams> = "OPDParams";
template <>
const char* const kName<RampAlgorithmParams> = "RampAlgorithmParams";
template <>
const char* const kName<ChargeStateParams> = "ChargeStateParams";
template <>
const char* const kName<AppThreadingParams> = "AppThreadingParams";

// A value that differs from the default-constructed record in every field: the spectrum default
// where the record has one.
template <typename Record>
Record Sample() {
  return Record::DefaultMS();
}

template <>
ThresholdParams Sample() {
  ThresholdParams params;
  params.Level = 1234.5;
  return params;
}

template <>
RampAlgorithmParams Sample() {
  RampAlgorithmParams params;
  params.Algorithm = RampAlgorithmParams::Stepped;
  params.Steps = 4;
  return params;
}

template <>
ChargeStateParams Sample() {
  ChargeStateParams params;
  params.MinCharge = 2;
  params.MaxCharge = 60;
  params.MassTolerance = 0.05;
  return params;
}

template <>
AppThreadingParams Sample() {
  AppThreadingParams params;
  params.Enabled = false;
  params.ThreadCount = 8;
  return params;
}

template <typename Record>
class ProcessingParamsTest : public ::testing::Test {};

using Records =
    ::testing::Types<BaselineParams, NoiseParams, PeakDetectParams, SmoothParams, ThresholdParams,
                     OPDParams, RampAlgorithmParams, ChargeStateParams, AppThreadingParams>;
TYPED_TEST_SUITE(ProcessingParamsTest, Records);

TYPED_TEST(ProcessingParamsTest, ReadsBackWhatItWrote) {
  const TypeParam written = Sample<TypeParam>();
  ASSERT_FALSE(written == TypeParam());
  TypeParam read;
  ReadFrom(BytesOf(written), read);
  EXPECT_TRUE(read == written);
}

TYPED_TEST(ProcessingParamsTest, UnknownRecordVersionIsRefusedAndTheRecordKept) {
  std::string bytes = BytesOf(Sample<TypeParam>());
  bytes[0] = 2;
  TypeParam read;
  EXPECT_THAT(
      [&] { ReadFrom(bytes, read); },
      ThrowsMessage<std::runtime_error>(std::string("Unknown ") + kName<TypeParam> + " version."));
  EXPECT_TRUE(read == TypeParam());
}

TYPED_TEST(ProcessingParamsTest, TruncatedRecordIsRefusedAtEveryLengthAndTheRecordKept) {
  const std::string bytes = BytesOf(Sample<TypeParam>());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TypeParam read;
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError) << length;
    EXPECT_TRUE(read == TypeParam()) << length;
  }
}

TEST(ProcessingParamsDefaults, ICAndMSDefaultsDifferFromEachOtherAndFromTheConstructor) {
  EXPECT_FALSE(BaselineParams::DefaultIC() == BaselineParams::DefaultMS());
  EXPECT_FALSE(BaselineParams::DefaultIC() == BaselineParams());
  EXPECT_FALSE(BaselineParams::DefaultMS() == BaselineParams());
  EXPECT_FALSE(NoiseParams::DefaultIC() == NoiseParams::DefaultMS());
  EXPECT_FALSE(NoiseParams::DefaultIC() == NoiseParams());
  EXPECT_FALSE(NoiseParams::DefaultMS() == NoiseParams());
  EXPECT_FALSE(PeakDetectParams::DefaultIC() == PeakDetectParams::DefaultMS());
  EXPECT_FALSE(PeakDetectParams::DefaultIC() == PeakDetectParams());
  EXPECT_FALSE(PeakDetectParams::DefaultMS() == PeakDetectParams());
  EXPECT_FALSE(SmoothParams::DefaultIC() == SmoothParams::DefaultMS());
  EXPECT_FALSE(SmoothParams::DefaultIC() == SmoothParams());
  EXPECT_FALSE(SmoothParams::DefaultMS() == SmoothParams());
  EXPECT_FALSE(OPDParams::DefaultMS() == OPDParams());
}

TEST(ProcessingParamsDefaults, OnlyTheSpectrumPeakDetectionUsesTheThresholdAndBothReadBack) {
  PeakDetectParams read;
  ReadFrom(BytesOf(PeakDetectParams::DefaultMS()), read);
  EXPECT_TRUE(read.UseThreshold);
  ReadFrom(BytesOf(PeakDetectParams::DefaultIC()), read);
  EXPECT_FALSE(read.UseThreshold);
  EXPECT_FALSE(PeakDetectParams().UseThreshold);
}

}  // namespace
}  // namespace WQBL
