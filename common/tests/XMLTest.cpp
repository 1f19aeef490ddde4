#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace WQCommon {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class XMLFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "wqcommon-xml-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::wstring PathOf(const std::string& name) const { return (directory_ / name).wstring(); }

  std::wstring WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(directory_ / name) << content;
    return PathOf(name);
  }

  std::filesystem::path directory_;
};

// Tab indents, a declaration, escaped special characters, and every character back on loading.
TEST_F(XMLFiles, SavedDocumentHasItsLayoutAndReadsBack) {
  const std::wstring text = L"1 < 2 && 'x' > \"y\"; Gr\u00FC\u00DFe \U0001F600";
  XMLBuilder builder;
  builder.StartNode(L"Method");
  builder.WAttribute(L"Title", L"a<b & \"c\"");
  builder.WNode(L"Comment", L"");
  builder.StartNode(L"Inlet");
  builder.WNode(L"Text", text);
  builder.WNode(L"Blank", L"  ");
  builder.EndNode();
  builder.EndNode();
  const std::wstring path = PathOf("Method.xml");
  builder.Save(path);

  std::ostringstream saved;
  saved << std::ifstream(std::filesystem::path(path)).rdbuf();
  EXPECT_EQ(saved.str(),
            "<?xml version=\"1.0\"?>\n"
            "<Method Title=\"a&lt;b &amp; &quot;c&quot;\">\n"
            "\t<Comment />\n"
            "\t<Inlet>\n"
            "\t\t<Text>1 &lt; 2 &amp;&amp; 'x' &gt; \"y\"; Gr\xC3\xBC\xC3\x9F"
            "e \xF0\x9F\x98\x80</Text>\n"
            "\t\t<Blank>  </Blank>\n"
            "\t</Inlet>\n"
            "</Method>\n");
  EXPECT_EQ(builder.QXML(), WQNarrowToWideStr(saved.str()));

  XMLParser parser;
  ASSERT_TRUE(parser.LoadFile(path));
  std::wstring read, blank;
  ASSERT_TRUE(parser.StartNode(L"Method"));
  ASSERT_TRUE(parser.StartNode(L"Inlet"));
  EXPECT_TRUE(parser.QNode(L"Text", read));
  EXPECT_TRUE(parser.QNode(L"Blank", blank));
  EXPECT_EQ(read, text);
  EXPECT_EQ(blank, L"  ");
  EXPECT_EQ(parser.QXML(), builder.QXML());
}

TEST_F(XMLFiles, LoadFileRefusesMissingAndMalformedFiles) {
  XMLParser parser;
  EXPECT_FALSE(parser.LoadFile(PathOf("Absent.xml")));
  EXPECT_FALSE(parser.LoadFile(WriteFile("Broken.xml", "<Method><Name>A</Method>")));
  EXPECT_FALSE(parser.LoadFile(WriteFile("Empty.xml", "")));
}

TEST_F(XMLFiles, AppendXMLFileInsertsTheOtherTopElement) {
  XMLBuilder builder;
  builder.StartNode(L"Method");
  EXPECT_FALSE(builder.AppendXMLFile(PathOf("Absent.xml")));
  EXPECT_FALSE(builder.AppendXMLFile(WriteFile("Broken.xml", "<Tune>")));
  EXPECT_TRUE(builder.AppendXMLFile(
      WriteFile("Tune.xml", "<?xml version=\"1.0\"?><Tune><Gain>3</Gain></Tune>")));
  builder.WNode(L"After", L"1");
  builder.EndNode();
  EXPECT_EQ(builder.QXML(),
            L"<?xml version=\"1.0\"?>\n<Method>\n\t<Tune>\n\t\t<Gain>3</Gain>\n\t</Tune>\n"
            L"\t<After>1</After>\n</Method>\n");
}

TEST_F(XMLFiles, SaveIntoMissingDirectoryThrowsNamingTheFile) {
  XMLBuilder builder;
  builder.StartNode(L"Method");
  const std::wstring path = PathOf("Absent/Method.xml");
  EXPECT_THAT([&] { builder.Save(path); },
              ThrowsMessage<std::runtime_error>(HasSubstr(WQWideToNarrowStr(path))));
  EXPECT_FALSE(FileExists(path));
}

TEST(XMLParser, ListItemsAreEnteredInTurnAndAbsentElementsChangeNothing) {
  XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(
      L"<Method><Peaks><Peak><Mass>1</Mass></Peak><Note/><Peak><Mass>2</Mass></Peak></Peaks>"
      L"<Name>A</Name></Method>"));
  EXPECT_FALSE(parser.StartNode(L"Tune"));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  std::wstring text = L"kept";
  int count = 5;
  EXPECT_FALSE(parser.QNode(L"Gain", text));
  EXPECT_FALSE(parser.StartNode(L"Inlet"));
  EXPECT_FALSE(parser.StartList(L"Gains", count));
  EXPECT_EQ(text, L"kept");
  EXPECT_EQ(count, 5);
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

}  // namespace
}  // namespace WQCommon
