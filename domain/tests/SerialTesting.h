// Checks shared by the tests of the domain records: round trips through the binary and XML forms,
// and the refusal of records that are cut short or of another version.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/XML.h>
#include <gmock/gmock.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>

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

// Reads the sample back from its binary form and, for a record that has one, its XML form.
template <typename Record>
void ExpectReadsBack(const Sample<Record>& sample) {
  SCOPED_TRACE(sample.Name);
  ASSERT_FALSE(sample.Value == Record());
  if constexpr (std::is_base_of_v<WQCommon::IWQSerial, Record>) {
    Record read;
    ReadFrom(BytesOf(sample.Value), read);
    EXPECT_TRUE(read == sample.Value) << "binary form";
  }
  if constexpr (std::is_base_of_v<WQCommon::IWQXML, Record>) {
    Record read;
    ReadXml(XmlOf(sample.Value), read);
    EXPECT_TRUE(read == sample.Value) << "XML form";
  }
}

// Version 2 of a record at version 1 throws "Unknown <name> version." and reads nothing.
template <typename Record>
void ExpectUnknownVersionRefused(const Sample<Record>& sample) {
  std::string bytes = BytesOf(sample.Value);
  ASSERT_EQ(bytes.substr(0, 4), std::string("\x01\x00\x00\x00", 4)) << sample.Name;
  bytes[0] = 2;
  Record read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ::testing::ThrowsMessage<std::runtime_error>("Unknown " + sample.Name + " version."));
  EXPECT_TRUE(read == Record()) << sample.Name;
}

// Every proper prefix of the sample's binary form throws WQCommon::StreamError and leaves the
// record read into as it was.
template <typename Record>
void ExpectEveryTruncationRefused(const Sample<Record>& sample, const Record& held = Record()) {
  const std::string bytes = BytesOf(sample.Value);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    Record read = held;
    EXPECT_THROW(ReadFrom(bytes.substr(0, length), read), WQCommon::StreamError)
        << sample.Name << " cut at " << length;
    EXPECT_TRUE(read == held) << sample.Name << " cut at " << length;
  }
}

}  // namespace WQBL
