#include <WQRepos/Autotune.h>
#include <gmock/gmock.h>

#include <boost/lexical_cast.hpp>
#include <type_traits>

#include "support/DataDirectory.h"

namespace {

using WQCommon::XMLResultException;
using WQRepos::AutotunePrefs;
using wqtest::ThrowsQMVException;

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

// The texts of earlier versions are read; any other text, even one differing only in case or
// blanks, is refused.
TEST(AutotuneXML, DiverterTextsOfEarlierVersionsAreReadAndOthersRefused) {
  EXPECT_EQ(Read(Document(L"Divert", L"")).DiverterSource, WQRepos::Waste);
  AutotunePrefs waste;
  waste.DiverterSource = WQRepos::Waste;
  EXPECT_EQ(Read(Document(L"ToMS", L""), waste).DiverterSource, WQRepos::Load);
  for (const std::wstring text : {L"load", L" Load", L""})
    EXPECT_THAT([&] { Read(Document(text, L"")); },
                ThrowsQMVException(L"Invalid DiverterSource (" + text + L") in WQRepos::QNode"));
  std::wstring document = Document(L"Load", L"");
  document.replace(document.find(L"Negative"), 8, L"negative");
  EXPECT_THAT([&] { Read(document); },
              ThrowsQMVException(L"Invalid IonPolarity (negative) in WQRepos::QNode"));
}

TEST(AutotuneXML, MissingElementIsNamedWithCode1001) {
  for (const auto& [document, element] :
       {std::pair{std::wstring(L"<AutoTune/>"), L"AutoTunePrefs"},
        std::pair{Document(L"Load", kCaffeine + L"<Other/>"), L"TunePoint"}}) {
    EXPECT_THAT([&] { Read(document); },
                ::testing::Throws<XMLResultException>(
                    ::testing::AllOf(::testing::Field(&XMLResultException::Code, 1001),
                                     ::testing::Field(&XMLResultException::Message, element))));
  }
  // Not a standard exception: callers catch it by name, after their catch of those.
  static_assert(!std::is_base_of_v<std::exception, XMLResultException>);
}

// The prime delay may be absent or only begin with a number, and a point may lack children (it
// takes them from the point before), but the numbers a point holds must be wholly numbers.
TEST(AutotuneXML, PrimeDelayIsReadLenientlyAndPointNumbersStrictly) {
  AutotunePrefs before;
  before.PrimeDelay = 9;
  EXPECT_EQ(Read(Document(L"Load", L"", L""), before).PrimeDelay, 45);
  EXPECT_EQ(Read(Document(L"Load", L"", L"<PrimeDelay>12abc</PrimeDelay>"), before).PrimeDelay, 12);
  const AutotunePrefs read =
      Read(Document(L"Load", kCaffeine + L"<TunePoint><Name>Second</Name></TunePoint>"));
  ASSERT_EQ(read.TunePoints.size(), 2u);
  EXPECT_EQ(read.TunePoints[1].Name, L"Second");
  EXPECT_EQ(read.TunePoints[1].Mass, 195.088);
  EXPECT_THAT([] { Read(Document(L"Load", L"<TunePoint><CapExit> 7</CapExit></TunePoint>")); },
              ::testing::Throws<boost::bad_lexical_cast>(wqtest::IsErrorWithContext(
                  "bad lexical cast: source type value could not be interpreted as target",
                  "Cannot read the element CapExit of XML text: \" 7\" is not a whole number "
                  "from -2147483648 to 2147483647")));
}

}  // namespace
