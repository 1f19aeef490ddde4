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

TEST_F(SpectrumDataInfoTest, MissingPartsGiveEmptyTexts) {
  WQRepos::SpectrumDataInfo info = WQRepos::LoadSpectrumDataInfo();
  EXPECT_EQ(info.Instrument, L"");
  EXPECT_EQ(info.Sample_Inlet, L"");
  WriteDocument("<SpectrumDataInfo><Instrument>SQ</Instrument></SpectrumDataInfo>");
  info = WQRepos::LoadSpectrumDataInfo();
  EXPECT_EQ(info.Instrument, L"SQ");
  EXPECT_EQ(info.Sample_Inlet, L"");
  WriteDocument("<DataInfo><Instrument>SQ</Instrument></DataInfo>");
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"");
  WriteDocument("<SpectrumDataInfo><Instrument>SQ</Instrument>");
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"");
}

}  // namespace
