#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQDataFile/DataFile.h>
#include <WQPlatform/Platform.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <ios>
#include <numeric>
#include <optional>
#include <sstream>
#include <tuple>
#include <utility>

#include "FileStream.h"
#include "OpenFormats.h"

namespace WQDataFile {

namespace {

using detail::FileSource;
using detail::FileStream;
using detail::kReadBufferBytes;

constexpr std::uint32_t kFileVersion = 1;
constexpr std::uint32_t kTuneRunVersion = 1;
constexpr std::uint32_t kScanVersion = 1;
constexpr std::uint32_t kCentroidScanVersion = 2;

// The least bytes that a tune run, a scan and one point of a scan take in the file.
constexpr std::size_t kTuneRunBytes = 4 + 4;
constexpr std::size_t kScanBytes = 4 + 4 + 8 + 4 + 4;
constexpr std::size_t kPointBytes = 8 + 8;

std::string Number(std::uint64_t value) { return std::to_string(value); }

// A scan of `path` read again that differs from what it was when the file was opened.
DataFileError ChangedError(std::uint32_t scanNumber, const std::string& path) {
  return DataFileError("Scan " + Number(scanNumber) + " of " + path +
                       " changed after the file was opened.");
}

// An m/z value as a message shows it: enough digits to tell neighbouring points apart.
std::string MZText(double mz) {
  std::ostringstream text;
  text.precision(10);
  text << mz;
  return text.str();
}

bool AllFinite(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(),
                     [](double value) { return std::isfinite(value); });
}

double IntensityTotal(const Scan& scan) {
  return std::accumulate(scan.Intensity.begin(), scan.Intensity.end(), 0.0);
}

// FNV-1a's steps, a value's 64 bits at a time, over every m/z value and intensity. Each step is a
// bijection of the hash so far, so a change of any one value always changes the result.
std::uint64_t ContentHash(const Scan& scan) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const std::vector<double>* values : {&scan.MZ, &scan.Intensity}) {
    for (const double value : *values) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      hash = (hash ^ bits) * 0x100000001b3u;
    }
  }
  return hash;
}

// Why the content of `scan`, which `where` names, breaks the rules of every scan (as many
// intensities as m/z values, finite numbers, m/z values ascending strictly); empty when it keeps
// them.
std::string ContentFault(const Scan& scan, const std::string& where) {
  if (scan.MZ.size() != scan.Intensity.size()) {
    return where + " has " + Number(scan.MZ.size()) + " m/z values but " +
           Number(scan.Intensity.size()) + " intensities.";
  }
  if (!std::isfinite(scan.RetentionTime)) {
    return where + " has a retention time that is not a finite number.";
  }
  // A NaN compares false with everything, so the ascending check below would let it through.
  if (!AllFinite(scan.MZ)) {
    return where + " has an m/z value that is not a finite number.";
  }
  if (!AllFinite(scan.Intensity)) {
    return where + " has an intensity that is not a finite number.";
  }
  const auto unordered =
      std::adjacent_find(scan.MZ.begin(), scan.MZ.end(), std::greater_equal<double>());
  if (unordered != scan.MZ.end()) {
    return where + " has m/z values that do not ascend: " + MZText(unordered[1]) + " follows " +
           MZText(unordered[0]) + ".";
  }
  return "";
}

// Why `scan` may not follow the scan numbered `previous` (none before the first) in the file
// `path` of `tuneRuns` tune runs; empty when it may.
std::string FaultOf(const Scan& scan, std::optional<std::uint32_t> previous, std::size_t tuneRuns,
                    const std::string& path) {
  const std::string where = "Scan " + Number(scan.ScanNumber) + " of " + path;
  if (previous && scan.ScanNumber <= *previous) {
    return where + " does not follow scan " + Number(*previous) + ".";
  }
  if (scan.TuneRunIndex >= tuneRuns) {
    return where + " names tune run " + Number(scan.TuneRunIndex) +
           ", which the file does not have.";
  }
  return ContentFault(scan, where);
}

void WriteTuneRun(WQCommon::BinaryWriter& writer, const TuneRun& run) {
  writer << kTuneRunVersion << run.TuneId;
}

void WriteScan(WQCommon::BinaryWriter& writer, const Scan& scan) {
  writer << (scan.Centroided ? kCentroidScanVersion : kScanVersion) << scan.ScanNumber
         << scan.RetentionTime << scan.TuneRunIndex << static_cast<std::uint32_t>(scan.MZ.size());
  for (double mz : scan.MZ) writer << mz;
  for (double intensity : scan.Intensity) writer << intensity;
}

void ReadVersion(WQCommon::BinaryReader& reader, std::uint32_t expected, const char* record,
                 const std::string& file) {
  std::uint32_t version = 0;
  reader >> version;
  if (version != expected) {
    throw DataFileError("Unknown " + std::string(record) + " version " + Number(version) + " in " +
                        file + ".");
  }
}

TuneRun ReadTuneRun(WQCommon::BinaryReader& reader, const std::string& file) {
  ReadVersion(reader, kTuneRunVersion, "tune run", file);
  TuneRun run;
  reader >> run.TuneId;
  return run;
}

std::vector<double> ReadValues(WQCommon::BinaryReader& reader, std::uint32_t count) {
  std::vector<double> values(count);
  WQCommon::ReadDoubles(reader, values.data(), values.size());
  return values;
}

Scan ReadScan(WQCommon::BinaryReader& reader, const std::string& file) {
  std::uint32_t version = 0;
  reader >> version;
  if (version != kScanVersion && version != kCentroidScanVersion) {
    throw DataFileError("Unknown scan version " + Number(version) + " in " + file + ".");
  }
  Scan scan;
  scan.Centroided = version == kCentroidScanVersion;
  std::uint32_t points = 0;
  reader >> scan.ScanNumber >> scan.RetentionTime >> scan.TuneRunIndex >> points;
  reader.CheckCount(points, kPointBytes);
  scan.MZ = ReadValues(reader, points);
  scan.Intensity = ReadValues(reader, points);
  return scan;
}

}  // namespace

std::string ScanDefinition::Text() const {
  std::string text;
  const auto add = [&text](const std::string& name, const std::string& value) {
    if (value.empty()) return;
    if (!text.empty()) text += "; ";
    text += name + " " + value;
  };
  add("filter", Filter);
  add("configuration", Configuration);
  add("polarity", Polarity);
  if (!WindowLow.empty() || !WindowHigh.empty()) add("window", WindowLow + "-" + WindowHigh);
  return text;
}

bool ScanDefinition::operator==(const ScanDefinition& other) const {
  return std::tie(Filter, Configuration, Polarity, WindowLow, WindowHigh) ==
         std::tie(other.Filter, other.Configuration, other.Polarity, other.WindowLow,
                  other.WindowHigh);
}

DataFile::DataFile(std::wstring fileName, std::wstring description, std::int64_t createTime,
                   WQBL::Method method)
    : fileName_(std::move(fileName)),
      description_(std::move(description)),
      createTime_(createTime),
      method_(std::move(method)) {}

DataFile::DataFile(const std::wstring& fileName) : fileName_(fileName), createTime_(0) {
  const std::string path = NarrowFileName();
  // A run is as long as its acquisition was: no limit of a record file applies, and what is read
  // is bounded by the regular file's own size.
  std::shared_ptr<const WQPlatform::ReadOnlyFile> file = WQPlatform::ReadOnlyFile::Open(path);
  if (!file) {
    throw DataFileError("Cannot open data file " + path + ": " +
                        WQPlatform::UnreadableReason(path).value_or("it cannot be read"));
  }
  std::string head(std::min<std::uint64_t>(file->Size(), detail::kFormatHeadBytes), '\0');
  head.resize(file->ReadAt(0, head.data(), head.size()));
  if (detail::IsOpenFormat(head)) {
    ReadOpenFormat(std::move(file));
    return;
  }
  // The library's own files start with their version word, a small number; anything else is no
  // data file the library knows.
  if (head.size() < 4 || (head[1] == 0 && head[2] == 0 && head[3] == 0)) {
    source_ = std::move(file);
    ReadOwnFormat(path);
    return;
  }
  throw DataFileError(path + " is not a data file of a supported format (the instrument's own, " +
                      "mzML, mzXML or MGF).");
}

// Reads every scan once, to check the whole file and total its intensities, keeping one scan's
// arrays at a time.
void DataFile::ReadOwnFormat(const std::string& path) {
  FileStream stream(FileSource(*source_, 0), kReadBufferBytes);
  WQCommon::BinaryReader reader(stream);
  try {
    ReadVersion(reader, kFileVersion, "data file", path);
    reader >> description_ >> createTime_ >> method_;
    std::uint32_t count = 0;
    reader >> count;
    reader.CheckCount(count, kTuneRunBytes);
    for (std::uint32_t i = 0; i < count; ++i) AddTuneRun(ReadTuneRun(reader, path));
    reader >> count;
    reader.CheckCount(count, kScanBytes);
    for (std::uint32_t i = 0; i < count; ++i) {
      const auto offset = static_cast<std::uint64_t>(std::streamoff(stream.tellg()));
      Scan scan = ReadScan(reader, path);
      CheckScan(scan);
      KeepScan(std::move(scan), offset);
    }
  } catch (const WQCommon::StreamError& error) {
    throw WQCommon::StreamError("Cannot read " + path + ": " + error.what());
  }
}

// Reads every scan once, to check it and total its intensities; afterwards only where it lies in
// the run is kept. A scan's number is known only when all have been read, so the pass keeps the
// scans under their positions; a faulty one is read again afterwards, to be named by its number.
void DataFile::ReadOpenFormat(std::shared_ptr<const WQPlatform::ReadOnlyFile> file) {
  auto run = std::make_shared<detail::OpenRun>(std::move(file));
  description_ = run->Description();
  instrument_ = run->Instrument();
  createTime_ = run->CreateTime().value_or(0);
  AddTuneRun(TuneRun{0});
  std::optional<std::size_t> faulty;
  run->ReadScans([&](std::size_t position, Scan scan) {
    scan.ScanNumber = static_cast<std::uint32_t>(position + 1);
    if (!faulty && !FaultOf(scan).empty()) faulty = position;
    KeepScan(std::move(scan), position);
  });
  for (std::size_t i = 0; i < scans_.size(); ++i) {
    scans_[i].Summary.Header.ScanNumber = run->ScanNumbers()[i];
  }
  openRun_ = std::move(run);
  if (faulty) {
    const std::uint32_t number = scans_[*faulty].Summary.Header.ScanNumber;
    scans_.resize(*faulty);
    CheckScan(openRun_->ReadScan(*faulty));
    throw ChangedError(number, NarrowFileName());
  }
}

std::map<int, std::uint32_t> DataFile::QSpectraPerMSLevel() const {
  std::map<int, std::uint32_t> counts;
  for (const KeptScan& kept : scans_) ++counts[kept.Summary.Header.MSLevel];
  return counts;
}

std::uint32_t DataFile::QNumTuneRuns() const {
  return static_cast<std::uint32_t>(tuneRuns_.size());
}

const TuneRun& DataFile::QTuneRun(std::uint32_t index) const {
  if (index >= tuneRuns_.size()) {
    throw DataFileError("Tune run " + Number(index) + " is not in " + NarrowFileName() + ".");
  }
  return tuneRuns_[index];
}

std::uint32_t DataFile::QNumScanSpectra() const {
  return static_cast<std::uint32_t>(scans_.size());
}

Scan DataFile::QScan(std::uint32_t index) const { return ReadScanAt(Kept(index)); }

const ScanSummary& DataFile::QScanSummary(std::uint32_t index) const { return Kept(index).Summary; }

const DataFile::KeptScan& DataFile::Kept(std::uint32_t index) const {
  if (index >= scans_.size()) {
    throw DataFileError("Scan index " + Number(index) + " is beyond the " + Number(scans_.size()) +
                        " scans of " + NarrowFileName() + ".");
  }
  return scans_[index];
}

Scan DataFile::ReadScanAt(const KeptScan& kept) const {
  Scan scan;
  if (!kept.Offset) {
    scan = kept.Summary.Header;
    scan.MZ = kept.MZ;
    scan.Intensity = kept.Intensity;
    return scan;
  }
  const std::string path = NarrowFileName();
  if (openRun_) {
    scan = openRun_->ReadScan(static_cast<std::size_t>(*kept.Offset));
  } else {
    FileStream stream(FileSource(*source_, *kept.Offset), kReadBufferBytes);
    WQCommon::BinaryReader reader(stream);
    try {
      scan = ReadScan(reader, path);
    } catch (const WQCommon::StreamError& error) {
      throw WQCommon::StreamError("Cannot read " + path + ": " + error.what());
    }
  }
  // The file was checked when it was opened; only a change written into it since can differ. A
  // scan read again keeps the rules of the first read and matches what that read saw.
  const Scan& header = kept.Summary.Header;
  if (std::tie(scan.ScanNumber, scan.RetentionTime, scan.TuneRunIndex, scan.Centroided,
               scan.MSLevel, scan.PrecursorMZ, scan.Charge, scan.Title, scan.Definition) !=
          std::tie(header.ScanNumber, header.RetentionTime, header.TuneRunIndex, header.Centroided,
                   header.MSLevel, header.PrecursorMZ, header.Charge, header.Title,
                   header.Definition) ||
      !ContentFault(scan, path).empty() || ContentHash(scan) != kept.ContentHash) {
    throw ChangedError(header.ScanNumber, path);
  }
  return scan;
}

std::uint32_t DataFile::AddTuneRun(const TuneRun& run) {
  tuneRuns_.push_back(run);
  return static_cast<std::uint32_t>(tuneRuns_.size() - 1);
}

void DataFile::AddScan(Scan scan) {
  CheckScan(scan);
  KeepScan(std::move(scan), std::nullopt);
}

std::string DataFile::FaultOf(const Scan& scan) const {
  std::optional<std::uint32_t> previous;
  if (!scans_.empty()) previous = scans_.back().Summary.Header.ScanNumber;
  return WQDataFile::FaultOf(scan, previous, tuneRuns_.size(), NarrowFileName());
}

void DataFile::CheckScan(const Scan& scan) const {
  const std::string fault = FaultOf(scan);
  if (!fault.empty()) throw DataFileError(fault);
}

void DataFile::KeepScan(Scan scan, std::optional<std::uint64_t> offset) {
  KeptScan kept;
  ScanSummary& summary = kept.Summary;
  summary.Header = scan;
  summary.Header.MZ.clear();
  summary.Header.Intensity.clear();
  summary.Points = scan.MZ.size();
  if (!scan.MZ.empty()) {
    summary.LowMZ = scan.MZ.front();
    summary.HighMZ = scan.MZ.back();
  }
  summary.TotalIntensity = IntensityTotal(scan);
  kept.ContentHash = ContentHash(scan);
  kept.Offset = offset;
  if (!offset) {
    kept.MZ = std::move(scan.MZ);
    kept.Intensity = std::move(scan.Intensity);
  }
  scans_.push_back(std::move(kept));
}

void DataFile::Save() const {
  DataFileWriter writer(fileName_, description_, createTime_, method_, tuneRuns_,
                        static_cast<std::uint32_t>(scans_.size()));
  for (const KeptScan& kept : scans_) writer.AddScan(ReadScanAt(kept));
  writer.Commit();
}

// A fragment spectrum's ions are those of one precursor, not of the sample at that time, so
// they are left out of the chromatogram when the run has survey scans.
WQBL::ICObj DataFile::GenerateTIC() const {
  const bool surveys = std::any_of(scans_.begin(), scans_.end(), [](const KeptScan& kept) {
    return kept.Summary.Header.MSLevel == 1;
  });
  std::vector<double> times;
  std::vector<double> totals;
  std::vector<std::uint32_t> numbers;
  std::vector<std::uint32_t> kinds;
  std::map<std::pair<int, std::string>, std::uint32_t> kindOf;
  for (const KeptScan& kept : scans_) {
    const Scan& header = kept.Summary.Header;
    if (surveys && header.MSLevel != 1) continue;
    times.push_back(header.RetentionTime);
    totals.push_back(kept.Summary.TotalIntensity);
    numbers.push_back(header.ScanNumber);
    const auto kind = kindOf.emplace(std::make_pair(header.MSLevel, header.Definition.Text()),
                                     static_cast<std::uint32_t>(kindOf.size()));
    kinds.push_back(kind.first->second);
  }
  WQBL::ICObj chromatogram;
  chromatogram.AssignXAxis(std::move(times));
  chromatogram.AssignYValues(std::move(totals));
  chromatogram.AssignScanNumbers(std::move(numbers));
  if (kindOf.size() > 1) chromatogram.AssignScanKinds(std::move(kinds));
  return chromatogram;
}

std::uint32_t DataFile::FindScan(std::uint32_t scanNumber) const {
  const auto found = std::lower_bound(scans_.begin(), scans_.end(), scanNumber,
                                      [](const KeptScan& kept, std::uint32_t number) {
                                        return kept.Summary.Header.ScanNumber < number;
                                      });
  if (found == scans_.end() || found->Summary.Header.ScanNumber != scanNumber) {
    throw DataFileError("Scan " + Number(scanNumber) + " is not in " + NarrowFileName() + ".");
  }
  return static_cast<std::uint32_t>(found - scans_.begin());
}

std::string DataFile::NarrowFileName() const { return WQCommon::WQWideToNarrowStr(fileName_); }

// The file being written and the writer on its stream.
struct DataFileWriter::Output {
  explicit Output(const std::string& path) : File(path), Writer(File.Stream()) {}
  WQPlatform::AtomicFile File;
  WQCommon::BinaryWriter Writer;
};

DataFileWriter::DataFileWriter(const std::wstring& fileName, const std::wstring& description,
                               std::int64_t createTime, const WQBL::Method& method,
                               const std::vector<TuneRun>& tuneRuns, std::uint32_t scanCount)
    : path_(WQCommon::WQWideToNarrowStr(fileName)),
      tuneRuns_(tuneRuns.size()),
      scanCount_(scanCount) {
  try {
    output_ = std::make_unique<Output>(path_);
  } catch (const WQPlatform::SaveError& error) {
    throw DataFileError("Cannot write data file " + path_ + ": " + error.what());
  }
  WQCommon::BinaryWriter& writer = output_->Writer;
  writer << kFileVersion << description << createTime << method
         << static_cast<std::uint32_t>(tuneRuns.size());
  for (const TuneRun& run : tuneRuns) WriteTuneRun(writer, run);
  writer << scanCount;
}

DataFileWriter::~DataFileWriter() = default;

void DataFileWriter::AddScan(const Scan& scan) {
  if (written_ == scanCount_) {
    throw DataFileError("Cannot write data file " + path_ + ": it was to hold " +
                        Number(scanCount_) + " scans.");
  }
  const std::string fault = FaultOf(scan, lastNumber_, tuneRuns_, path_);
  if (!fault.empty()) throw DataFileError(fault);
  if (scan.MSLevel != 1) {
    throw DataFileError("Cannot write data file " + path_ + ": scan " + Number(scan.ScanNumber) +
                        " is of MS level " + std::to_string(scan.MSLevel) +
                        ", and the instrument's own format keeps MS1 scans only.");
  }
  WriteScan(output_->Writer, scan);
  lastNumber_ = scan.ScanNumber;
  ++written_;
}

void DataFileWriter::Commit() {
  if (written_ != scanCount_) {
    throw DataFileError("Cannot write data file " + path_ + ": it was to hold " +
                        Number(scanCount_) + " scans, not " + Number(written_) + ".");
  }
  try {
    output_->File.Commit();
  } catch (const WQPlatform::SaveError& error) {
    throw DataFileError("Cannot write data file " + path_ + ": " + error.what());
  }
}

}  // namespace WQDataFile
