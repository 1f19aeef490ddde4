#include <WQRepos/Autotune.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>

#include <boost/lexical_cast.hpp>

namespace {

using ::testing::AllOf;
using ::testing::Field;
using ::testing::Property;
using ::testing::Throws;
using WQCommon::XMLResultException;
using WQRepos::AutotunePrefs;

const std::wstring kCaffeine =
    L"<TunePoint><Name>Caffeine</Name><Mass>195.088</Mass><CapExit>40</CapExit>"
    L"<Area>1000</Area><Time>0.5</Time></TunePoint>";

// An AutoTunePrefs element inside the application's own top element.
std::wstring Document(const std::wstring& diverter, const std::wstring& points,
                      const std::wstring& tail = L"<PrimeDelay>20</PrimeDelay>") {
  return L"<AutoTune><AutoTunePrefs><Polarity>Negative</Polarity><DiverterSource>" + diverter +
         L"</DiverterSource><TunePoints>" + points + L"</TunePoints>" + tail +
         L"</AutoTunePrefs></AutoTune>";
}

AutotunePrefs Read(const std::wstring& document, AutotunePrefs prefs = AutotunePrefs()) {
  WQCommon::XMLParser parser;
  EXPECT_TRUE(parser.LoadXML(document));
  EXPECT_TRUE(parser.StartNode(L"AutoTune"));
  parser >> prefs;
  return prefs;
}

auto RaisesQMV(const std::wstring& message) {
  return Throws<WQRepos::QMVException>(Property(&WQRepos::QMVException::Message, message));
}

// The texts of earlier versions are read; any other text, even one differing only in case or
// blanks, is refused.
TEST(AutotuneXML, DiverterTextsOfEarlierVersionsAreReadAndOthersRefused) {
  EXPECT_EQ(Read(Document(L"Divert", L"")).DiverterSource, WQRepos::Waste);
  AutotunePrefs waste;
  waste.DiverterSource = WQRepos::Waste;
  EXPECT_EQ(Read(Document(L"ToMS", L""), waste).DiverterSource, WQRepos::Load);
  for (const std::wstring text : {L"load", L" Load", L""})
    EXPECT_THAT([&] { Read(Document(text, L"")); },
                RaisesQMV(L"Invalid DiverterSource (" + text + L") in WQRepos::QNode"));
  std::wstring document = Document(L"Load", L"");
  document.replace(document.find(L"Negative"), 8, L"negative");
  EXPECT_THAT([&] { Read(document); },
              RaisesQMV(L"Invalid IonPolarity (negative) in WQRepos::QNode"));
}

TEST(AutotuneXML, MissingElementIsNamedWithCode1001) {
  auto raisesMissing = [](const std::wstring& element) {
    return Throws<XMLResultException>(AllOf(Field(&XMLResultException::Code, 1001),
                                            Field(&XMLResultException::Message, element)));
  };
  EXPECT_THAT([] { Read(L"<AutoTune/>"); }, raisesMissing(L"AutoTunePrefs"));
  EXPECT_THAT([] { Read(Document(L"Load", kCaffeine + L"<Other/>")); },
              raisesMissing(L"TunePoint"));
}

// The prime delay may be absent or only begin with a number, and a point may lack children, but
// the numbers a point holds must be wholly numbers.
TEST(AutotuneXML, PrimeDelayIsReadLenientlyAndPointNumbersStrictly) {
  AutotunePrefs before;
  before.PrimeDelay = 9;
  EXPECT_EQ(Read(Document(L"Load", L"", L""), before).PrimeDelay, 45);
  EXPECT_EQ(Read(Document(L"Load", L"", L"<PrimeDelay>12abc</PrimeDelay>"), before).PrimeDelay, 12);
  // A point lacking a child takes it from the point before.
  const AutotunePrefs read =
      Read(Document(L"Load", kCaffeine + L"<TunePoint><Name>Second</Name></TunePoint>"));
  ASSERT_EQ(read.TunePoints.size(), 2u);
  EXPECT_EQ(read.TunePoints[1].Name, L"Second");
  EXPECT_EQ(read.TunePoints[1].Mass, 195.088);
  EXPECT_THROW(Read(Document(L"Load", L"<TunePoint><CapExit> 7</CapExit></TunePoint>")),
               boost::bad_lexical_cast);
}

}  // namespace
