#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQCommon/XMLNumbers.h>
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <string>

namespace WQCommon {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

const wchar_t kEmptyDocument[] = L"<?xml version=\"1.0\"?>\n";
const wchar_t kSpecialText[] = L"1 < 2 && 'x' > \"y\"; Gr\u00FC\u00DFe \U0001F600";

std::string NestedDocument(int depth) {
  std::string text;
  for (int level = 0; level < depth; ++level) text += "<L>";
  for (int level = 0; level < depth; ++level) text += "</L>";
  return text;
}

class XMLFiles : public ::testing::Test {
 protected:
  std::wstring PathOf(const std::string& name) const { return (scratch_.Path() / name).wstring(); }

  std::wstring WriteFile(const std::string& name, const std::string& content) const {
    WQPlatformTesting::WriteBytes(scratch_.Path() / name, content);
    return PathOf(name);
  }

  const WQPlatformTesting::ScratchDirectory scratch_;
};

// Tab indents, a declaration, an empty element closed in its tag and escaped special characters;
// the whitespace test below reads such texts back.
TEST_F(XMLFiles, SavedDocumentHasItsLayout) {
  XMLBuilder builder;
  builder.StartNode(L"Method");
  builder.WAttribute(L"Title", L"a<b & \"c\"");
  builder.WNode(L"Comment", L"");
  builder.StartNode(L"Inlet");
  builder.WNode(L"Text", kSpecialText);
  builder.EndNode();
  builder.EndNode();
  const std::wstring path = PathOf("Method.xml");
  builder.Save(path);

  const std::string saved = WQPlatformTesting::ReadBytes(path);
  EXPECT_EQ(saved,
            "<?xml version=\"1.0\"?>\n"
            "<Method Title=\"a&lt;b &amp; &quot;c&quot;\">\n"
            "\t<Comment />\n"
            "\t<Inlet>\n"
            "\t\t<Text>1 &lt; 2 &amp;&amp; 'x' &gt; \"y\"; Gr\xC3\xBC\xC3\x9F"
            "e \xF0\x9F\x98\x80</Text>\n"
            "\t</Inlet>\n"
            "</Method>\n");
  EXPECT_EQ(builder.QXML(), WQNarrowToWideStr(saved));
}

// A missing or malformed file is no document; one refused for its kind is an error naming it.
// Every reason to refuse a file, and its message, is the platform's: its own tests hold them. What
// AppendXMLFile inserts is pinned by the centroid document's tests.
TEST_F(XMLFiles, UnreadableFilesAreRefusedAndFilesOfAnotherKindReported) {
  XMLParser parser;
  XMLBuilder builder;
  builder.StartNode(L"Method");
  for (const std::wstring& path : {PathOf("Absent.xml"), WriteFile("Empty.xml", ""),
                                   WriteFile("Broken.xml", "<Method><Name>A</Method>")}) {
    EXPECT_FALSE(parser.LoadFile(path));
    EXPECT_FALSE(builder.AppendXMLFile(path));
  }
  EXPECT_EQ(builder.QXML(), std::wstring(kEmptyDocument) + L"<Method />\n");
  const std::wstring folder = PathOf("Folder.xml");
  std::filesystem::create_directory(std::filesystem::path(folder));
  EXPECT_THAT([&] { parser.LoadFile(folder); },
              ThrowsMessage<WQPlatform::ReadError>(
                  StrEq("Cannot read " + WQWideToNarrowStr(folder) + ": not a regular file")));
}

// Element text would come back with a line feed for each carriage return, attribute values with
// blanks for tabs and line ends, were they written as they are.
TEST_F(XMLFiles, WhitespaceAndLineEndsReadBackUnchanged) {
  const std::wstring path = PathOf("SystemConfiguration.xml");
  for (const wchar_t* value :
       {L"\t", L"\n", L"\r", L"\r\n", L"a\rb", L"a\r\nb\n\rc\r", L"\r\r\n\n", L"  leading",
        L"trailing \t", L"\t\r\n x \r\n\t", L"  ", kSpecialText}) {
    SCOPED_TRACE(::testing::PrintToString(WQWideToNarrowStr(value)));
    XMLBuilder builder;
    builder.StartNode(L"SystemConfiguration");
    builder.WAttribute(L"Comment", value);
    builder.WNode(L"SystemName", value);
    builder.StartNode(L"UserName");
    builder.WText(value);
    builder.EndNode();
    builder.EndNode();
    builder.Save(path);

    XMLParser parser;
    ASSERT_TRUE(parser.LoadFile(path) && parser.StartNode(L"SystemConfiguration"));
    std::wstring systemName, userName;
    EXPECT_TRUE(parser.QNode(L"SystemName", systemName) && parser.QNode(L"UserName", userName));
    EXPECT_EQ(std::tie(systemName, userName), std::make_tuple(value, value));
    // The parser reads no attributes: the loaded document printing as it was built shows that
    // the attribute value came back too.
    EXPECT_EQ(parser.QXML(), builder.QXML());
  }
}

TEST(XMLBuilder, TextXMLCannotCarryIsRefusedNamingElementAndCharacter) {
  const std::pair<std::function<void(XMLBuilder&, const std::wstring&)>, std::string> writes[] = {
      {[](auto& builder, auto& text) { builder.WNode(L"SystemName", text); },
       "the text of the element SystemName"},
      {[](auto& builder, auto& text) { builder.WAttribute(L"Comment", text); },
       "the attribute Comment of the element SystemConfiguration"},
      {[](auto& builder, auto& text) { builder.WText(text); },
       "the text of the element SystemConfiguration"}};
  for (const wchar_t character :
       {0x0, 0x1, 0x7, 0x8, 0xB, 0xC, 0xE, 0x1B, 0x1F, 0xD800, 0xDFFF, 0xFFFE, 0xFFFF}) {
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    SCOPED_TRACE(code);
    const std::wstring text = L"nul" + std::wstring(1, character) + L"tail";
    XMLBuilder builder;
    builder.StartNode(L"SystemConfiguration");
    for (const auto& [write, what] : writes) {
      EXPECT_THAT([&] { write(builder, text); },
                  ThrowsMessage<XMLError>(StrEq("Cannot write " + what + ": it holds " + code +
                                                ", which XML 1.0 cannot carry")));
    }
    EXPECT_EQ(builder.QXML(), std::wstring(kEmptyDocument) + L"<SystemConfiguration />\n");
  }
}

// The indented text of a deeper document grows with the square of its depth: a companion file of
// 280 KB once made the calibration export run out of memory. Appending a file loads it as the
// parser does.
TEST_F(XMLFiles, DocumentsNestedBeyondTheDepthBoundAreRefusedNamingTheirSource) {
  const std::string atBound = NestedDocument(kMaxDocumentDepth);
  const std::wstring atBoundPath = WriteFile("AtBound.xml", atBound);
  XMLParser parser;
  EXPECT_TRUE(parser.LoadXML(WQNarrowToWideStr(atBound)));
  for (const int depth : {kMaxDocumentDepth + 1, 40000}) {
    SCOPED_TRACE(depth);
    const std::string text = NestedDocument(depth);
    const std::wstring path = WriteFile("Deep.xml", text);
    const std::string tooDeep = ": its elements nest deeper than 256 levels";
    const auto fileRefused =
        ThrowsMessage<XMLError>(StrEq("Cannot load " + WQWideToNarrowStr(path) + tooDeep));
    ASSERT_TRUE(parser.LoadFile(atBoundPath));
    EXPECT_THAT([&] { parser.LoadFile(path); }, fileRefused);
    EXPECT_EQ(parser.QXML(), kEmptyDocument);
    ASSERT_TRUE(parser.LoadFile(atBoundPath));
    EXPECT_THAT([&] { parser.LoadXML(WQNarrowToWideStr(text)); },
                ThrowsMessage<XMLError>(StrEq("Cannot load XML text" + tooDeep)));
    EXPECT_EQ(parser.QXML(), kEmptyDocument);
  }
}

// A top element of another name is refused by the system configuration's tests.
TEST(XMLParser, ListItemsAreEnteredInTurnAndAbsentElementsChangeNothing) {
  XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(
      L"<Method><Peaks><Peak><Mass>1</Mass></Peak><Note/><Peak><Mass>2</Mass></Peak></Peaks>"
      L"<Name>A</Name></Method>"));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  std::wstring text = L"kept";
  int count = 5;
  EXPECT_FALSE(parser.QNode(L"Gain", text));
  EXPECT_FALSE(parser.StartNode(L"Inlet"));
  EXPECT_FALSE(parser.StartList(L"Gains", count));
  EXPECT_EQ(std::tie(text, count), std::make_tuple(L"kept", 5));
  ASSERT_TRUE(parser.StartList(L"Peaks", count));
  EXPECT_EQ(count, 3);
  for (const wchar_t* mass : {L"1", L"2"}) {
    ASSERT_TRUE(parser.StartNode(L"Peak"));
    EXPECT_TRUE(parser.QNode(L"Mass", text));
    EXPECT_EQ(text, mass);
    parser.EndNode();
  }
  EXPECT_FALSE(parser.StartNode(L"Peak"));
  parser.EndList();
  EXPECT_TRUE(parser.QNode(L"Name", text));
  EXPECT_EQ(text, L"A");
}

TEST(XMLNumbers, EachWritingRuleHasItsOwnDigits) {
  EXPECT_EQ(FullPrecisionText(0.1), L"0.10000000000000001");
  EXPECT_EQ(ShortestExactText(0.1), L"0.1");
  EXPECT_EQ(SixDigitText(1234.5678), L"1234.57");
  EXPECT_EQ(TwoDecimalText(0.7), L"0.70");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), L"-2147483648");
}

TEST(XMLNumbers, FixedNotationOfTheLargestNumbersIsWrittenWhole) {
  EXPECT_EQ(TwoDecimalText(1e62),
            L"100000000000000003502199685943161173046080317798311825604870144.00");
  const std::wstring largest = TwoDecimalText(-std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 1 + 309 + 3);
  EXPECT_EQ(largest.substr(0, 6), L"-17976");
}

TEST(XMLNumbers, StrictParseAllowsBlanksAroundButRefusesAnythingElse) {
  EXPECT_EQ(ParseWholeNumber<std::int32_t>(L" +7 ", "Owner"), 7);
  EXPECT_THAT([] { ParseWholeNumber<std::int32_t>(L"1.5", "Owner"); },
              ThrowsMessage<std::runtime_error>("Invalid number \"1.5\" in Owner."));
  EXPECT_THAT([] { ParseWholeNumber<double>(L"", "Owner"); },
              ThrowsMessage<std::runtime_error>("Invalid number \"\" in Owner."));
}

TEST(XMLNumbers, LenientReadsKeepTheValueForTextThatIsNoNumber) {
  double whole = 1.0;
  for (const wchar_t* text : {L" 3", L"+3", L"3x", L""}) ReadWholeNumberOrKeep(text, whole);
  EXPECT_EQ(whole, 1.0);
  std::int32_t leading = 9;
  ReadLeadingNumberOrKeep(L" 12abc", leading);
  EXPECT_EQ(leading, 12);
  for (const wchar_t* text : {L"abc", L"2147483648"}) ReadLeadingNumberOrKeep(text, leading);
  EXPECT_EQ(leading, 12);
  // Plain decimals, and texts that only begin like them, read as a stream reads them.
  const std::pair<const wchar_t*, double> cases[] = {
      {L"0.25", 0.25},    {L"5.", 5.0},
      {L".5", 0.5},       {L"0.1000000000000000055511151231257827", 0.1},
      {L" 2.5e1x", 25.0}, {L"-1.5", -1.5},
      {L"1e", 7.0},       {L".", 7.0},
      {L"1..2", 1.0}};
  for (const auto& [text, expected] : cases) {
    double number = 7.0;
    ReadLeadingNumberOrKeep(text, number);
    EXPECT_EQ(number, expected) << text;
  }
}

}  // namespace
}  // namespace WQCommon
