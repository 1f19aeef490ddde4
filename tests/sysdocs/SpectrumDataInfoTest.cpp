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
