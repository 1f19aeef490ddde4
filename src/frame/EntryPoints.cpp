#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {
namespace {

constexpr std::uint32_t kDataFileNameInfoVersion = 2;
const wchar_t kDataFileNameInfoFile[] = L"DataFileName.pref";

}  // namespace

DataFileNameInfo::DataFileNameInfo() : Time(WQPlatform::CurrentTime()) {}

void Initialize() {
  theConfig.Refresh();
  // Saves that were killed part-way leave hidden temporary files; clear them.
  for (int kind = Config::AcqMethodDir; kind <= Config::AutotuneDir; ++kind)
    WQPlatform::RemoveStaleTemporaries(
        NativePath(theConfig.QDirectory(static_cast<Config::DirTypes>(kind))));
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
  if (!parser.LoadFile(LibraryDirectory() + name))
    throw std::runtime_error("Unable to load diagnostic xsl file.");
  return parser.QXML();
}

std::wstring QAutoTuneScriptFileName() {
  return RepositoryPath(Config::AutotuneDir, L"Autotune.xml");
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
