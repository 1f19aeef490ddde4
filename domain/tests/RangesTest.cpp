#include <WQBL/Ranges.h>
#include <WQCommon/Text.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>

namespace WQBL {
namespace {

using ::testing::AllOf;
using ::testing::Field;
using ::testing::Throws;
using ::testing::ThrowsMessage;
using WQCommon::XMLResultException;

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

std::wstring XmlOf(const WQCommon::IWQXML& record) {
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Top");
  record.Serialize(builder);
  builder.EndNode();
  return builder.QXML();
}

void ReadXml(const std::wstring& xml, WQCommon::IWQXML& record) {
  WQCommon::XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(xml));
  ASSERT_TRUE(parser.StartNode(L"Top"));
  record.Serialize(parser);
}

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
  return text.replace(text.find(from), from.size(), to);
}

// For each type: its name, and a value that differs from the default-constructed one in every
// field, with doubles that no short decimal form holds exactly.
template <typename Value>
struct Case;

template <>
struct Case<MZRange> {
  static constexpr const char* kName = "MZRange";
  static MZRange Sample() { return MZRange(MZRange::Bounded, 0.1, 1999.0 / 3.0); }
};

template <>
struct Case<ICRange> {
  static constexpr const char* kName = "ICRange";
  static ICRange Sample() { return ICRange(1.0 / 3.0, 12.7); }
};

template <>
struct Case<ICFilter> {
  static constexpr const char* kName = "ICFilter";
  static ICFilter Sample() {
    ICFilter filter;
    filter.Function = 3;
    filter.Polarity = ICFilter::NegativeOnly;
    return filter;
  }
};

template <>
struct Case<MZPeakField> {
  static constexpr const char* kName = "MZPeakField";
  static MZPeakField Sample() { return MZPeakField(MZPeakField::Width); }
};

template <typename Value>
class RangesTest : public ::testing::Test {};

using Values = ::testing::Types<MZRange, ICRange, ICFilter, MZPeakField>;
TYPED_TEST_SUITE(RangesTest, Values);

TYPED_TEST(RangesTest, BinaryFormReadsBackWhatWasWritten) {
  const TypeParam written = Case<TypeParam>::Sample();
  ASSERT_FALSE(written == TypeParam());
  TypeParam read;
  ReadFrom(BytesOf(written), read);
  EXPECT_TRUE(read == written);
}

TYPED_TEST(RangesTest, XmlFormReadsBackWhatWasWrittenExactly) {
  const TypeParam written = Case<TypeParam>::Sample();
  TypeParam read;
  ReadXml(XmlOf(written), read);
  EXPECT_TRUE(read == written);
}

TYPED_TEST(RangesTest, UnknownRecordVersionIsRefusedAndTheValueKept) {
  std::string bytes = BytesOf(Case<TypeParam>::Sample());
  bytes[0] = 2;
  TypeParam read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>(std::string("Unknown ") + Case<TypeParam>::kName +
                                                " version."));
  EXPECT_TRUE(read == TypeParam());
}

TYPED_TEST(RangesTest, TruncatedRecordIsRefusedAtEveryLengthAndTheValueKept) {
  const std::string bytes = BytesOf(Case<TypeParam>::Sample());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TypeParam read;
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError) << length;
    EXPECT_TRUE(read == TypeParam()) << length;
  }
}

TYPED_TEST(RangesTest, MissingElementIsReportedByName) {
  TypeParam read;
  EXPECT_THAT([&] { ReadXml(L"<Top/>", read); },
              Throws<XMLResultException>(
                  AllOf(Field(&XMLResultException::Code, 1001),
                        Field(&XMLResultException::Message,
                              WQCommon::WQNarrowToWideStr(Case<TypeParam>::kName)))));
}

TEST(MZRangeXml, MissingFieldIsReportedByNameAndTheValueKept) {
  std::wstring xml = XmlOf(Case<MZRange>::Sample());
  const std::size_t high = xml.find(L"<High>");
  xml.erase(high, xml.find(L"</High>") + 7 - high);
  MZRange read;
  EXPECT_THAT([&] { ReadXml(xml, read); },
              Throws<XMLResultException>(AllOf(Field(&XMLResultException::Code, 1001),
                                               Field(&XMLResultException::Message, L"High"))));
  EXPECT_TRUE(read == MZRange());
}

TEST(MZRangeXml, FieldThatIsNoNumberIsRefusedQuotingItsText) {
  const std::wstring xml = XmlOf(MZRange(MZRange::Bounded, 5.0, 6.0));
  MZRange read;
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">5<", L">5x<"), read); },
              ThrowsMessage<std::runtime_error>("Invalid number \"5x\" in MZRange."));
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">1<", L">1.5<"), read); },
              ThrowsMessage<std::runtime_error>("Invalid number \"1.5\" in MZRange."));
  EXPECT_TRUE(read == MZRange());
}

}  // namespace
}  // namespace WQBL
