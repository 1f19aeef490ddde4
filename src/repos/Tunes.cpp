#include <WQCommon/Text.h>
#include <WQRepos/Tunes.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kTuneFileVersion = 1;
const wchar_t kTuneExtension[] = L".ket";

std::string CreateFailure(const std::wstring& path) {
  return "Unable to create tune file: " + WQCommon::WQWideToNarrowStr(path);
}

std::string OpenFailure(const std::wstring& path) {
  return "Unable to open tune file: " + WQCommon::WQWideToNarrowStr(path);
}

std::string VersionFailure(const std::wstring& path, std::uint32_t version) {
  return "Invalid tune file version. Tune file: " + WQCommon::WQWideToNarrowStr(path) +
         " version: " + std::to_string(version);
}

}  // namespace

void SaveTune(const std::wstring& name, const WQBL::Tune& tune) {
  SaveFullyQualifiedTune(ItemPath(Config::TunesDir, name, kTuneExtension, CreateFailure), tune);
}

void SaveFullyQualifiedTune(const std::wstring& path, const WQBL::Tune& tune) {
  SaveBinaryFile(path, CreateFailure(path),
                 [&tune](WQCommon::BinaryWriter& writer) { writer << kTuneFileVersion << tune; });
}

WQBL::Tune LoadTune(const std::wstring& name) {
  return LoadFullyQualifiedTune(ItemPath(Config::TunesDir, name, kTuneExtension, OpenFailure));
}

WQBL::Tune LoadFullyQualifiedTune(const std::wstring& path) {
  WQBL::Tune tune;
  const bool opened = ReadVersionedFile(
      path, FileVersions::Only(kTuneFileVersion),
      [&path](std::uint32_t version) { return VersionFailure(path, version); },
      [&tune](WQCommon::BinaryReader& reader, std::uint32_t) { reader >> tune; });
  if (!opened) ThrowOpenFailure(OpenFailure(path), path);
  return tune;
}

std::vector<std::wstring> GetTuneNames() {
  return RepositoryNames(Config::TunesDir, kTuneExtension);
}

bool TuneExists(const std::wstring& name) {
  return ItemExists(Config::TunesDir, name, kTuneExtension);
}

void DeleteTune(const std::wstring& name) {
  DeleteItem(Config::TunesDir, name, kTuneExtension, [](const std::wstring& path) {
    return "Unable to delete tune file: " + WQCommon::WQWideToNarrowStr(path);
  });
}

void RenameTune(const std::wstring& from, const std::wstring& to, bool replace) {
  RenameItem(Config::TunesDir, from, to, kTuneExtension, replace,
             [](const std::wstring& fromPath, const std::wstring& toPath) {
               return "Unable to rename tune file: " + WQCommon::WQWideToNarrowStr(fromPath) +
                      " to " + WQCommon::WQWideToNarrowStr(toPath);
             });
}

}  // namespace WQRepos
