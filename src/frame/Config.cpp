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
// written into the system's library folder; nothing when it is not set or empty.
std::optional<std::wstring> NamedConfigFile() {
  const std::optional<std::string> named = WQPlatform::EnvironmentVariable(kConfigVariable);
  if (!named || named->empty()) return std::nullopt;
  return WQCommon::WQNarrowToWideStr(*named);
}

// The white space that XML allows around an element's text.
constexpr wchar_t kBlanks[] = L" \t\r\n";

std::wstring Trimmed(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Reads a port: decimal digits, with blanks around them, up to 65535. False for any other text,
// which leaves `port` as it was.
bool ParsePort(const std::wstring& text, std::uint16_t& port) {
  const std::wstring digits = Trimmed(text);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos)
    return false;
  const unsigned long value = std::stoul(digits);
  if (value > std::numeric_limits<std::uint16_t>::max()) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// The base directory that `text` names in the configuration file at `file`: without the blanks
// around it, and a relative one taken from the file's folder, so that it is the same directory
// from every working directory.
std::wstring BaseDirectoryOf(const std::wstring& text, const std::wstring& file) {
  std::wstring directory = Trimmed(text);
  const wchar_t separator = static_cast<wchar_t>(WQPlatform::kSeparator);
  if (directory.empty() || directory.front() == separator) return directory;
  const std::size_t cut = file.rfind(separator);
  return cut == std::wstring::npos ? directory : file.substr(0, cut + 1) + directory;
}

// Throws std::runtime_error naming the configuration file that WQREPOS_CONFIG names and `reason`.
[[noreturn]] void RefuseNamedFile(const std::wstring& path, const std::string& reason) {
  throw std::runtime_error("Cannot read the configuration file " + NativePath(path) +
                           " that WQREPOS_CONFIG names: " + reason);
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
  const std::optional<std::wstring> named = NamedConfigFile();
  const std::wstring path = named ? *named : LibraryDirectory() + L"ConfigClient.xml";
  bool complete = true;
  WQCommon::XMLParser parser;
  // The file beside the library may be missing or broken: the defaults then hold, with a warning.
  // A file the user named is meant to be used, and a directory of the defaults would be the wrong
  // one.
  if (named) {
    if (const std::optional<std::string> reason = WQPlatform::UnreadableReason(NativePath(path)))
      RefuseNamedFile(path, *reason);
    if (!parser.LoadFile(path)) RefuseNamedFile(path, "it is not well-formed XML");
  }
  if ((named || LoadDocument(parser, path)) && parser.StartNode(L"AcqClient")) {
    std::wstring text;
    if (parser.QNode(L"HostName", text))
      hostName_ = text;
    else
      complete = false;
    if (!parser.QNode(L"Port", text) || !ParsePort(text, port_)) complete = false;
    if (parser.QNode(L"BaseDir", text))
      baseDirectory_ = BaseDirectoryOf(text, path);
    else
      complete = false;
    parser.EndNode();
  } else if (named) {
    RefuseNamedFile(path, "it has no element AcqClient");
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
