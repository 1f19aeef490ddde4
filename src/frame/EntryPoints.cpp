#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {
namespace {

constexpr std::uint32_t kDataFileNameInfoVersion = 2;
const wchar_t kDataFileNameInfoFile[] = L"DataFileName.pref";

// The environment variable that sets the age, in seconds, past which Initialize() takes the
// temporary file of a save for abandoned, whoever wrote it.
constexpr char kTemporaryAgeVariable[] = "WQREPOS_TEMPORARY_MAX_AGE";

std::int64_t TemporaryAgeLimit() {
  const std::string text = WQPlatform::EnvironmentVariable(kTemporaryAgeVariable).value_or("");
  if (text.empty()) return WQPlatform::kDefaultTemporaryAgeLimit;
  if (text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw std::runtime_error(std::string(kTemporaryAgeVariable) +
                             " must be a whole number of seconds, not \"" + text + "\"");
  }
  return std::stoll(text);
}

}  // namespace

DataFileNameInfo::DataFileNameInfo() : Time(WQPlatform::CurrentTime()) {}

void Initialize() {
  const std::int64_t ageLimit = TemporaryAgeLimit();
  theConfig.Refresh();
  // Saves cut short leave hidden temporary files: a complete one whose target went missing takes
  // its place, and abandoned ones are removed.
  std::vector<std::string> directories;
  for (int kind = Config::AcqMethodDir; kind <= Config::AutotuneDir; ++kind)
    directories.push_back(NativePath(theConfig.QDirectory(static_cast<Config::DirTypes>(kind))));
  WQPlatform::RecoverInterruptedSaves(directories, ageLimit);
}

void ReadConfiguration() { theConfig.Read(); }

std::wstring QServerInfo(std::uint16_t& port) {
  port = theConfig.QHostPort();
  return theConfig.QHostName();
}

std::wstring QDataDirectory() { return theConfig.QDirectory(Config::DataDir); }

std::wstring QDataDirectoryWorkingFile() { return RepositoryPath(Config::DataDir, L"Acquire.ked"); }

DataFileNameInfo QDataDirectoryFileNameInfo() {
  DataFileNameInfo info;
  // Every version up to the current one is read; version 1 has one more word after the time.
  ReadVersionedFile(RepositoryPath(Config::PrefsDir, kDataFileNameInfoFile),
                    FileVersions{0, kDataFileNameInfoVersion}, "Unknown DataFileNameInfo version.",
                    [&info](WQCommon::BinaryReader& reader, std::uint32_t version) {
                      reader >> info.Time;
                      if (version == 1) {
                        std::uint32_t unused = 0;
                        reader >> unused;
                      }
                    });
  return info;
}

void WDataDirectoryFileNameInfo(const DataFileNameInfo& info) {
  SaveBinaryFile(
      RepositoryPath(Config::PrefsDir, kDataFileNameInfoFile),
      "Unable to create DataFileNameInfo file.",
      [&info](WQCommon::BinaryWriter& writer) { writer << kDataFileNameInfoVersion << info.Time; });
}

std::wstring QDiagnosticXSL(WQCommon::Probes::ProbeTypes probe) {
  const std::wstring name =
      probe == WQCommon::Probes::APCI ? L"DiagnosticAPCI.xsl" : L"Diagnostic.xsl";
  WQCommon::XMLParser parser;
  if (!LoadXMLDocument(parser, LibraryDirectory() + name))
    throw std::runtime_error("Unable to load diagnostic xsl file.");
  return parser.QXML();
}

std::wstring QAutoTuneScriptFileName() {
  return RepositoryPath(Config::AutotuneDir, L"Autotune.xml");
}

std::wstring QItemPath(Config::DirTypes kind, const std::wstring& name,
                       const std::wstring& extension) {
  return ItemPath(kind, name, extension.c_str(),
                  [](const std::wstring& path) { return "Cannot use " + NativePath(path); });
}

void SaveStoredFile(Config::DirTypes kind, const std::wstring& name, const std::wstring& extension,
                    const std::string& bytes, bool replace) {
  const std::wstring path = QItemPath(kind, name, extension);
  SaveFile(
      path, "Cannot save " + NativePath(path), [&bytes](std::ostream& out) { out << bytes; },
      replace);
}

void DeleteStoredFile(Config::DirTypes kind, const std::wstring& name,
                      const std::wstring& extension) {
  DeleteItem(kind, name, extension.c_str(),
             [](const std::wstring& path) { return "Cannot delete " + NativePath(path); });
}

namespace {

// The listed file's name up to its last full stop, as wide text. A full stop is never part of a
// longer UTF-8 sequence, so the narrow name is cut first; a name of ASCII characters only, as
// stored names nearly always are, is widened straight into its one allocation.
std::wstring NameWithoutExtension(std::string_view entry) {
  const std::string_view name = entry.substr(0, std::min(entry.rfind('.'), entry.size()));
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
  return ascii ? std::wstring(name.begin(), name.end())
               : WQCommon::WQNarrowToWideStr(std::string(name));
}

}  // namespace

std::vector<std::wstring> GetFileNames(const std::wstring& pattern) {
  const auto cut = pattern.rfind(Separator());
  const std::wstring directory = cut == std::wstring::npos ? L"." : pattern.substr(0, cut);
  const std::wstring filePattern = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
  std::vector<std::wstring> names;
  WQPlatform::VisitDirectory(
      NativePath(directory), NativePath(filePattern),
      [&names](std::string_view entry) { names.push_back(NameWithoutExtension(entry)); });
  return names;
}

}  // namespace WQRepos
