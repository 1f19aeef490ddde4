// The module's configuration, its entry points and its exception.
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/NetworkClient.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>
#include <log4cxx/spi/loggingevent.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

using LogEntry = std::pair<log4cxx::LevelPtr, std::string>;

// The settings logged at info level when the file was complete, else as a warning.
LogEntry Report(bool complete, const std::string& host, int port, const std::string& base,
                const std::string& file = (LibraryFolder() / "ConfigClient.xml").string()) {
  return {complete ? log4cxx::Level::getInfo() : log4cxx::Level::getWarn(),
          "Config file (" + file +
              (complete ? ") settings:"
                        : ") not loaded completely.  The following settings are being used:") +
              "\n  HostName=" + host + "\n  Port=" + std::to_string(port) + "\n  BaseDir=" + base};
}

// Collects what the logger "app" receives while it is attached.
struct LogCapture : log4cxx::AppenderSkeleton {
  std::vector<LogEntry> entries;

  void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override {
    std::string message;
    log4cxx::helpers::Transcoder::encode(event->getMessage(), message);
    entries.emplace_back(event->getLevel(), message);
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
};

class ConfigTest : public ::testing::Test {
 protected:
  ConfigTest() { log4cxx::Logger::getLogger("app")->addAppender(log); }
  ~ConfigTest() override { log4cxx::Logger::getLogger("app")->removeAppender(log); }

  // Refreshes a fresh Config over a ConfigClient.xml with `content`, logging afresh.
  bool Refresh(const std::string& content) {
    ConfigClientFile file(content);
    log->entries.clear();
    return config.Refresh();
  }

  ScratchDirectory temp;
  WQRepos::Config config;
  const std::shared_ptr<LogCapture> log = std::make_shared<LogCapture>();
};

TEST_F(ConfigTest, WithoutConfigurationFileDefaultsHoldAndTheTreeIsCreated) {
  const fs::path base = LibraryFolder() / "WQData";
  fs::remove_all(base);
  EXPECT_TRUE(Refresh(""));
  EXPECT_EQ(WQCommon::WQWideToNarrowStr(config.QHostName()), WQPlatform::HostName());
  EXPECT_EQ(config.QHostPort(), 4000);
  EXPECT_THAT(log->entries,
              ElementsAre(Report(false, WQPlatform::HostName(), 4000, base.string())));
  for (const char* name :
       {"AcqMethod", "EvalMethod", "Tunes", "Data", "Log", "Calibration", "Prefs", "Autotune"})
    EXPECT_TRUE(fs::is_directory(base / name)) << name;
  fs::remove_all(base);
}

// A complete file is applied and reported at info level. One trailing separator is removed (but
// still logged), a second one is kept. Blanks around the port are allowed.
TEST_F(ConfigTest, CompleteFileIsAppliedAndReportedAtInfoLevel) {
  const std::string base = (temp.Path() / "Lab").string();
  const std::tuple<std::string, std::string, int, std::string> cases[] = {
      {"4123", base, 4123, base + "/Tunes"},
      {" 5000\n", base + "/", 5000, base + "/Tunes"},
      {"65535", base + "//", 65535, base + "//Tunes"}};
  for (const auto& [port, baseDir, expectedPort, tunes] : cases) {
    SCOPED_TRACE(port + " " + baseDir);
    EXPECT_TRUE(Refresh(ConfigClientXml("acq-01", port, baseDir)));
    EXPECT_EQ(config.QHostName(), L"acq-01");
    EXPECT_EQ(config.QHostPort(), expectedPort);
    EXPECT_EQ(config.QDirectory(WQRepos::Config::TunesDir), WQCommon::WQNarrowToWideStr(tunes));
    EXPECT_TRUE(fs::is_directory(tunes));
    EXPECT_THAT(log->entries, ElementsAre(Report(true, "acq-01", expectedPort, baseDir)));
  }
  EXPECT_THAT([this] { config.QDirectory(static_cast<WQRepos::Config::DirTypes>(8)); },
              ThrowsMessage<std::runtime_error>("Unknown directory type."));
}

// A file lacking elements keeps the settings it lacks; a malformed or too deep one keeps all.
TEST_F(ConfigTest, IncompleteMalformedOrTooDeepFileKeepsTheSettingsItLacksAndWarns) {
  const std::string base = temp.Path().string();
  std::string deep;
  for (int level = 0; level < 1000; ++level) deep = "<a>" + deep + "</a>";
  std::vector<std::string> files = {"<AcqClient><HostName>first</HostName></AcqClient>",
                                    "<AcqClient><HostName>broken</AcqClient",
                                    "<AcqClient>" + deep + "</AcqClient>"};
  for (const std::string& broken : files) {
    Refresh(ConfigClientXml("first", "4100", base));
    EXPECT_TRUE(Refresh(broken));
    EXPECT_EQ(config.QHostName(), L"first");
    EXPECT_EQ(config.QHostPort(), 4100);
    EXPECT_THAT(log->entries, ElementsAre(Report(false, "first", 4100, base))) << broken;
  }
}

// The port is read as a stream reads a number: blanks skipped, digits up to the first other
// character. A text that gives no port up to 65535 keeps the port as it was, and a file with all
// three elements is still complete. The report tells how the text was read.
TEST_F(ConfigTest, PortIsReadFromTheStartOfItsTextAndAnUnreadablePortKeepsTheFileComplete) {
  using Reading = WQRepos::ConfigReport::PortReading;
  const std::string base = temp.Path().string();
  const std::tuple<std::string, int, Reading> cases[] = {
      {"70000", 4100, Reading::Unused},   {"abc", 4100, Reading::Unused},
      {"-1", 4100, Reading::Unused},      {"", 4100, Reading::Unused},
      {" 5000x", 5000, Reading::Leading}, {"12abc", 12, Reading::Leading},
      {"65535", 65535, Reading::Whole},   {"00080", 80, Reading::Whole}};
  for (const auto& [port, expected, reading] : cases) {
    SCOPED_TRACE(port);
    Refresh(ConfigClientXml("first", "4100", base));
    EXPECT_TRUE(Refresh(ConfigClientXml("first", port, base)));
    EXPECT_EQ(config.QHostPort(), expected);
    EXPECT_THAT(log->entries, ElementsAre(Report(true, "first", expected, base)));
    EXPECT_EQ(config.QReport().PortText, WQCommon::WQNarrowToWideStr(port));
    EXPECT_EQ(config.QReport().Port, reading);
  }
}

// The report names the file and why it gave no settings, or the texts it held.
TEST_F(ConfigTest, ReportTellsWhatTheFileHeld) {
  Refresh("");
  EXPECT_EQ(config.QReport().Path,
            WQCommon::WQNarrowToWideStr((LibraryFolder() / "ConfigClient.xml").string()));
  EXPECT_EQ(config.QReport().Unread, "No such file or directory");
  Refresh("<AcqClient><HostName>h</HostName>");
  EXPECT_EQ(config.QReport().Unread, "it is not well-formed XML");
  Refresh("<Other/>");
  EXPECT_EQ(config.QReport().Unread, "it has no element AcqClient");
  Refresh("<AcqClient><HostName>h</HostName></AcqClient>");
  EXPECT_EQ(config.QReport().Unread, "");
  EXPECT_EQ(config.QReport().HostNameText, L"h");
  EXPECT_FALSE(config.QReport().PortText);
  EXPECT_FALSE(config.QReport().BaseDirText);
}

// The directories are made one level at a time and in order; a plain file in place of one counts
// as made, and the first that cannot be made stops the rest.
TEST_F(ConfigTest, DirectoriesAreMadeInOrderUntilOneCannotBe) {
  EXPECT_FALSE(Refresh(ConfigClientXml("h", "4000", "")));
  const fs::path missing = temp.Path() / "missing" / "WQData";
  EXPECT_FALSE(Refresh(ConfigClientXml("h", "4000", missing.string())));
  EXPECT_FALSE(fs::exists(missing.parent_path()));
  const fs::path base = temp.Path() / "Lab";
  fs::create_directory(base);
  WriteBytes(base / "Tunes", "not a directory");
  // A dangling link exists for no one who asks, yet no directory can be made in its place.
  fs::create_symlink(temp.Path() / "nowhere" / "x", base / "Log");
  EXPECT_FALSE(Refresh(ConfigClientXml("h", "4000", base.string())));
  EXPECT_EQ(ReadBytes(base / "Tunes"), "not a directory");
  EXPECT_TRUE(fs::is_directory(base / "Data"));
  EXPECT_FALSE(fs::exists(base / "Calibration"));
}

// The variable names the file whatever bytes its path holds (Latin-1 here); set to nothing, it
// names none.
TEST_F(ConfigTest, FileNamedByTheEnvironmentIsReadInsteadAndReadCreatesNothing) {
  const fs::path named = temp.Path() / "system.xml";
  const fs::path latin = temp.Path() / "syst\xE8me.xml";
  const std::string base = (temp.Path() / "Lab").string();
  WriteBytes(named, ConfigClientXml("elsewhere", "4200", base));
  WriteBytes(latin, ConfigClientXml("latin", "4200", base));
  ConfigClientFile beside(ConfigClientXml("beside", "4000", base));
  ::setenv("WQREPOS_CONFIG", named.c_str(), 1);
  config.Read();
  EXPECT_EQ(config.QHostName(), L"elsewhere");
  EXPECT_THAT(log->entries, ElementsAre(Report(true, "elsewhere", 4200, base, named.string())));
  for (const auto& [value, host] :
       {std::pair{latin.string(), L"latin"}, std::pair{std::string(), L"beside"}}) {
    ::setenv("WQREPOS_CONFIG", value.c_str(), 1);
    config.Read();
    EXPECT_EQ(config.QHostName(), host);
  }
  ::unsetenv("WQREPOS_CONFIG");
  EXPECT_FALSE(fs::exists(base));
}

// A file the user named and that cannot be read is an error naming it, raised before anything is
// made: the defaults would keep the data in another directory.
TEST_F(ConfigTest, NamedFileThatCannotBeReadIsRefusedAndNothingIsCreated) {
  const fs::path base = temp.Path() / "Fallback";
  ConfigClientFile beside(ConfigClientXml("beside", "4000", base.string()));
  const fs::path pipe = temp.Path() / "pipe.xml";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  WriteBytes(temp.Path() / "cut.xml", "<AcqClient><Port>1</Port>");
  WriteBytes(temp.Path() / "other.xml", "<Other><Port>1</Port></Other>");
  const std::pair<fs::path, std::string> cases[] = {
      {temp.Path() / "typo.xml", "No such file or directory"},
      {temp.Path(), "not a regular file"},
      {pipe, "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {temp.Path() / "cut.xml", "it is not well-formed XML"},
      {temp.Path() / "other.xml", "it has no element AcqClient"}};
  for (const auto& [path, reason] : cases) {
    ::setenv("WQREPOS_CONFIG", path.c_str(), 1);
    EXPECT_THAT(WQRepos::Initialize, ThrowsMessage<std::runtime_error>(
                                         "Cannot read the configuration file " + path.string() +
                                         " that WQREPOS_CONFIG names: " + reason));
  }
  ::unsetenv("WQREPOS_CONFIG");
  EXPECT_FALSE(fs::exists(base));
  EXPECT_THAT(log->entries, IsEmpty());
}

// The base directory is taken without the blanks around it, and a relative one from the folder of
// the file that names it, whatever the working directory.
TEST_F(ConfigTest, BaseDirectoryLosesItsBlanksAndARelativeOneFollowsItsFile) {
  const fs::path named = temp.Path() / "etc" / "client.xml";
  fs::create_directory(named.parent_path());
  ::setenv("WQREPOS_CONFIG", named.c_str(), 1);
  for (const auto& [text, base] :
       {std::pair{std::string("\n\t Lab/Data/ "), temp.Path() / "etc" / "Lab" / "Data"},
        std::pair{" " + temp.Path().string() + "\n", temp.Path()}}) {
    WriteBytes(named, ConfigClientXml("h", "4000", text));
    config.Read();
    EXPECT_EQ(config.QDirectory(WQRepos::Config::TunesDir), Wide(base / "Tunes")) << text;
  }
  ::unsetenv("WQREPOS_CONFIG");
}

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
  WriteBytes(LibraryFolder() / "Diagnostic.xsl", "<sheet kind=\"general\"/>");
  WriteBytes(LibraryFolder() / "DiagnosticAPCI.xsl", "<sheet kind=\"apci\"/>");
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::APCI), HasSubstr(L"apci"));
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::ESI), HasSubstr(L"general"));
  EXPECT_THAT(WQRepos::QDiagnosticXSL(WQCommon::Probes::ESCi), HasSubstr(L"general"));
  fs::remove(LibraryFolder() / "Diagnostic.xsl");
  fs::remove(LibraryFolder() / "DiagnosticAPCI.xsl");
}

// Initialize() looks for abandoned temporary files in sub-folders too, and takes the age past
// which one written on another computer counts as abandoned from WQREPOS_TEMPORARY_MAX_AGE.
// Where locks do not tell whether its writer runs, as on a network file system.
TEST_F(EntryPointsTest, TemporaryWrittenElsewhereIsRemovedPastTheAgeLimit) {
  WQPlatformTesting::NetworkClient network;
  WQPlatform::ScopedFileOps seam(network);
  const fs::path folder = Dir("AcqMethod") / "lab" / "2026";
  fs::create_directories(folder);
  const fs::path leftover = folder / ".x.kem.wqtmp-lab-1-0123456789abcdef-Abcdef";
  WriteBytes(leftover, "half a method");
  fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::hours(2));
  WQRepos::Initialize();
  EXPECT_TRUE(fs::exists(leftover)) << "kept for a day by default";
  ::setenv("WQREPOS_TEMPORARY_MAX_AGE", "12abc", 1);
  EXPECT_THAT([] { WQRepos::Initialize(); },
              ThrowsMessage<std::runtime_error>(::testing::StrEq(
                  "WQREPOS_TEMPORARY_MAX_AGE must be a whole number of seconds, not \"12abc\"")));
  ::setenv("WQREPOS_TEMPORARY_MAX_AGE", "3600", 1);
  WQRepos::Initialize();
  ::unsetenv("WQREPOS_TEMPORARY_MAX_AGE");
  EXPECT_FALSE(fs::exists(leftover));
}

// Patterns match case-sensitively, with or without the quick suffix comparison.
TEST_F(EntryPointsTest, ListingCutsNamesBeforeTheirLastFullStop) {
  for (const char* name :
       {"a.b.ket", "c.ket", "d.kem", "e.ket.bak", "G.KET", "noext", u8"Grüße.ket", "f\xFF.ket"})
    WriteBytes(Dir("Tunes") / name, "");
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "*.ket")),
              UnorderedElementsAre(L"a.b", L"c", L"Grüße", L"f\xDCFF"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "*.ket*")),
              UnorderedElementsAre(L"a.b", L"c", L"e.ket", L"Grüße", L"f\xDCFF"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Tunes") / "n*")), UnorderedElementsAre(L"noext"));
  EXPECT_THAT(WQRepos::GetFileNames(Wide(Dir("Missing") / "*.ket")), IsEmpty());
}

}  // namespace
