#include <WQRepos/SpectrumDataInfo.h>
#include <WQRepos/SystemConfiguration.h>
#include <gmock/gmock.h>

#include <boost/lexical_cast.hpp>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::HasSubstr;
using Configuration = WQRepos::SystemConfiguration;

class SystemConfigurationTest : public DataDirectoryTest {
 protected:
  fs::path Document() const { return Dir("Prefs") / "SystemConfiguration.xml"; }
  void WriteDocument(const std::string& body) const {
    WriteBytes(Document(), "<SystemConfiguration>" + body + "</SystemConfiguration>");
  }
};

TEST_F(SystemConfigurationTest, MissingDocumentsAndElementsOrUnreadableTextsKeepTheDefaults) {
  EXPECT_EQ(WQRepos::LoadSystemConfiguration(), Configuration());
  fs::create_directory(Document());
  EXPECT_EQ(WQRepos::LoadSystemConfiguration(), Configuration()) << "a folder in its place";
  fs::remove(Document());
  for (const char* document : {"<SystemConfiguration><SystemName>A</SystemName>",
                               "<Other><SystemName>A</SystemName></Other>"}) {
    WriteBytes(Document(), document);
    EXPECT_EQ(WQRepos::LoadSystemConfiguration(), Configuration()) << document;
  }
  WriteDocument(
      "<SystemName>A</SystemName><PolaritySwitch> 1.5s</PolaritySwitch>"
      "<TuneProbeId>Plasma</TuneProbeId><Syringe><Diameter>4.6</Diameter><Volume>12x</Volume>"
      "<FlowRate> 3</FlowRate><Enabled>yes</Enabled></Syringe>");
  Configuration expected;
  expected.SystemName = L"A";
  expected.PolaritySwitch = 1.5;
  expected.Syringe.Diameter = 4.6;
  EXPECT_EQ(WQRepos::LoadSystemConfiguration(), expected);
}

// The polarity switch is saved to two decimals and the calibrant source in its current name; a
// source without a name is refused and leaves the earlier document.
TEST_F(SystemConfigurationTest, SaveWritesCurrentNamesAndTwoDecimalsOrLeavesTheEarlierDocument) {
  WriteDocument("<CalSource>Vial_1</CalSource>");
  Configuration configuration;
  configuration.CalSource = Configuration::LeftVialSource;
  EXPECT_EQ(WQRepos::LoadSystemConfiguration(), configuration);
  configuration.PolaritySwitch = 1.234;
  WQRepos::SaveSystemConfiguration(configuration);
  const std::string saved = ReadBytes(Document());
  EXPECT_THAT(saved, HasSubstr("<CalSource>Left Vial</CalSource>"));
  EXPECT_EQ(WQRepos::LoadSystemConfiguration().PolaritySwitch, 1.23);
  configuration.CalSource = static_cast<Configuration::AnalyteSource>(-1);
  EXPECT_THAT([&] { WQRepos::SaveSystemConfiguration(configuration); },
              ThrowsQMVException(L"Enumeration value -1 not found in enumeration map."));
  EXPECT_EQ(ReadBytes(Document()), saved);
}

// A calibrant source in neither map, or method time periods that are not a whole signed decimal,
// refuse the document with the lookup's and Boost's own words; the element and the document ride
// along, nested.
TEST_F(SystemConfigurationTest, LoadReadsEarlierCalSourceNamesAndRefusesUnreadableTexts) {
  WriteDocument("<CalSource>Vial_2</CalSource>");
  EXPECT_EQ(WQRepos::LoadSystemConfiguration().CalSource, Configuration::RightVialSource);
  WriteDocument("<CalSource>Vial_3</CalSource>");
  EXPECT_THAT(WQRepos::LoadSystemConfiguration,
              ThrowsQMVException(L"String Vial_3 not found in enumeration map."));
  EXPECT_THAT(WQRepos::LoadSystemConfiguration,
              ::testing::Throws<WQRepos::QMVException>(IsErrorWithContext(
                  "QMV Exception with wide string. String Vial_3 not found in enumeration map.",
                  "Cannot read the element CalSource of " + Document().string())));
  WriteDocument("<MethodTimePeriods>one</MethodTimePeriods>");
  EXPECT_THAT(WQRepos::LoadSystemConfiguration,
              ::testing::Throws<boost::bad_lexical_cast>(IsErrorWithContext(
                  "bad lexical cast: source type value could not be interpreted as target",
                  "Cannot read the element MethodTimePeriods of " + Document().string() +
                      ": \"one\" is not a whole number from -2147483648 to 2147483647")));
}

using SpectrumDataInfoTest = DataDirectoryTest;

TEST_F(SpectrumDataInfoTest, MissingOrMalformedDocumentGivesEmptyTexts) {
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"");
  fs::create_directory(Dir("Prefs") / "SpectrumDataInfo.xml");
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"") << "a folder in its place";
  fs::remove(Dir("Prefs") / "SpectrumDataInfo.xml");
  for (const char* document : {"<DataInfo><Instrument>SQ</Instrument></DataInfo>",
                               "<SpectrumDataInfo><Instrument>SQ</Instrument>"}) {
    WriteBytes(Dir("Prefs") / "SpectrumDataInfo.xml", document);
    EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"") << document;
  }
}

}  // namespace
