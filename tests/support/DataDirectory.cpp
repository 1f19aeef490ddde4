#include "support/DataDirectory.h"

#include <WQRepos/EntryPoints.h>
#include <log4cxx/logger.h>
#include <log4cxx/spi/loggingevent.h>

namespace wqtest {

fs::path LibraryFolder() { return WQREPOS_TESTLIB_DIR; }

ConfigClientFile::ConfigClientFile(const std::string& content) {
  if (content.empty()) {
    fs::remove(LibraryFolder() / "ConfigClient.xml");
  } else {
    WriteBytes(LibraryFolder() / "ConfigClient.xml", content);
  }
}

ConfigClientFile::~ConfigClientFile() { fs::remove(LibraryFolder() / "ConfigClient.xml"); }

std::string ConfigClientXml(const std::string& host, const std::string& port,
                            const std::string& baseDir) {
  return "<?xml version=\"1.0\"?>\n<AcqClient>\n\t<HostName>" + host + "</HostName>\n\t<Port>" +
         port + "</Port>\n\t<BaseDir>" + baseDir + "</BaseDir>\n</AcqClient>\n";
}

void DataDirectoryTest::SetUp() {
  ConfigClientFile config(ConfigClientXml("acqserver", "4000", Base().string()));
  WQRepos::Initialize();
}

std::string U32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

std::string I64(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  return U32(static_cast<std::uint32_t>(bits)) + U32(static_cast<std::uint32_t>(bits >> 32));
}

std::size_t TemporaryFiles(const fs::path& directory) {
  std::size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(directory))
    count += entry.path().filename().string().find(".wqtmp-") != std::string::npos;
  return count;
}

WQBL::Method MethodOf(int value) {
  WQBL::Method method;
  method.TimePeriods.resize(value + 1);
  method.Tunes[1] = WQBL::TuneEntry(L"Tune 1", WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

class LogCapture::Appender : public log4cxx::AppenderSkeleton {
 public:
  std::vector<Entry> entries;

  void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override {
    std::string message;
    log4cxx::helpers::Transcoder::encode(event->getMessage(), message);
    entries.push_back({event->getLevel(), message});
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
};

LogCapture::LogCapture() : appender_(std::make_shared<Appender>()) {
  log4cxx::Logger::getLogger("app")->addAppender(appender_);
}

LogCapture::~LogCapture() { log4cxx::Logger::getLogger("app")->removeAppender(appender_); }

const std::vector<LogCapture::Entry>& LogCapture::Entries() const { return appender_->entries; }

}  // namespace wqtest
