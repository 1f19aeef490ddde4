// Checks shared by the tests of the domain records: round trips through the XML forms, and the
// refusal of records that are cut short or of another version.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/XML.h>
#include <gmock/gmock.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

namespace WQBL {

inline std::string BytesOf(const WQCommon::IWQSerial& record) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << record;
  return stream.str();
}

inline void ReadFrom(const std::string& bytes, WQCommon::IWQSerial& record) {
  std::istringstream stream(bytes);
  WQCommon::BinaryReader reader(stream);
  reader >> record;
}

// The XML form of `record` within a top element "Top".
inline std::wstring XmlOf(const WQCommon::IWQXML& record) {
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Top");
  record.Serialize(builder);
  builder.EndNode();
  return builder.QXML();
}

inline void ReadXml(const std::wstring& xml, WQCommon::IWQXML& record) {
  WQCommon::XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(xml));
  ASSERT_TRUE(parser.StartNode(L"Top"));
  record.Serialize(parser);
}

inline std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
  return text.replace(text.find(from), from.size(), to);
}

// Reading `xml` into `record` throws WQCommon::XMLResultException 1001 naming `element`.
inline void ExpectMissingElement(const std::wstring& xml, WQCommon::IWQXML& record,
                                 const std::wstring& element) {
  using WQCommon::XMLResultException;
  EXPECT_THAT([&] { ReadXml(xml, record); },
              ::testing::Throws<XMLResultException>(
                  ::testing::AllOf(::testing::Field(&XMLResultException::Code, 1001),
                                   ::testing::Field(&XMLResultException::Message, element))));
}

// A record unlike its default-constructed value in every field, and the record's name in its
// messages.
template <typename Record>
struct Sample {
  Record Value;
  std::string Name;
};
template <typename Record>
Sample(Record, const char*) -> Sample<Record>;

// Calls `check` with each sample of a tuple of samples of different records.
template <typename Samples, typename Check>
void ForEachSample(const Samples& samples, Check check) {
  std::apply([&](const auto&... sample) { (check(sample), ...); }, samples);
}

// Over the sample, version 2 of a record at version 1 throws "Unknown <name> version." and a
// record cut short WQCommon::StreamError, and either leaves the sample as it was.
template <typename Record>
void ExpectOtherVersionAndCutRefused(const Sample<Record>& sample) {
  const std::string bytes = BytesOf(Record());
  ASSERT_EQ(bytes.substr(0, 4), std::string("\x01\x00\x00\x00", 4)) << sample.Name;
  ASSERT_FALSE(sample.Value == Record()) << sample.Name;
  Record read = sample.Value;
  EXPECT_THAT([&] { ReadFrom(std::string(1, '\x02') + bytes.substr(1), read); },
              ::testing::ThrowsMessage<std::runtime_error>("Unknown " + sample.Name + " version."));
  EXPECT_THROW(ReadFrom(bytes.substr(0, bytes.size() - 1), read), WQCommon::StreamError)
      << sample.Name;
  EXPECT_TRUE(read == sample.Value) << sample.Name;
}

}  // namespace WQBL
