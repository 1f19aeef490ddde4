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

// Initialises the module once, on the testing library's built-in data directory.
void InitializeModule() {
  [[maybe_unused]] static const bool initialized = (WQRepos::Initialize(), true);
}

// The reader `name`, which stores its input as `file` and runs `load` on the file's full path.
Reader FileReader(std::string name, std::function<fs::path()> file,
                  std::function<void(const std::wstring& path)> load) {
  return {std::move(name), [=](const std::string& bytes) {
            const InputFile input(file(), bytes);
            Tolerate([&] { load(WQCommon::WQNarrowToWideStr(input.path.string())); });
          }};
}

// An XML document is also printed, as `wqrepos autotune show-xml` does, and appended to a builder
// and printed, as the calibration export does with the XML file beside a run: the printed text is
// where a document too deep costs memory.
void PrintXML(const std::wstring& path) {
  Tolerate([&path] {
    WQCommon::XMLParser parser;
    if (parser.LoadFile(path)) parser.QXML();
  });
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"TOFLine");
  if (builder.AppendXMLFile(path)) builder.QXML();
}

// The reader of a stored kind: the module's read, as the application reads; a kind of named items
// stores its input as the item "Fuzz".
Reader KindReader(const WQRepos::StoredKind& kind) {
  const std::wstring item = kind.File.empty() ? L"Fuzz" : kind.ItemOf(kind.File);
  return FileReader(
      kind.Name,
      [&kind, item] {
        InitializeModule();
        return fs::path(
            WQCommon::WQWideToNarrowStr(WQRepos::QItemPath(kind.Directory, item, kind.Extension)));
      },
      [&kind, item](const std::wstring& path) {
        Tolerate([&] { kind.Read(path, item); });
        if (kind.Extension == L".xml") PrintXML(path);
      });
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
  std::vector<Reader> readers;
  for (const WQRepos::StoredKind& kind : WQRepos::StoredKinds())
    readers.push_back(KindReader(kind));
  // Files that the module reads but does not store: a run beside its calibration, and the
  // configuration.
  readers.push_back(FileReader(
      "cal_data", [] { return RepositoryDirectory("Data") / "Fuzz.dat"; },
      [](const std::wstring& path) { WQDataFile::CalDataFile data(path); }));
  readers.push_back({"config_client", ReadConfigClient});
  return readers;
}

}  // namespace

std::string PreferenceReaderName(const std::wstring& preference) {
  return WQRepos::FindStoredKind(WQRepos::Config::PrefsDir, preference + L".pref")->Name;
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
  InitializeModule();
  const fs::path data = WQCommon::WQWideToNarrowStr(WQRepos::QDataDirectory());
  return data.parent_path() / subdirectory;
}

}  // namespace wqfuzz
