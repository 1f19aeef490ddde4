#include <WQBL/CurveEval.h>
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "SerialTesting.h"

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;

// One step of every kind, in the order of the kinds, each with parameters unlike the defaults.
std::vector<CurveEval> StepsOfEveryKind() {
  ThresholdParams threshold;
  threshold.Level = 250.5;
  return {CurveEval(), CurveEval(BaselineParams::DefaultMS()), CurveEval(NoiseParams::DefaultIC()),
          CurveEval(threshold), CurveEval(PeakDetectParams::DefaultMS())};
}

TEST(CurveEval, EveryKindReadsBackFromItsXmlForm) {
  for (const CurveEval& written : StepsOfEveryKind()) {
    CurveEval fromXml{ThresholdParams()};
    ReadXml(XmlOf(written), fromXml);
    EXPECT_TRUE(fromXml == written) << written.QKind();
  }
}

TEST(CurveEval, UnknownKindIsRefusedAndTheStepKept) {
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  bytes[4] = 5;
  CurveEval read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  const std::wstring xml = XmlOf(CurveEval(NoiseParams()));
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">Noise<", L">Smooth<"), read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  EXPECT_TRUE(read == CurveEval());
}

TEST(CurveEval, XmlParametersThatAreNoRecordOfTheKindAreRefused) {
  const std::wstring xml = XmlOf(CurveEval(ThresholdParams()));
  // The record version and the level: twelve bytes.
  const std::wstring hex = xml.substr(xml.find(L"<Params>") + 8, 24);
  CurveEval read;
  for (const std::wstring& bad :
       {hex + L"0", hex.substr(0, 4) + L"zz" + hex.substr(6), hex + L"00"}) {
    EXPECT_THAT([&] { ReadXml(Replaced(xml, hex, bad), read); },
                ThrowsMessage<std::runtime_error>("Invalid CurveEval parameters."));
  }
  EXPECT_THROW(ReadXml(Replaced(xml, L">Threshold<", L">Noise<"), read), WQCommon::StreamError);
  EXPECT_TRUE(read == CurveEval());
}

TEST(CurveEval, MissingXmlElementIsReportedByName) {
  CurveEval read;
  ExpectMissingElement(L"<Top/>", read, L"CurveEval");
  ExpectMissingElement(L"<Top><CurveEval><Kind>Noise</Kind></CurveEval></Top>", read, L"Params");
}

}  // namespace
}  // namespace WQBL
