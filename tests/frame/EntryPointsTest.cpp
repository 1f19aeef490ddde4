#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>

#include <ctime>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

TEST(QMVExceptionText, WhatIsTheFixedTextFollowedByTheWideMessage) {
  // Each exception keeps its own text: making another does not overwrite it.
  const WQRepos::QMVException error(L"\u00e9t\u00e9");
  const WQRepos::QMVException other(L"xyz");
  EXPECT_STREQ(error.what(), "QMV Exception with wide string. \xc3\xa9t\xc3\xa9");
  EXPECT_STREQ(other.what(), "QMV Exception with wide string. xyz");
  EXPECT_EQ(WQRepos::QMVException(error).Message(), L"\u00e9t\u00e9");
}

using EntryPointsTest = DataDirectoryTest;

TEST_F(EntryPointsTest, DirectoriesFileNamesAndServerInfoFollowTheConfiguration) {
  EXPECT_EQ(WQRepos::QDataDirectory(), Wide(Dir("Data")));
  EXPECT_EQ(WQRepos::QDataDirectoryWorkingFile(), Wide(Dir("Data") / "Acquire.ked"));
  EXPECT_EQ(WQRepos::QAutoTuneScriptFileName(), Wide(Dir("Autotune") / "Autotune.xml"));
  std::uint16_t port = 0;
  EXPECT_EQ(WQRepos::QServerInfo(port), L"acqserver");
  EXPECT_EQ(port, 4000);
}

TEST_F(EntryPointsTest, NamingRecordIsThePresentTimeWithoutAFileAndVersionsZeroAndOneAreRead) {
  const std::int64_t before = std::time(nullptr);
  const std::int64_t time = WQRepos::QDataDirectoryFileNameInfo().Time;
  EXPECT_GE(time, before);
  EXPECT_LE(time, before + 1);
  const fs::path record = Dir("Prefs") / "DataFileName.pref";
  WriteBytes(record, U32(1) + I64(777) + U32(99));
  EXPECT_EQ(WQRepos::QDataDirectoryFileNameInfo().Time, 777);
  WriteBytes(record, U32(0) + I64(555));
  EXPECT_EQ(WQRepos::QDataDirectoryFileNameInfo().Time, 555);
}

TEST_F(EntryPointsTest, DiagnosticStyleSheetIsChosenByProbeKindOrReportedMissing) {
  EXPECT_THAT([] { WQRepos::QDiagnosticXSL(WQCommon::Probes::APCI); },
              ThrowsMessage<std::runtime_error>("Unable to load diagnostic xsl file."));
  struct Sheets {
    Sheets() {
      WriteBytes(LibraryFolder() / "Diagnostic.xsl", "<sheet kind=\"general\"/>");
      WriteBytes(LibraryFolder() / "DiagnosticAPCI.xsl", "<sheet kind=\"apci\"/>");
    }
    ~Sheets() {
      fs::remove(LibraryFolder() / "Diagnostic.xsl");
      fs::remove(LibraryFolder() / "DiagnosticAPCI.xsl");
    }
  } sheets;
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::APCI), HasSubstr(L"apci"));
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::ESI), HasSubstr(L"general"));
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::ESCi), HasSubstr(L"general"));
}

// Patterns match case-sensitively, with or without the quick suffix comparison.
TEST_F(EntryPointsTest, ListingCutsNamesBeforeTheirLastFullStop) {
  for (const char* name :
       {"a.b.ket", "c.ket", "d.kem", "e.ket.bak", "G.KET", "noext", u8"Grüße.ket", "f\xFF.ket"})
    WriteBytes(Dir("Tunes") / name, "");
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "*.ket")),
              UnorderedElementsAre(L"a.b", L"c", L"Grüße", L"f\xFFFD"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "*.ket*")),
              UnorderedElementsAre(L"a.b", L"c", L"e.ket", L"Grüße", L"f\xFFFD"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "n*")), UnorderedElementsAre(L"noext"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Missing") / "*.ket")), IsEmpty());
}

}  // namespace
