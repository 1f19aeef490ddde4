#include <WQBL/Tune.h>
#include <gmock/gmock.h>

#include <sstream>

namespace {

using ::testing::ThrowsMessage;

double WQBL::Tune::*const kParameters[] = {
    &WQBL::Tune::CapillaryVoltage,  &WQBL::Tune::ConeVoltage,
    &WQBL::Tune::ExtractorVoltage,  &WQBL::Tune::RFLensVoltage,
    &WQBL::Tune::SourceTemperature, &WQBL::Tune::DesolvationTemperature,
    &WQBL::Tune::ConeGasFlow,       &WQBL::Tune::DesolvationGasFlow,
    &WQBL::Tune::LowMassResolution, &WQBL::Tune::HighMassResolution};

std::string Bytes(const WQBL::Tune& tune) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << tune;
  return out.str();
}

void ReadInto(WQBL::Tune& tune, const std::string& bytes) {
  std::istringstream in(bytes);
  WQCommon::BinaryReader reader(in);
  reader >> tune;
}

TEST(Tune, ReadsBackWhatItWroteAfterItsRecordVersion) {
  WQBL::Tune tune;
  double step = 0.5;
  for (auto parameter : kParameters) tune.*parameter += step++;
  tune.Polarity = WQCommon::Negative;
  const std::string bytes = Bytes(tune);
  EXPECT_EQ(bytes.size(), 4u + 10 * 8 + 4);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  WQBL::Tune read;
  ReadInto(read, bytes);
  EXPECT_EQ(read, tune);
}

TEST(Tune, EqualityNoticesEveryMember) {
  for (auto parameter : kParameters) {
    WQBL::Tune changed;
    changed.*parameter += 1;
    EXPECT_NE(changed, WQBL::Tune());
  }
  WQBL::Tune changed;
  changed.Polarity = WQCommon::Negative;
  EXPECT_NE(changed, WQBL::Tune());
}

TEST(Tune, UnknownRecordVersionIsRefusedAndLeavesTheTune) {
  WQBL::Tune tune;
  tune.ConeVoltage = 12.0;
  const std::string bytes = Bytes(WQBL::Tune());
  EXPECT_THAT([&] { ReadInto(tune, std::string("\x00\x00\x00\x00", 4) + bytes.substr(4)); },
              ThrowsMessage<std::runtime_error>("Unknown Tune version."));
  EXPECT_THROW(ReadInto(tune, bytes.substr(0, bytes.size() - 1)), WQCommon::StreamError);
  EXPECT_EQ(tune.ConeVoltage, 12.0);
}

}  // namespace
