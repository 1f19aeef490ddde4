#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Config.h>

#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "frame/Repository.h"

namespace WQRepos {
namespace {

const wchar_t* const kSubdirectories[] = {L"AcqMethod", L"EvalMethod",  L"Tunes", L"Data",
                                          L"Log",       L"Calibration", L"Prefs", L"Autotune"};
constexpr std::uint16_t kDefaultPort = 4000;
constexpr char kConfigVariable[] = "WQREPOS_CONFIG";

// The file that WQREPOS_CONFIG names, so that an installed library need not have its configuration
// written into the system's library folder; else ConfigClient.xml beside the library file.
std::wstring ConfigFilePath() {
  const std::optional<std::string> named = WQPlatform::EnvironmentVariable(kConfigVariable);
  if (named && !named->empty()) return WQCommon::WQNarrowToWideStr(*named);
  return LibraryDirectory() + L"ConfigClient.xml";
}

// Reads a port as a wide input stream reads an unsigned number: leading blanks skipped, digits up
// to the first non-digit. Nothing when no number can be read or it is above 65535.
bool ParsePort(const std::wstring& text, std::uint16_t& port) {
  std::wistringstream stream(text);
  unsigned long value = 0;
  if (!(stream >> value) || value > std::numeric_limits<std::uint16_t>::max()) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

Config::Config()
    : hostName_(WQCommon::WQNarrowToWideStr(WQPlatform::HostName())),
      port_(kDefaultPort),
      baseDirectory_(DefaultBaseDirectory()) {}

namespace {

// False for a file that cannot be used, so that the defaults hold: a configuration too deep or too
// large to read is reported like a malformed one.
bool LoadDocument(WQCommon::XMLParser& parser, const std::wstring& path) {
  try {
    return parser.LoadFile(path);
  } catch (const std::runtime_error&) {
    return false;
  }
}

}  // namespace

bool Config::Refresh() {
  Read();
  return !baseDirectory_.empty() && CreateDirStructure();
}

void Config::Read() {
  logger_ = log4cxx::Logger::getLogger("app");
  LoadConfigInfo();
  if (!baseDirectory_.empty() &&
      baseDirectory_.back() == static_cast<wchar_t>(WQPlatform::kSeparator))
    baseDirectory_.pop_back();
}

void Config::LoadConfigInfo() {
  const std::wstring path = ConfigFilePath();
  bool complete = true;
  WQCommon::XMLParser parser;
  if (LoadDocument(parser, path) && parser.StartNode(L"AcqClient")) {
    std::wstring text;
    if (parser.QNode(L"HostName", text))
      hostName_ = text;
    else
      complete = false;
    if (parser.QNode(L"Port", text))
      ParsePort(text, port_);
    else
      complete = false;
    if (parser.QNode(L"BaseDir", text))
      baseDirectory_ = text;
    else
      complete = false;
    parser.EndNode();
  } else {
    complete = false;
  }

  std::wostringstream message;
  message << L"Config file (" << path
          << (complete ? L") settings:"
                       : L") not loaded completely.  The following settings are being used:")
          << L"\n  HostName=" << hostName_ << L"\n  Port=" << port_ << L"\n  BaseDir="
          << baseDirectory_;
  if (complete)
    logger_->info(message.str());
  else
    logger_->warn(message.str());
}

bool Config::CreateDirStructure() const {
  const auto ensure = [](const std::wstring& directory) {
    const std::string path = NativePath(directory);
    return WQPlatform::PathExists(path) || WQPlatform::MakeDirectory(path);
  };
  if (!ensure(baseDirectory_)) return false;
  for (int kind = AcqMethodDir; kind <= AutotuneDir; ++kind) {
    if (!ensure(QDirectory(static_cast<DirTypes>(kind)))) return false;
  }
  return true;
}

std::wstring Config::QHostName() const { return hostName_; }

std::uint16_t Config::QHostPort() const { return port_; }

std::wstring Config::QDirectory(DirTypes kind) const {
  const auto index = static_cast<unsigned>(kind);
  if (index > AutotuneDir) throw std::runtime_error("Unknown directory type.");
  const std::wstring_view subdirectory = kSubdirectories[index];
  std::wstring directory;
  directory.reserve(baseDirectory_.size() + 1 + subdirectory.size());
  directory.append(baseDirectory_).append(Separator()).append(subdirectory);
  return directory;
}

}  // namespace WQRepos
