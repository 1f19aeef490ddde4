// The records kept one to a file outside the preference catalogue: the data-file naming record,
// the spectrum data info and the autotune documents, shown and imported as JSON; and the writing
// of XML documents that keeps what the tool does not replace.
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>

#include <iostream>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

#include "Commands.h"
#include "RecordJson.h"
#include "XmlSplice.h"

namespace wqtool {
namespace {

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

// Shows a record's JSON, or its fields a line each: "name: value", nested records indented.
void PrintRecord(const Json& json, bool asJson, const std::string& indent = "") {
  if (asJson) {
    PrintJson(json);
    return;
  }
  for (const auto& [name, value] : json.items()) {
    if (value.is_object()) {
      std::cout << indent << name << ":\n";
      PrintRecord(value, false, indent + "  ");
    } else if (value.is_array()) {
      std::cout << indent << name << ": " << value.size() << '\n';
      for (std::size_t i = 0; i < value.size(); ++i) {
        std::cout << indent << "  " << i + 1 << ".\n";
        PrintRecord(value[i], false, indent + "    ");
      }
    } else {
      std::cout << indent << name << ": "
                << Shown(value.is_string() ? value.get<std::string>() : value.dump()) << '\n';
    }
  }
}

// The top element of the XML document at `path`; empty when there is none that can be read.
pugi::xml_node TopElement(pugi::xml_document& document, const std::string& path) {
  const std::optional<std::string> text = WQPlatform::ReadFile(path);
  if (!text || !document.load_buffer(text->data(), text->size())) return {};
  return document.document_element();
}

// The text of the element that `write` writes.
std::string ElementText(const std::function<void(WQCommon::XMLBuilder&)>& write) {
  WQCommon::XMLBuilder builder;
  write(builder);
  return builder.TopElementText();
}

}  // namespace

AutotuneDocument ReadAutotuneDocument(const std::string& path) {
  AutotuneDocument document{ReadAutotuneSettings(path)};
  pugi::xml_document xml;
  pugi::xml_node top = TopElement(xml, path);
  const pugi::xml_node settings =
      std::string(top.name()) == "AutoTunePrefs" ? top : top.child("AutoTunePrefs");
  const int probe = WQCommon::Probes::GetId(Wide(settings.child_value("SourceType")));
  if (probe >= 0) document.Prefs.SourceType = static_cast<WQCommon::Probes::ProbeTypes>(probe);
  return document;
}

namespace {

// Stores `text`, an XML document, as the item `name` + ".xml" of `kind`, recorded in the history.
void StoreDocument(WQRepos::Config::DirTypes kind, const std::string& name,
                   const std::string& text) {
  WQRepos::SaveStoredFile(kind, Wide(name), L".xml", text);
}

// Stores the settings in the autotune document `name` at `path`: in place of its AutoTunePrefs
// element, the top element or a child of it, every other byte of the document kept; as a new
// document when there is none.
void WriteAutotuneDocument(const std::string& name, const std::string& path,
                           const WQRepos::AutotunePrefs& prefs) {
  const std::string element = ElementText([&prefs](WQCommon::XMLBuilder& into) { into << prefs; });
  const std::optional<std::string> existing = ExistingDocument(path);
  if (!existing) {
    StoreDocument(WQRepos::Config::AutotuneDir, name, "<?xml version=\"1.0\"?>\n" + element);
    return;
  }
  const std::string top = TopElementName(*existing, path);
  StoreDocument(WQRepos::Config::AutotuneDir, name,
                top != "AutoTunePrefs"
                    ? WithChildren(*existing, path, top, {{"AutoTunePrefs", element}})
                    : WithTopElement(*existing, path, element));
}

std::string SpectrumDataInfoFile() {
  return Narrow(InitializedConfig().QDirectory(WQRepos::Config::PrefsDir)) +
         "/SpectrumDataInfo.xml";
}

// Stores the two texts in the spectrum data info document, every other byte of it kept.
void WriteSpectrumDataInfo(const WQRepos::SpectrumDataInfo& info) {
  const std::string path = SpectrumDataInfoFile();
  const auto text = [](const wchar_t* name, const std::wstring& value) {
    return ElementText([&](WQCommon::XMLBuilder& into) {
      into.StartNode(name);
      into.WText(value);
      into.EndNode();
    });
  };
  const std::vector<StoredElement> elements = {
      {"Instrument", text(L"Instrument", info.Instrument)},
      {"Sample_Inlet", text(L"Sample_Inlet", info.Sample_Inlet)}};
  const std::optional<std::string> existing = ExistingDocument(path);
  StoreDocument(WQRepos::Config::PrefsDir, "SpectrumDataInfo",
                WithChildren(existing.value_or("<?xml version=\"1.0\"?>\n<SpectrumDataInfo/>\n"),
                             path, "SpectrumDataInfo", elements));
}

// Adds `show [--json]` to `family`, showing what `read` gives.
void AddShowCommand(CLI::App& family, const std::string& help, const std::function<Json()>& read) {
  auto* show = family.add_subcommand("show", help);
  show->callback([read, json = AddJsonFlag(*show)] { PrintRecord(read(), *json); });
}

// The document NAME.xml in the autotune directory, refused as the module refuses the names of
// the records it stores by name.
std::string AutotuneFile(const std::string& name) {
  return ItemFile(WQRepos::StoredKindNamed("autotune_xml"), Wide(name));
}

// The names of the documents NAME.xml in the autotune directory.
void ListAutotuneDocuments(bool json) {
  const std::wstring directory =
      ListableDirectory(WQRepos::Config::AutotuneDir, "autotune documents");
  PrintNames(WQRepos::GetFileNames(directory + L"/*.xml"), "No autotune documents are stored.",
             json);
}

void DeleteAutotuneDocument(const std::string& name) {
  AutotuneFile(name);  // configures the module and refuses a name as every autotune command does
  try {
    WQRepos::DeleteStoredFile(WQRepos::Config::AutotuneDir, Wide(name), L".xml");
  } catch (const WQRepos::FileError& error) {
    throw std::runtime_error("cannot delete the autotune document: " + error.Detail());
  }
  Say("Deleted the autotune document " + Shown(name));
}

}  // namespace

void AddDocumentCommands(CLI::App& app) {
  auto* naming = app.add_subcommand(
      "data-file-name",
      "The data-file naming record (DataFileName.pref in the preferences directory): the time, in "
      "seconds since 1970 UTC, from which the application numbers its data files.");
  naming->require_subcommand(1);
  AddShowCommand(*naming, "Show the stored record, or the present time when none is stored.", [] {
    InitializedConfig();
    return ToJson(WQRepos::QDataDirectoryFileNameInfo());
  });
  AddImportCommand(*naming, "the data-file naming record", [](const JsonInput& input) {
    InitializedConfig();
    WQRepos::WDataDirectoryFileNameInfo(
        ReadRecord<WQRepos::DataFileNameInfo>(input.json, input.source));
  });

  auto* info = app.add_subcommand(
      "spectrum-data-info",
      "The descriptive texts of spectrum data (SpectrumDataInfo.xml in the preferences "
      "directory), which the installation supplies and the application only reads.");
  info->require_subcommand(1);
  AddShowCommand(*info, "Show the instrument and sample inlet texts; empty where not given.", [] {
    InitializedConfig();
    return ToJson(WQRepos::LoadSpectrumDataInfo());
  });
  AddImportCommand(*info, "the spectrum data info (the document's other elements are kept)",
                   [](const JsonInput& input) {
                     WriteSpectrumDataInfo(
                         ReadRecord<WQRepos::SpectrumDataInfo>(input.json, input.source, true));
                   });
}

void AddAutotuneDocumentCommands(CLI::App& autotune) {
  auto name = std::make_shared<std::string>();
  auto* show = autotune.add_subcommand(
      "show",
      "Show the autotune settings of the document NAME.xml in the autotune directory (Autotune "
      "for the autotune script): its AutoTunePrefs element, the top element or a child of it.");
  show->add_option("name", *name, "Document name, without .xml")->required();
  // The text is show-xml's, so that one document reads the same by name and by path.
  show->callback([name, json = AddJsonFlag(*show)] {
    const std::string path = AutotuneFile(*name);
    if (*json)
      PrintJson(ToJson(ReadAutotuneDocument(path)));
    else
      std::cout << Describe(ReadAutotuneSettings(path));
  });

  auto* list = autotune.add_subcommand(
      "list", "List the names of the documents NAME.xml in the autotune directory, sorted.");
  list->callback([json = AddJsonFlag(*list)] { ListAutotuneDocuments(*json); });

  auto deleted = std::make_shared<std::string>();
  auto* remove =
      autotune.add_subcommand("delete", "Delete the document NAME.xml of the autotune directory.");
  remove->add_option("name", *deleted, "Document name, without .xml")->required();
  remove->callback([deleted] { DeleteAutotuneDocument(*deleted); });

  auto imported = std::make_shared<std::pair<std::string, std::string>>();
  auto* importCommand = autotune.add_subcommand(
      "import",
      "Store autotune settings from the JSON that autotune show --json prints (FILE, or - for "
      "standard input) in the document NAME.xml of the autotune directory: in place of its "
      "AutoTunePrefs element, the document's other elements kept, or as a new document. Numbers "
      "are written to six significant digits, as the application writes them.");
  importCommand->add_option("name", imported->first, "Document name, without .xml")->required();
  importCommand->add_option("file", imported->second, "JSON file, or - for standard input")
      ->required();
  importCommand->callback([imported] {
    const std::string path = AutotuneFile(imported->first);
    const JsonInput input = ReadJsonInput(imported->second);
    const WQRepos::ScopedHistoryOperation import("import");
    WriteAutotuneDocument(imported->first, path,
                          ReadRecord<AutotuneDocument>(input.json, input.source, true).Prefs);
    Say("Stored the autotune settings in " + Shown(path));
  });
}

}  // namespace wqtool
