#include <WQRepos/SpectrumDataInfo.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

using SpectrumDataInfoTest = DataDirectoryTest;

TEST_F(SpectrumDataInfoTest, MissingOrMalformedDocumentGivesEmptyTexts) {
  EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"");
  for (const char* document : {"<DataInfo><Instrument>SQ</Instrument></DataInfo>",
                               "<SpectrumDataInfo><Instrument>SQ</Instrument>"}) {
    WriteBytes(Dir("Prefs") / "SpectrumDataInfo.xml", document);
    EXPECT_EQ(WQRepos::LoadSpectrumDataInfo().Instrument, L"") << document;
  }
}

}  // namespace
