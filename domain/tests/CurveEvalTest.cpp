#include <WQBL/CurveEval.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>
#include <vector>

namespace WQBL {
namespace {

using ::testing::AllOf;
using ::testing::Field;
using ::testing::Throws;
using ::testing::ThrowsMessage;
using WQCommon::XMLResultException;

std::string BytesOf(const CurveEval& step) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << step;
  return stream.str();
}

void ReadFrom(const std::string& bytes, CurveEval& step) {
  std::istringstream stream(bytes);
  WQCommon::BinaryReader reader(stream);
  reader >> step;
}

std::wstring XmlOf(const CurveEval& step) {
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Method");
  step.Serialize(builder);
  builder.EndNode();
  return builder.QXML();
}

void ReadXml(const std::wstring& xml, CurveEval& step) {
  WQCommon::XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(xml));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  step.Serialize(parser);
}

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
  return text.replace(text.find(from), from.size(), to);
}

// One step of every kind, each with parameters unlike the defaults.
std::vector<CurveEval> StepsOfEveryKind() {
  ThresholdParams threshold;
  threshold.Level = 250.5;
  return {CurveEval(), CurveEval(BaselineParams::DefaultMS()), CurveEval(NoiseParams::DefaultIC()),
          CurveEval(threshold), CurveEval(PeakDetectParams::DefaultMS())};
}

TEST(CurveEval, HoldsTheKindAndRecordItWasMadeFrom) {
  const CurveEval step(NoiseParams::DefaultMS());
  EXPECT_EQ(step.QKind(), CurveEval::Noise);
  EXPECT_TRUE(std::get<NoiseParams>(step.QParams()) == NoiseParams::DefaultMS());
  EXPECT_EQ(CurveEval().QKind(), CurveEval::NoStep);
}

TEST(CurveEval, EqualityComparesTheKindAndTheParameters) {
  EXPECT_TRUE(CurveEval(BaselineParams::DefaultIC()) == CurveEval(BaselineParams::DefaultIC()));
  EXPECT_FALSE(CurveEval(BaselineParams::DefaultIC()) == CurveEval(BaselineParams::DefaultMS()));
  EXPECT_FALSE(CurveEval(PeakDetectParams()) == CurveEval(NoiseParams()));
  EXPECT_FALSE(CurveEval() == CurveEval(ThresholdParams()));
}

TEST(CurveEval, EveryKindReadsBackFromItsBinaryForm) {
  for (const CurveEval& written : StepsOfEveryKind()) {
    CurveEval read{NoiseParams()};
    ReadFrom(BytesOf(written), read);
    EXPECT_TRUE(read == written) << written.QKind();
  }
}

TEST(CurveEval, EveryKindReadsBackFromItsXmlForm) {
  for (const CurveEval& written : StepsOfEveryKind()) {
    CurveEval read(ThresholdParams{});
    ReadXml(XmlOf(written), read);
    EXPECT_TRUE(read == written) << written.QKind();
  }
}

TEST(CurveEval, TruncatedStepIsRefusedAtEveryLengthAndTheStepKept) {
  const std::string bytes = BytesOf(CurveEval(PeakDetectParams::DefaultMS()));
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CurveEval read;
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError) << length;
    EXPECT_TRUE(read == CurveEval()) << length;
  }
}

TEST(CurveEval, UnknownVersionOrKindIsRefusedAndTheStepKept) {
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  CurveEval read;
  bytes[4] = 5;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  bytes[0] = 2;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval version."));
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
  EXPECT_THAT([&] { ReadXml(L"<Method/>", read); },
              Throws<XMLResultException>(AllOf(Field(&XMLResultException::Code, 1001),
                                               Field(&XMLResultException::Message, L"CurveEval"))));
  EXPECT_THAT([&] { ReadXml(L"<Method><CurveEval><Kind>Noise</Kind></CurveEval></Method>", read); },
              Throws<XMLResultException>(AllOf(Field(&XMLResultException::Code, 1001),
                                               Field(&XMLResultException::Message, L"Params"))));
}

}  // namespace
}  // namespace WQBL
