#include <WQRepos/SpectrumDataInfo.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

class SpectrumDataInfoTest : public DataDirectoryTest {
 protected:
  void WriteDocument(const std::string& content) const {
    WriteBytes(Dir("Prefs") / "SpectrumDataInfo.xml", content);
  }
};

TEST_F(SpectrumDataInfoTest, BothTextsAreRead) {
  WriteDocument(
      "<SpectrumDataInfo><Sample_Inlet>Infusion</Sample_Inlet><Other>x</Other>"
      "<Instrument>SQ \xc3\xa9</Instrument></SpectrumDataInfo>");
  const WQRepos::SpectrumDataInfo info = WQRepos::LoadSpectrumDataInfo();
  EXPECT_EQ(info.Instrument, L"SQ \u00e9");
  EXPECT_EQ(info.Sample_Inlet, L"Infusion");
}

TEST_F(SpectrumDataInfoTest, MissingOrMalformedPartsGiveEmptyTexts) {
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"");
  WriteDocument("<SpectrumDataInfo><Instrument>SQ</Instrument></SpectrumDataInfo>");
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Sample_Inlet, L"");
  for (const char* document : {"<DataInfo><Instrument>SQ</Instrument></DataInfo>",
                               "<SpectrumDataInfo><Instrument>SQ</Instrument>"}) {
    WriteDocument(document);
    EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"") << document;
  }
}

}  // namespace
