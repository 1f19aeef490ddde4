#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

  static std::string ReadFile(const std::wstring& path) {
    std::ostringstream content;
    content << std::ifstream(std::filesystem::path(path)).rdbuf();
    return content.str();
  }

  std::filesystem::path directory_;
};

TEST_F(XMLFiles, SavedDocumentIsTabIndentedWithDeclaration) {
  XMLBuilder builder;
  builder.StartNode(L"Method");
  builder.WAttribute(L"Title", L"a<b & \"c\"");
  builder.WNode(L"Name", L"A");
  builder.WNode(L"Comment", L"");
  builder.StartNode(L"Inlet");
  builder.WNode(L"Flow", L"0.5");
  builder.EndNode();
  builder.EndNode();
  const std::wstring path = PathOf("Method.xml");
  builder.Save(path);

  const std::string expected =
      "<?xml version=\"1.0\"?>\n"
      "<Method Title=\"a&lt;b &amp; &quot;c&quot;\">\n"
      "\t<Name>A</Name>\n"
      "\t<Comment />\n"
      "\t<Inlet>\n"
      "\t\t<Flow>0.5</Flow>\n"
      "\t</Inlet>\n"
      "</Method>\n";
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(builder.QXML(), WQNarrowToWideStr(expected));
}

TEST_F(XMLFiles, SpecialCharactersSurviveSaveAndLoad) {
  const std::wstring text = L"1 < 2 && 'x' > \"y\"; Gr\u00FC\u00DFe \U0001F600";
  XMLBuilder builder;
  builder.StartNode(L"Method");
  builder.WNode(L"Text", text);
  builder.WNode(L"Blank", L"  ");
  builder.EndNode();
  const std::wstring path = PathOf("Method.xml");
  builder.Save(path);

  XMLParser parser;
  ASSERT_TRUE(parser.LoadFile(path));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  std::wstring read, blank;
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
  const std::wstring tune =
      WriteFile("Tune.xml", "<?xml version=\"1.0\"?><Tune><Gain>3</Gain></Tune>");
  XMLBuilder builder;
  builder.StartNode(L"Method");
  EXPECT_FALSE(builder.AppendXMLFile(PathOf("Absent.xml")));
  EXPECT_FALSE(builder.AppendXMLFile(WriteFile("Broken.xml", "<Tune>")));
  EXPECT_TRUE(builder.AppendXMLFile(tune));
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

TEST(XMLParser, ListItemsAreEnteredInTurn) {
  XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(
      L"<Method><Peaks><Peak><Mass>1</Mass></Peak><Note/><Peak><Mass>2</Mass></Peak></Peaks>"
      L"<Name>A</Name></Method>"));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  int count = 0;
  ASSERT_TRUE(parser.StartList(L"Peaks", count));
  EXPECT_EQ(count, 3);
  std::wstring mass;
  for (const wchar_t* expected : {L"1", L"2"}) {
    ASSERT_TRUE(parser.StartNode(L"Peak"));
    EXPECT_TRUE(parser.QNode(L"Mass", mass));
    EXPECT_EQ(mass, expected);
    parser.EndNode();
  }
  EXPECT_FALSE(parser.StartNode(L"Peak"));
  parser.EndList();

  std::wstring name;
  EXPECT_TRUE(parser.QNode(L"Name", name));
  EXPECT_EQ(name, L"A");
}

TEST(XMLParser, AbsentElementsChangeNothing) {
  XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(L"<Method><Name>A</Name></Method>"));
  EXPECT_FALSE(parser.StartNode(L"Tune"));
  ASSERT_TRUE(parser.StartNode(L"Method"));
  std::wstring text = L"kept";
  int count = 5;
  EXPECT_FALSE(parser.QNode(L"Gain", text));
  EXPECT_FALSE(parser.StartNode(L"Inlet"));
  EXPECT_FALSE(parser.StartList(L"Peaks", count));
  EXPECT_EQ(text, L"kept");
  EXPECT_EQ(count, 5);
  EXPECT_TRUE(parser.QNode(L"Name", text));
  EXPECT_EQ(text, L"A");
}

}  // namespace
}  // namespace WQCommon
