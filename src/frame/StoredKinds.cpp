#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>

#include <stdexcept>

#include "frame/Files.h"
#include "frame/Repository.h"
#include "prefs/PreferenceStore.h"

namespace WQRepos {

namespace {

using Reader = StoredKind::Reader;

// A kind whose strict read is its read: one that throws at whatever it cannot read.
StoredKind Throwing(std::string name, Config::DirTypes directory, std::wstring file,
                    std::wstring extension, const Reader& read) {
  return {std::move(name),
          "",
          directory,
          std::move(file),
          std::move(extension),
          WQPlatform::kDocumentSizeLimit,
          read,
          read};
}

StoredKind NamedItems(std::string name, Config::DirTypes directory, std::wstring extension,
                      const Reader& read) {
  return Throwing(std::move(name), directory, L"", std::move(extension), read);
}

// The application takes a document that it cannot parse for a missing one and reads the defaults.
void RequireWellFormed(const std::wstring& path) {
  WQCommon::XMLParser parser;
  if (!LoadXMLDocument(parser, path))
    throw std::runtime_error("not well-formed XML, so the module reads the defaults instead");
}

// A document in the preferences directory, read by `load`, which gives the defaults for a
// document it cannot parse.
StoredKind Document(std::string name, const wchar_t* file, void (*load)()) {
  return {std::move(name),
          "",
          Config::PrefsDir,
          file,
          L".xml",
          WQPlatform::kDocumentSizeLimit,
          [load](const std::wstring&, const std::wstring&) { load(); },
          [load](const std::wstring& path, const std::wstring&) {
            RequireWellFormed(path);
            load();
          }};
}

// The application keeps its autotune settings inside a top element "AutoTune"; a document without
// it is read from its top element.
void ReadAutotuneDocument(const std::wstring& path, bool strictly) {
  WQCommon::XMLParser parser;
  if (!LoadXMLDocument(parser, path)) {
    if (strictly) RequireWellFormed(path);
    return;
  }
  parser.StartNode(std::wstring_view(L"AutoTune"));
  AutotunePrefs prefs;
  parser >> prefs;
}

template <typename Record>
StoredKind Preference(const PreferenceEntry<Record>& entry) {
  return {
      "pref_" + WQCommon::WQWideToNarrowStr(entry.Name),
      "preference",
      Config::PrefsDir,
      std::wstring(entry.Name) + L".pref",
      L".pref",
      WQPlatform::kDocumentSizeLimit,
      [query = entry.Query](const std::wstring&, const std::wstring&) { (Preferences().*query)(); },
      [](const std::wstring& path, const std::wstring&) {
        const bool opened = ReadBinaryFile(
            path, [](WQCommon::BinaryReader& reader) { ReadPreferenceStrictly<Record>(reader); });
        if (!opened) ThrowOpenFailure("Cannot read " + NativePath(path), path);
      }};
}

std::vector<StoredKind> AllKinds() {
  std::vector<StoredKind> kinds = {
      NamedItems(
          "method", Config::AcqMethodDir, L".kem",
          [](const std::wstring& path, const std::wstring&) { LoadFullyQualifiedAcqMethod(path); }),
      NamedItems(
          "tune", Config::TunesDir, L".ket",
          [](const std::wstring& path, const std::wstring&) { LoadFullyQualifiedTune(path); }),
      NamedItems(
          "spectrum_eval", Config::EvalMethodDir, L".sem",
          [](const std::wstring&, const std::wstring& item) { LoadSpectrumEvalMethod(item); }),
      NamedItems("ic_eval", Config::EvalMethodDir, L".iem",
                 [](const std::wstring&, const std::wstring& item) { LoadICEvalMethod(item); }),
  };
  ForEachPreference([&kinds](const auto& entry) { kinds.push_back(Preference(entry)); });
  kinds.push_back(
      Throwing("ref_cals", Config::CalibrationDir, L"RefCals.cal", L".cal",
               [](const std::wstring&, const std::wstring&) { LoadReferenceCalibrants(); }));
  kinds.push_back(
      Throwing("data_file_name", Config::PrefsDir, L"DataFileName.pref", L".pref",
               [](const std::wstring&, const std::wstring&) { QDataDirectoryFileNameInfo(); }));
  kinds.push_back(Document("system_configuration", L"SystemConfiguration.xml",
                           [] { LoadSystemConfiguration(); }));
  kinds.push_back(
      Document("spectrum_data_info", L"SpectrumDataInfo.xml", [] { LoadSpectrumDataInfo(); }));
  kinds.push_back(
      {"autotune_xml", "", Config::AutotuneDir, L"", L".xml", WQPlatform::kDocumentSizeLimit,
       [](const std::wstring& path, const std::wstring&) { ReadAutotuneDocument(path, false); },
       [](const std::wstring& path, const std::wstring&) { ReadAutotuneDocument(path, true); }});
  return kinds;
}

}  // namespace

bool StoredKind::Holds(const std::wstring& name) const {
  if (!File.empty()) return name == File;
  const std::wstring last = name.substr(name.rfind(L'/') + 1);
  if (last.size() <= Extension.size() ||
      last.compare(last.size() - Extension.size(), Extension.size(), Extension) != 0)
    return false;
  const std::wstring stem = last.substr(0, last.size() - Extension.size());
  return stem != L"." && stem != L"..";
}

std::wstring StoredKind::ItemOf(const std::wstring& name) const {
  return name.substr(0, name.size() - Extension.size());
}

const std::vector<StoredKind>& StoredKinds() {
  static const std::vector<StoredKind> kinds = AllKinds();
  return kinds;
}

const StoredKind* FindStoredKind(Config::DirTypes directory, const std::wstring& name) {
  for (const StoredKind& kind : StoredKinds())
    if (kind.Directory == directory && kind.Holds(name)) return &kind;
  return nullptr;
}

const StoredKind& StoredKindNamed(const std::string& name) {
  for (const StoredKind& kind : StoredKinds())
    if (kind.Name == name) return kind;
  throw std::invalid_argument("No stored kind is called " + name);
}

}  // namespace WQRepos
