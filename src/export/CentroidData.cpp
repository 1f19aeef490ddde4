#include <WQCommon/Calendar.h>
#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/CentroidExport.h>
#include <WQRepos/Exception.h>
#include <WQRepos/SystemConfiguration.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "export/Checksum.h"
#include "export/TOFLineFile.h"
#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// `time` (seconds since 1970) as an RFC 1123 date in UTC, with the English names of the C locale.
std::wstring Rfc1123Time(std::int64_t time) {
  const WQCommon::UtcTime date = WQCommon::UtcTimeOf(time);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %lld %02u:%02u:%02u GMT", kWeekdays[date.Weekday],
                date.Day, kMonths[date.Month - 1], static_cast<long long>(date.Year), date.Hour,
                date.Minute, date.Second);
  return WQCommon::WQNarrowToWideStr(text);
}

// `path` without the extension of its last part.
std::wstring WithoutExtension(const std::wstring& path) {
  const std::size_t nameStart = path.find_last_of(Separator());
  const std::size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (nameStart != std::wstring::npos && dot < nameStart)) {
    return path;
  }
  return path.substr(0, dot);
}

// The last part of `path` without its extension.
std::wstring BaseName(const std::wstring& path) {
  const std::wstring stem = WithoutExtension(path);
  const std::size_t nameStart = stem.find_last_of(Separator());
  return nameStart == std::wstring::npos ? stem : stem.substr(nameStart + 1);
}

// A standard exception raised while the document was built, carried out of SaveFile so that it
// is told apart from the failures of the save itself.
struct BuildFailure {
  std::string What;
};

bool SaveDocument(const CentroidData& document, const std::wstring& path, std::wstring& errorText,
                  const ExportSettings& settings) {
  const std::wstring cannotWrite = L"Cannot write to file" + path;
  try {
    SaveFile(
        path, WQCommon::WQWideToNarrowStr(cannotWrite),
        [&](std::ostream& out) {
          try {
            WQCommon::XMLBuilder builder;
            document.Serialize(builder, path);
            builder.Write(out);
          } catch (const std::exception& error) {
            throw BuildFailure{error.what()};
          }
        },
        true, std::numeric_limits<std::uint64_t>::max());
  } catch (const BuildFailure& failure) {
    errorText = L"std::exception - " + WQCommon::WQNarrowToWideStr(failure.What);
    return false;
  } catch (const FileError& error) {
    errorText = cannotWrite;
    if (settings.WriteFailed) settings.WriteFailed(error.Detail());
    return false;
  } catch (const std::exception&) {
    errorText = cannotWrite;
    return false;
  }
  return true;
}

}  // namespace

struct CentroidData::CentroidData_Impl {
  const WQDataFile::CalDataFile* File;
  std::wstring Name;
  std::vector<std::shared_ptr<StickFigureData>> Spectra;
};

CentroidData::CentroidData(const WQDataFile::CalDataFile& file)
    : CentroidData(file, BaseName(file.QFileName())) {}

CentroidData::CentroidData(const WQDataFile::CalDataFile& file, std::wstring name)
    : impl_(std::make_shared<CentroidData_Impl>(CentroidData_Impl{&file, std::move(name), {}})) {}

void CentroidData::Add(const WQBL::Spectrum& spectrum) {
  impl_->Spectra.push_back(std::make_shared<StickFigureData>(spectrum, *impl_->File));
}

bool CentroidData::IsTuneUsed(int tuneId) const {
  for (const auto& spectrum : impl_->Spectra) {
    if (spectrum->GetTuneId() == tuneId) return true;
  }
  return false;
}

void CentroidData::Serialize(WQCommon::XMLBuilder& builder, const std::wstring& fileName) const {
  builder.StartNode(L"TOFLine");
  SerializeHeader(builder);
  SerializeTunes(builder);
  SerializeSpectra(builder);
  if (!fileName.empty()) {
    // A run kept as r.xml (mzML) is no companion of its own document.
    const std::wstring companion = CompanionDocumentPath(fileName);
    if (WQCommon::FileExists(companion) &&
        !WQPlatform::SameFile(WQCommon::WQWideToNarrowStr(companion),
                              WQCommon::WQWideToNarrowStr(impl_->File->QFileName()))) {
      builder.AppendXMLFile(companion);
    }
  }
  builder.EndNode();
}

std::wstring CompanionDocumentPath(const std::wstring& fileName) {
  return WithoutExtension(fileName) + L".xml";
}

void CentroidData::SerializeHeader(WQCommon::XMLBuilder& builder) const {
  const WQDataFile::CalDataFile& file = *impl_->File;
  builder.StartNode(L"TOFLineHeader");
  builder.WNode(L"Name", impl_->Name);
  builder.WNode(L"Description", file.QDescription());
  builder.WNode(L"Time", Rfc1123Time(file.QCreateTime()));
  builder.WNode(L"DataType", L"MS");
  builder.WNode(L"MSModel", L"KE 900");
  builder.WNode(L"NumScans", std::to_wstring(file.QNumScanSpectra()));
  builder.WNode(L"InstrumentId", LoadSystemConfiguration().SystemName);
  builder.WNode(L"User", WQCommon::WQGetUserName());
  builder.EndNode();
}

void CentroidData::SerializeTunes(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"Tunes");
  for (const auto& [id, tune] : impl_->File->QMethod().Tunes) {
    if (!IsTuneUsed(static_cast<int>(id))) continue;
    builder.StartNode(L"TuneRef");
    builder.WAttribute(L"Id", std::to_wstring(id));
    tune.Serialize(builder);
    builder.EndNode();
  }
  builder.EndNode();
}

void CentroidData::SerializeSpectra(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"Spectra");
  // Each spectrum's text is made once: the checksum runs over it and the document takes it whole.
  std::uint32_t crc = 0;
  for (const auto& spectrum : impl_->Spectra) {
    std::string text = spectrum->ElementText();
    crc = SpectrumCrc32(crc, text);
    builder.WElementText(std::move(text));
  }
  wchar_t checksum[9];
  std::swprintf(checksum, 9, L"%x", static_cast<unsigned>(crc));
  builder.WAttribute(L"CRC", checksum);
  builder.EndNode();
}

bool WriteTOFLineFile(const WQBL::PLAutoFindPrefs& prefs, std::wstring& errorText,
                      SpectrumProducer produce, WQDataFile::CalDataFile& file,
                      WQBL::ICObj& chromatogram, bool write, int count,
                      const ExportSettings& settings) {
  const std::wstring target =
      settings.Output.empty() ? WithoutExtension(file.QFileName()) + L".tofline" : settings.Output;
  // A data file that already has the document's extension would be replaced by its own export.
  if (write && WQPlatform::SameFile(WQCommon::WQWideToNarrowStr(target),
                                    WQCommon::WQWideToNarrowStr(file.QFileName()))) {
    errorText = L"Cannot write to file" + target + L": it is the data file being exported";
    return false;
  }
  WQBL::Spectrum spectrum;
  CentroidData document(file, settings.Name.empty() ? BaseName(file.QFileName()) : settings.Name);
  for (int index = 0; index < count; ++index) {
    produce(file, index, chromatogram, prefs, spectrum);
    if (write) document.Add(spectrum);
    if (settings.Progress) settings.Progress(index + 1, count);
  }
  if (!write) return true;
  return SaveDocument(document, target, errorText, settings);
}

}  // namespace WQRepos
