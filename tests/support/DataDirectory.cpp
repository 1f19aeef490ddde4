#include "support/DataDirectory.h"

#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

namespace wqtest {

ConfigClientFile::ConfigClientFile(const std::string& content) {
  fs::remove(LibraryFolder() / "ConfigClient.xml");
  if (!content.empty()) WriteBytes(LibraryFolder() / "ConfigClient.xml", content);
}

std::string ConfigClientXml(const std::string& host, const std::string& port,
                            const std::string& baseDir) {
  return "<?xml version=\"1.0\"?>\n<AcqClient>\n\t<HostName>" + host + "</HostName>\n\t<Port>" +
         port + "</Port>\n\t<BaseDir>" + baseDir + "</BaseDir>\n</AcqClient>\n";
}

void DataDirectoryTest::SetUp() {
  ConfigClientFile config(ConfigClientXml("acqserver", "4000", Base().string()));
  WQRepos::Initialize();
}

void UnrecordedDataDirectoryTest::SetUp() {
  ConfigClientFile config("<AcqClient><BaseDir>" + Base().string() +
                          "</BaseDir><History>off</History></AcqClient>\n");
  WQRepos::Initialize();
}

std::string U32(std::uint32_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

std::string I64(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  return U32(static_cast<std::uint32_t>(bits)) + U32(static_cast<std::uint32_t>(bits >> 32));
}

std::size_t TemporaryFiles(const fs::path& directory) {
  std::size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(directory))
    count += WQPlatform::IsTemporaryName(entry.path().filename().string());
  return count;
}

WQBL::Method MethodOf(int value) {
  WQBL::Method method;
  method.TimePeriods.resize(value + 1);
  method.Tunes[1] = WQBL::TuneEntry(L"Tune 1", WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

}  // namespace wqtest
