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

// The toolkit's own parse options (WQCommon::XMLParser), so that a document is seen here exactly
// as the module will see it.
constexpr unsigned int kToolkitParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Holds `bytes` as the file at `path` while it exists. Failing to write it throws
// std::runtime_error, which the readers let escape: a reader must never run on a missing input.
struct InputFile {
  InputFile(fs::path file, const std::string& bytes) : path(std::move(file)) {
    WQPlatformTesting::WriteBytes(path, bytes);
  }
  ~InputFile() {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
  const fs::path path;
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

// The reader `name`, which stores its input as `file` in the repository directory `subdirectory`
// and runs `load` on the file's full path.
Reader FileReader(std::string name, const char* subdirectory, std::string file,
                  std::function<void(const std::wstring& path)> load) {
  return {std::move(name), [=](const std::string& bytes) {
            const InputFile input(RepositoryDirectory(subdirectory) / file, bytes);
            Tolerate([&] { load(WQCommon::WQNarrowToWideStr(input.path.string())); });
          }};
}

// The application keeps its autotune settings inside a top element "AutoTune"; a document without
// it is read from its top element. The document is also printed, as `wqrepos autotune show-xml`
// does, and appended to a builder and printed, as the calibration export does with the XML file
// beside a run: the printed text is where a document too deep costs memory.
void ReadAutotuneXML(const std::wstring& path) {
  Tolerate([&path] {
    WQCommon::XMLParser parser;
    if (!parser.LoadFile(path)) return;
    parser.QXML();
    parser.StartNode(L"AutoTune");
    WQRepos::AutotunePrefs prefs;
    parser >> prefs;
  });
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"TOFLine");
  if (builder.AppendXMLFile(path)) builder.QXML();
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
  // Where a ConfigClient.xml read by the fuzzer may let the module create its directory tree.
  static const WQPlatformTesting::ScratchDirectory confined;
  const InputFile file(fs::path(WQFUZZ_LIBRARY_DIR) / "ConfigClient.xml",
                       ConfineBaseDirectory(bytes, confined.Path() / "WQData"));
  // A Config of its own, so that the module's configuration stays the one Initialize() read.
  Tolerate([] { WQRepos::Config().Refresh(); });
}

std::vector<Reader> AllReaders() {
  // Readers that take any file name store their input as Fuzz.<extension>.
  std::vector<Reader> readers = {
      FileReader("method", "AcqMethod", "Fuzz.kem",
                 [](const std::wstring& path) { WQRepos::LoadFullyQualifiedAcqMethod(path); }),
      FileReader("tune", "Tunes", "Fuzz.ket",
                 [](const std::wstring& path) { WQRepos::LoadFullyQualifiedTune(path); }),
      FileReader("spectrum_eval", "EvalMethod", "Fuzz.sem",
                 [](const std::wstring&) { WQRepos::LoadSpectrumEvalMethod(L"Fuzz"); }),
      FileReader("ic_eval", "EvalMethod", "Fuzz.iem",
                 [](const std::wstring&) { WQRepos::LoadICEvalMethod(L"Fuzz"); }),
  };
  WQRepos::ForEachPreference([&readers](const auto& entry) {
    readers.push_back(FileReader(
        PreferenceReaderName(entry.Name), "Prefs",
        WQCommon::WQWideToNarrowStr(entry.Name) + ".pref",
        [query = entry.Query](const std::wstring&) { (WQRepos::Preferences().*query)(); }));
  });
  readers.insert(readers.end(),
                 {FileReader("ref_cals", "Calibration", "RefCals.cal",
                             [](const std::wstring&) { WQRepos::LoadReferenceCalibrants(); }),
                  FileReader("data_file_name", "Prefs", "DataFileName.pref",
                             [](const std::wstring&) { WQRepos::QDataDirectoryFileNameInfo(); }),
                  FileReader("cal_data", "Data", "Fuzz.dat",
                             [](const std::wstring& path) { WQDataFile::CalDataFile data(path); }),
                  FileReader("system_configuration", "Prefs", "SystemConfiguration.xml",
                             [](const std::wstring&) { WQRepos::LoadSystemConfiguration(); }),
                  FileReader("spectrum_data_info", "Prefs", "SpectrumDataInfo.xml",
                             [](const std::wstring&) { WQRepos::LoadSpectrumDataInfo(); }),
                  FileReader("autotune_xml", "Autotune", "Fuzz.xml", ReadAutotuneXML),
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
  for (const Reader& reader : Readers())
    if (name == reader.name) return reader;
  throw std::invalid_argument("Unknown reader " + name);
}

fs::path RepositoryDirectory(const char* subdirectory) {
  [[maybe_unused]] static const bool initialized = (WQRepos::Initialize(), true);
  const fs::path data = WQCommon::WQWideToNarrowStr(WQRepos::QDataDirectory());
  return data.parent_path() / subdirectory;
}

}  // namespace wqfuzz
