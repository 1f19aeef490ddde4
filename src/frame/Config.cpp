#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Config.h>

#include <algorithm>
#include <cwctype>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "frame/Files.h"
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

// The port that `text` gives, read as a wide input stream reads an unsigned number: leading
// white space skipped, an optional "+", then the digits up to the first character that is not
// one. Nothing when no digit follows, or when the number is above 65535.
std::optional<std::uint16_t> PortOf(const std::wstring& text) {
  std::size_t at = text.find_first_not_of(L" \t\n\v\f\r");
  if (at == std::wstring::npos) return std::nullopt;
  if (text[at] == L'+') ++at;
  const std::size_t end = std::min(text.find_first_not_of(L"0123456789", at), text.size());
  if (end == at) return std::nullopt;
  unsigned long value = 0;
  for (; at < end; ++at) {
    value = value * 10 + static_cast<unsigned long>(text[at] - L'0');
    if (value > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
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
  report_ = ConfigReport();
  report_.Path = path;
  // Unlike the three settings, the history is on unless the file read now turns it off.
  history_ = true;
  WQCommon::XMLParser parser;
  // The file beside the library may be missing or broken: the defaults then hold, with a warning.
  // A file the user named is meant to be used, and a directory of the defaults would be the wrong
  // one.
  if (const std::optional<std::string> reason = WQPlatform::UnreadableReason(NativePath(path)))
    report_.Unread = *reason;
  else if (named ? !parser.LoadFile(path) : !LoadXMLDocument(parser, path))
    report_.Unread = "it is not well-formed XML";
  else if (!parser.StartNode(L"AcqClient"))
    report_.Unread = "it has no element AcqClient";
  if (named && !report_.Unread.empty()) RefuseNamedFile(path, report_.Unread);

  if (report_.Unread.empty()) {
    ReadSettings(parser);
    parser.EndNode();
  }
  const bool complete =
      report_.Unread.empty() && report_.HostNameText && report_.PortText && report_.BaseDirText;
  std::wostringstream message;
  message << L"Config file (" << path
          << (complete ? L") settings:"
                       : L") not loaded completely.  The following settings are being used:")
          << L"\n  HostName=" << hostName_ << L"\n  Port=" << port_ << L"\n  BaseDir="
          << baseDirectory_;
  if (!Heard(logger_)) return;
  if (complete)
    logger_->info(message.str());
  else
    logger_->warn(message.str());
}

// Takes each of HostName, Port and BaseDir that the parser's current element holds. A port text
// that gives no port leaves the port as it was, and the file still counts as complete.
void Config::ReadSettings(const WQCommon::XMLParser& parser) {
  std::wstring text;
  if (parser.QNode(L"HostName", text)) {
    hostName_ = text;
    report_.HostNameText = text;
  }
  if (parser.QNode(L"Port", text)) {
    report_.PortText = text;
    const std::optional<std::uint16_t> port = PortOf(text);
    if (port) port_ = *port;
    using Reading = ConfigReport::PortReading;
    report_.Port = !port ? Reading::Unused
                   : Trimmed(text).find_first_not_of(L"0123456789") == std::wstring::npos
                       ? Reading::Whole
                       : Reading::Leading;
  }
  if (parser.QNode(L"BaseDir", text)) {
    baseDirectory_ = BaseDirectoryOf(text, report_.Path);
    report_.BaseDirText = text;
  }
  if (parser.QNode(L"History", text)) {
    report_.HistoryText = text;
    std::wstring lower = Trimmed(text);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    history_ = lower != L"off";
  }
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

const ConfigReport& Config::QReport() const { return report_; }

std::wstring Config::QHistoryDirectory() const { return baseDirectory_ + Separator() + L"History"; }

bool Config::QHistoryEnabled() const { return history_; }

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
