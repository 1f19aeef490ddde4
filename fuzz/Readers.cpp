#include "Readers.h"

#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/DataFile.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <WQRepos/WQRepos.h>

#include <new>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace wqfuzz {

namespace {

namespace fs = std::filesystem;

// The name under which readers that take any file name store their input.
const char kInputName[] = "Fuzz";

// The toolkit's own parse options (WQCommon::XMLParser), so that a document is seen here exactly
// as the module will see it.
constexpr unsigned int kToolkitParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

// Holds `bytes` as the file at `path` while it exists. Failing to write it throws
// std::runtime_error, which the readers let escape: a reader must never run on a missing input.
class InputFile {
 public:
  InputFile(fs::path path, const std::string& bytes) : path_(std::move(path)) {
    WQPlatformTesting::WriteBytes(path_, bytes);
  }
  ~InputFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::wstring WidePath() const { return Wide(path_); }

 private:
  fs::path path_;
};

// Runs `read`, swallowing what a reader may raise for a bad file.
template <typename Read>
void Tolerate(Read read) {
  try {
    read();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
  } catch (const WQCommon::XMLResultException&) {
  }
}

void ReadAcqMethod(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("AcqMethod") / (std::string(kInputName) + ".kem"),
                       bytes);
  Tolerate([&file] { WQRepos::LoadFullyQualifiedAcqMethod(file.WidePath()); });
}

void ReadTune(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Tunes") / (std::string(kInputName) + ".ket"), bytes);
  Tolerate([&file] { WQRepos::LoadFullyQualifiedTune(file.WidePath()); });
}

template <typename Load>
void ReadEvalMethod(const std::string& bytes, const char* extension, Load load) {
  const InputFile file(RepositoryDirectory("EvalMethod") / (kInputName + std::string(extension)),
                       bytes);
  Tolerate([load] { load(WQCommon::WQNarrowToWideStr(kInputName)); });
}

// Stores `bytes` as the file of the preference `entry` and runs its query.
template <typename Entry>
void ReadPreference(const std::string& bytes, const Entry& entry) {
  const InputFile file(
      RepositoryDirectory("Prefs") / (WQCommon::WQWideToNarrowStr(entry.Name) + ".pref"), bytes);
  Tolerate([query = entry.Query] { (WQRepos::Preferences().*query)(); });
}

void ReadReferenceCalibrants(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Calibration") / "RefCals.cal", bytes);
  Tolerate([] { WQRepos::LoadReferenceCalibrants(); });
}

void ReadDataFileName(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Prefs") / "DataFileName.pref", bytes);
  Tolerate([] { WQRepos::QDataDirectoryFileNameInfo(); });
}

void ReadCalibrationData(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Data") / (std::string(kInputName) + ".dat"), bytes);
  Tolerate([&file] { WQDataFile::CalDataFile data(file.WidePath()); });
}

void ReadSystemConfiguration(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Prefs") / "SystemConfiguration.xml", bytes);
  Tolerate([] { WQRepos::LoadSystemConfiguration(); });
}

void ReadSpectrumDataInfo(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Prefs") / "SpectrumDataInfo.xml", bytes);
  Tolerate([] { WQRepos::LoadSpectrumDataInfo(); });
}

// The application keeps its autotune settings inside a top element of its own, "AutoTune"; a
// document without it is read from its top element. The document is also printed, as
// `wqrepos autotune show-xml` does, and appended to a builder and printed, as the calibration
// export does with the XML file beside a run: the printed text is where a document too deep costs
// memory.
void ReadAutotuneXML(const std::string& bytes) {
  const InputFile file(RepositoryDirectory("Autotune") / (std::string(kInputName) + ".xml"), bytes);
  Tolerate([&file] {
    WQCommon::XMLParser parser;
    if (!parser.LoadFile(file.WidePath())) return;
    parser.QXML();
    parser.StartNode(L"AutoTune");
    WQRepos::AutotunePrefs prefs;
    parser >> prefs;
  });
  Tolerate([&file] {
    WQCommon::XMLBuilder builder;
    builder.StartNode(L"TOFLine");
    if (builder.AppendXMLFile(file.WidePath())) builder.QXML();
  });
}

// Where a ConfigClient.xml read by the fuzzer may let the module create its directory tree.
const fs::path& ConfinedBaseDirectory() {
  static const WQPlatformTesting::ScratchDirectory directory;
  static const fs::path base = directory.Path() / "WQData";
  return base;
}

// The document with the text of every AcqClient/BaseDir replaced by `baseDirectory`, so that
// Config::Refresh creates directories only there; the bytes as they are when they hold no such
// element (a document the toolkit cannot parse included).
std::string ConfineBaseDirectory(const std::string& bytes, const fs::path& baseDirectory) {
  pugi::xml_document document;
  if (!document.load_buffer(bytes.data(), bytes.size(), kToolkitParseOptions)) return bytes;
  bool replaced = false;
  for (pugi::xml_node client : document.children("AcqClient")) {
    for (pugi::xml_node directory : client.children("BaseDir")) {
      while (directory.first_child()) directory.remove_child(directory.first_child());
      directory.append_child(pugi::node_pcdata).set_value(baseDirectory.string().c_str());
      replaced = true;
    }
  }
  if (!replaced) return bytes;
  std::ostringstream text;
  document.save(text, "", pugi::format_raw, pugi::encoding_utf8);
  return text.str();
}

void ReadConfigClient(const std::string& bytes) {
  const InputFile file(fs::path(WQFUZZ_LIBRARY_DIR) / "ConfigClient.xml",
                       ConfineBaseDirectory(bytes, ConfinedBaseDirectory()));
  // A Config of its own, so that the module's configuration stays the one Initialize() read.
  Tolerate([] { WQRepos::Config().Refresh(); });
}

std::vector<Reader> AllReaders() {
  std::vector<Reader> readers = {
      {"method", ReadAcqMethod},
      {"tune", ReadTune},
      {"spectrum_eval",
       [](const std::string& bytes) {
         ReadEvalMethod(bytes, ".sem", WQRepos::LoadSpectrumEvalMethod);
       }},
      {"ic_eval",
       [](const std::string& bytes) { ReadEvalMethod(bytes, ".iem", WQRepos::LoadICEvalMethod); }},
  };
  WQRepos::ForEachPreference([&readers](const auto& entry) {
    readers.push_back({PreferenceReaderName(entry.Name),
                       [entry](const std::string& bytes) { ReadPreference(bytes, entry); }});
  });
  readers.insert(readers.end(), {{"ref_cals", ReadReferenceCalibrants},
                                 {"data_file_name", ReadDataFileName},
                                 {"cal_data", ReadCalibrationData},
                                 {"system_configuration", ReadSystemConfiguration},
                                 {"spectrum_data_info", ReadSpectrumDataInfo},
                                 {"autotune_xml", ReadAutotuneXML},
                                 {"config_client", ReadConfigClient}});
  return readers;
}

}  // namespace

std::string PreferenceReaderName(const std::wstring& preference) {
  return "pref_" + WQCommon::WQWideToNarrowStr(preference);
}

const std::vector<Reader>& Readers() {
  static const std::vector<Reader> readers = AllReaders();
  return readers;
}

const Reader& FindReader(const std::string& name) {
  for (const Reader& reader : Readers()) {
    if (name == reader.name) return reader;
  }
  throw std::invalid_argument("Unknown reader " + name);
}

void InitializeOnce() {
  static const bool initialized = [] {
    WQRepos::Initialize();
    return true;
  }();
  static_cast<void>(initialized);
}

fs::path RepositoryDirectory(const char* subdirectory) {
  InitializeOnce();
  const fs::path data = WQCommon::WQWideToNarrowStr(WQRepos::QDataDirectory());
  return data.parent_path() / subdirectory;
}

}  // namespace wqfuzz
