#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/EntryPoints.h>

#include <algorithm>
#include <stdexcept>
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

std::vector<std::wstring> GetFileNames(const std::wstring& pattern) {
  const auto cut = pattern.rfind(Separator());
  const std::wstring directory = cut == std::wstring::npos ? L"." : pattern.substr(0, cut);
  const std::wstring filePattern = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
  const std::vector<std::string> entries =
      WQPlatform::ListDirectory(NativePath(directory), NativePath(filePattern));
  std::vector<std::wstring> names;
  names.reserve(entries.size());
  for (const std::string& entry : entries) {
    std::wstring name = WQCommon::WQNarrowToWideStr(entry);
    name.resize(std::min(name.rfind(L'.'), name.size()));
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace WQRepos
