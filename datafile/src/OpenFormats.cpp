// The open-format readers of the data-file library: mzML through its own reader, mzXML and MGF
// through the ProteoWizard library. Its readers' headers are heavy and pull in much of Boost, so
// they are included here and nowhere else.
#include "OpenFormats.h"

#include <WQBL/PeakProcessing.h>
#include <WQPlatform/Platform.h>
#include <zlib.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <pwiz/data/common/cv.hpp>
#include <pwiz/data/msdata/MSData.hpp>
#include <pwiz/data/msdata/Serializer_MGF.hpp>
#include <pwiz/data/msdata/Serializer_mzXML.hpp>
#include <sstream>
#include <string_view>
#include <tuple>
#include <utility>

#include "ContentBounds.h"
#include "FileStream.h"
#include "InstrumentDescription.h"
#include "MzMLReader.h"
#include "XmlDateTime.h"
#include "XmlScanner.h"

namespace WQDataFile::detail {

namespace {

namespace msdata = pwiz::msdata;

// A compressed run may inflate to 2 GiB at most, and, past its first 64 MiB, to at most 256 times
// the compressed bytes read so far: no run comes near that ratio, which refuses a decompression
// bomb long before the bound of its size.
constexpr std::uint64_t kMaxInflatedBytes = std::uint64_t{1} << 31;
constexpr std::uint64_t kMaxInflationRatio = 256;
constexpr std::uint64_t kRatioFreeBytes = std::uint64_t{64} << 20;

bool IsGzip(const std::string& head) {
  return head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0x1f &&
         static_cast<unsigned char>(head[1]) == 0x8b;
}

// Up to `size` bytes of `file` from `offset`.
std::string BytesOf(const WQPlatform::ReadOnlyFile& file, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  bytes.resize(file.ReadAt(offset, bytes.data(), bytes.size()));
  return bytes;
}

std::string Head(const WQPlatform::ReadOnlyFile& file) {
  return BytesOf(file, 0, kFormatHeadBytes);
}

std::string Tail(const WQPlatform::ReadOnlyFile& file) {
  const std::uint64_t start = file.Size() - std::min<std::uint64_t>(file.Size(), kFormatHeadBytes);
  return BytesOf(file, start, kFormatHeadBytes);
}

// The format of uncompressed text, from its first bytes: the root element of an XML format, or
// an MGF spectrum block or parameter line.
Format FormatOf(const std::string& head) {
  if (head.find('\0') != std::string::npos) return Format::None;
  const std::size_t start = head.find_first_not_of(" \t\r\n\xef\xbb\xbf");
  if (start == std::string::npos) return Format::None;
  if (head[start] == '<') {
    if (head.find("<mzML") != std::string::npos || head.find("<indexedmzML") != std::string::npos) {
      return Format::MzML;
    }
    if (head.find("<mzXML") != std::string::npos) return Format::MzXML;
    return Format::None;
  }
  std::istringstream lines(head);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("BEGIN IONS", 0) == 0) return Format::MGF;
  }
  return Format::None;
}

const char* NameOf(Format format) {
  switch (format) {
    case Format::MzML:
      return "mzML";
    case Format::MzXML:
      return "mzXML";
    case Format::MGF:
      return "MGF";
    case Format::None:
      break;
  }
  return "unknown";
}

// The reader stops quietly at the end of what it is given, so a file cut short has to be caught
// by its missing closing tag or block in `text`, the last kFormatHeadBytes of the file.
bool IsComplete(const std::string& text, Format format) {
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return false;
  const std::string tail = text.substr(0, end + 1);
  auto endsWith = [&](const std::string& suffix) {
    return tail.size() >= suffix.size() &&
           tail.compare(tail.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  switch (format) {
    case Format::MzML:
      return endsWith("</mzML>") || endsWith("</indexedmzML>");
    case Format::MzXML:
      return endsWith("</mzXML>");
    case Format::MGF: {
      // The last spectrum's block may be longer than `text`, which then holds no "BEGIN IONS".
      const std::size_t begin = text.rfind("BEGIN IONS");
      const std::size_t end = text.rfind("END IONS");
      return end != std::string::npos && (begin == std::string::npos || end > begin);
    }
    case Format::None:
      break;
  }
  return false;
}

std::string FailureOf(Format format, const std::string& path) {
  return "Cannot read " + std::string(NameOf(format)) + " file " + path;
}

DataFileError NoFormatError(const std::string& path) {
  return DataFileError(path + " holds compressed data of no supported format.");
}

// Inflated text as it is made: its head must be of a supported format, and the rest keeps within
// the bounds of that format, so that a bomb of one endless node or line is refused long before it
// fills the temporary file.
class InflatedText {
 public:
  explicit InflatedText(std::string path) : path_(std::move(path)) {}

  // Throws DataFileError naming the file when the text is of no supported format or passes a
  // bound of its format.
  void Watch(std::string_view bytes) {
    if (!bounds_) {
      head_.append(bytes);
      if (head_.size() < kFormatHeadBytes) return;
      const Format format = FormatOf(head_.substr(0, kFormatHeadBytes));
      if (format == Format::None) throw NoFormatError(path_);
      bounds_ = std::make_unique<ContentBounds>(format, FailureOf(format, path_));
      bytes = head_;
    }
    if (!bounds_->Pass(bytes.data(), bytes.size())) throw DataFileError(bounds_->TakeFailure());
    head_.clear();
  }

 private:
  std::string path_;
  std::string head_;  // the text made before its format was known
  std::unique_ptr<ContentBounds> bounds_;
};

// Throws unless `inflated` bytes made from the first `compressed` bytes of `path` keep within
// the bounds of a compressed run.
void CheckInflated(const std::string& path, std::uint64_t inflated, std::uint64_t compressed) {
  if (inflated > kMaxInflatedBytes) {
    throw DataFileError("Cannot decompress " + path +
                        ": it inflates to more than 2 GiB, the limit for a compressed run.");
  }
  if (inflated > kRatioFreeBytes && inflated > kMaxInflationRatio * compressed) {
    throw DataFileError("Cannot decompress " + path + ": it inflates to more than " +
                        std::to_string(kMaxInflationRatio) +
                        " times its compressed size, the limit for a compressed run.");
  }
}

// The decompressed content of `file`, in a temporary file: the readers need to seek in it, and a
// run may be larger than memory. A gzip file may hold several members, one after the other, and
// nothing else.
std::unique_ptr<WQPlatform::ReadOnlyFile> Inflate(const WQPlatform::ReadOnlyFile& file) {
  const std::string& path = file.Path();
  InflatedText text(path);
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) {
    throw DataFileError("Cannot decompress " + path + ".");
  }
  const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
  return WQPlatform::ReadOnlyFile::Scratch(
      path, [&](const WQPlatform::ReadOnlyFile::Writer& write) {
        std::vector<char> input(kReadBufferBytes);
        std::vector<char> output(kReadBufferBytes);
        std::uint64_t read = 0;
        std::uint64_t inflated = 0;
        // Whether input remains, reading more when none is left.
        const auto more = [&] {
          if (stream.avail_in == 0) {
            const std::size_t got = file.ReadAt(read, input.data(), input.size());
            read += got;
            stream.next_in = reinterpret_cast<Bytef*>(input.data());
            stream.avail_in = static_cast<uInt>(got);
          }
          return stream.avail_in > 0;
        };
        for (;;) {
          more();
          stream.next_out = reinterpret_cast<Bytef*>(output.data());
          stream.avail_out = static_cast<uInt>(output.size());
          const int status = inflate(&stream, Z_NO_FLUSH);
          const std::size_t made = output.size() - stream.avail_out;
          inflated += made;
          CheckInflated(path, inflated, read - stream.avail_in);
          text.Watch(std::string_view(output.data(), made));
          write(std::string_view(output.data(), made));
          if (status == Z_STREAM_END) {
            if (!more()) return;
            if (*stream.next_in != 0x1f) {
              throw DataFileError("Cannot decompress " + path +
                                  ": bytes that are no gzip member follow its compressed data.");
            }
            inflateReset(&stream);
          } else if (status != Z_OK) {
            throw DataFileError("Cannot decompress " + path + ": it is truncated or corrupt.");
          }
        }
      });
}

const std::string& AccessionOf(pwiz::cv::CVID term) { return pwiz::cv::cvTermInfo(term).id; }

std::string UnitOf(const pwiz::data::CVParam& param) {
  return param.units == pwiz::cv::CVID_Unknown ? std::string() : AccessionOf(param.units);
}

// The instrument the run names, else its first.
InstrumentDescription InstrumentOf(const msdata::MSData& data) {
  msdata::InstrumentConfigurationPtr instrument = data.run.defaultInstrumentConfigurationPtr;
  if (!instrument && !data.instrumentConfigurationPtrs.empty()) {
    instrument = data.instrumentConfigurationPtrs.front();
  }
  InstrumentDescription description;
  if (!instrument) return description;
  for (const pwiz::data::CVParam& param : instrument->cvParams) {
    description.AddOwn(AccessionOf(param.cvid), param.value, UnitOf(param));
  }
  for (const msdata::Component& component : instrument->componentList) {
    switch (component.type) {
      case msdata::ComponentType_Source:
        description.AddPart(InstrumentTerms::Part::Source);
        break;
      case msdata::ComponentType_Analyzer:
        description.AddPart(InstrumentTerms::Part::Analyzer);
        break;
      case msdata::ComponentType_Detector:
        description.AddPart(InstrumentTerms::Part::Detector);
        break;
      default:
        continue;
    }
    for (const pwiz::data::CVParam& param : component.cvParams) {
      description.AddComponent(AccessionOf(param.cvid), param.value, UnitOf(param));
    }
  }
  return description;
}

// The scan number in a native id: the value of its "scan=" key, else of its last key; nothing
// when it has no number.
std::optional<std::uint32_t> ScanNumberOf(const std::string& id) {
  std::size_t at = id.find("scan=");
  at = at != std::string::npos ? at + 5 : id.rfind('=');
  if (at == std::string::npos) return std::nullopt;
  if (id[at] == '=') ++at;
  std::size_t end = at;
  std::uint64_t number = 0;
  while (end < id.size() && std::isdigit(static_cast<unsigned char>(id[end])) &&
         number <= 0xffffffffu) {
    number = number * 10 + static_cast<std::uint64_t>(id[end++] - '0');
  }
  if (end == at || number > 0xffffffffu) return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

std::vector<double> Values(const msdata::BinaryDataArrayPtr& array) {
  if (!array) return {};
  return std::vector<double>(array->data.begin(), array->data.end());
}

// Leaves out the points of zero intensity whose m/z does not exceed the point's before them, or
// the point's after them does not exceed theirs: instruments that acquire a spectrum in m/z
// windows write such points where the windows meet (a Q Exactive repeats the m/z of the last
// point of a window with intensity 0). A zero carries no signal, so leaving it out loses none,
// and what remains out of order holds signal, which the scan's check refuses. Gives how many.
std::uint32_t DropSeamZeros(std::vector<double>& mz, std::vector<double>& intensity) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < mz.size(); ++i) {
    while (kept > 0 && !(mz[i] > mz[kept - 1]) && intensity[kept - 1] == 0.0 &&
           intensity[i] != 0.0) {
      --kept;
    }
    if (kept > 0 && !(mz[i] > mz[kept - 1]) && intensity[i] == 0.0) continue;
    mz[kept] = mz[i];
    intensity[kept] = intensity[i];
    ++kept;
  }
  const auto dropped = static_cast<std::uint32_t>(mz.size() - kept);
  mz.resize(kept);
  intensity.resize(kept);
  return dropped;
}

// One spectrum as a scan, its mode as it calls itself, else as its data look. The points of
// a centroid list are put in ascending m/z order (a peak list may come in any); those of a
// profile keep theirs but for the zeros at window seams (DropSeamZeros).
Scan ScanOf(double retentionTime, std::vector<double> mz, std::vector<double> intensity,
            bool centroid, bool profile) {
  Scan scan;
  scan.RetentionTime = retentionTime;
  if (mz.size() == intensity.size() && !centroid) {
    scan.SeamZerosDropped = DropSeamZeros(mz, intensity);
  } else if (mz.size() == intensity.size() && !std::is_sorted(mz.begin(), mz.end())) {
    std::vector<std::pair<double, double>> points;
    for (std::size_t i = 0; i < mz.size(); ++i) points.emplace_back(mz[i], intensity[i]);
    std::sort(points.begin(), points.end());
    for (std::size_t i = 0; i < points.size(); ++i) std::tie(mz[i], intensity[i]) = points[i];
  }
  scan.MZ = std::move(mz);
  scan.Intensity = std::move(intensity);
  scan.ModeFromData = !centroid && !profile;
  scan.Centroided = scan.ModeFromData ? WQBL::LooksCentroided(scan.MZ, scan.Intensity) : centroid;
  return scan;
}

Scan ScanOf(MzMLSpectrum&& spectrum) {
  Scan scan = ScanOf(spectrum.RetentionTime, std::move(spectrum.MZ), std::move(spectrum.Intensity),
                     spectrum.Centroid, spectrum.Profile);
  scan.MSLevel = spectrum.MSLevel;
  scan.PrecursorMZ = spectrum.PrecursorMZ;
  scan.Charge = spectrum.Charge;
  scan.Title = std::move(spectrum.Title);
  scan.Definition = std::move(spectrum.Definition);
  return scan;
}

// The MS level a spectrum names, 1 when it names none.
int MSLevelOf(const msdata::Spectrum& spectrum) {
  const pwiz::data::CVParam level = spectrum.cvParam(pwiz::cv::MS_ms_level);
  return level.empty() ? 1 : level.valueAs<int>();
}

// The precursor m/z and charge of the first ion selected for the spectrum, and its title.
void AddFragmentFacts(const msdata::Spectrum& spectrum, Scan& scan) {
  scan.MSLevel = MSLevelOf(spectrum);
  scan.Title = spectrum.cvParam(pwiz::cv::MS_spectrum_title).value;
  if (spectrum.precursors.empty() || spectrum.precursors.front().selectedIons.empty()) return;
  const msdata::SelectedIon& ion = spectrum.precursors.front().selectedIons.front();
  const pwiz::data::CVParam mz = ion.cvParam(pwiz::cv::MS_selected_ion_m_z);
  if (!mz.empty()) scan.PrecursorMZ = mz.valueAs<double>();
  const pwiz::data::CVParam charge = ion.cvParam(pwiz::cv::MS_charge_state);
  if (!charge.empty()) scan.Charge = charge.valueAs<int>();
}

// The definition of the spectrum's scan from the terms of its first scan and scan window, and
// the filter line that an mzXML scan gives (`filter`), which ProteoWizard's reader does not keep.
ScanDefinition DefinitionOf(const msdata::Spectrum& spectrum, const std::string& filter) {
  ScanDefinition terms;
  terms.Filter = filter;
  const pwiz::cv::CVID polarity = spectrum.cvParamChild(pwiz::cv::MS_scan_polarity).cvid;
  terms.Polarity =
      PolarityName(polarity == pwiz::cv::MS_negative_scan, polarity == pwiz::cv::MS_positive_scan);
  if (spectrum.scanList.scans.empty()) return terms;
  const msdata::Scan& scan = spectrum.scanList.scans.front();
  if (terms.Filter.empty()) terms.Filter = scan.cvParam(pwiz::cv::MS_filter_string).value;
  terms.Configuration = scan.cvParam(pwiz::cv::MS_preset_scan_configuration).value;
  if (!scan.scanWindows.empty()) {
    terms.WindowLow = scan.scanWindows.front().cvParam(pwiz::cv::MS_scan_window_lower_limit).value;
    terms.WindowHigh = scan.scanWindows.front().cvParam(pwiz::cv::MS_scan_window_upper_limit).value;
  }
  return terms;
}

Scan ScanOf(const msdata::Spectrum& spectrum, const std::string& filter) {
  double retentionTime = 0.0;
  if (!spectrum.scanList.scans.empty()) {
    const pwiz::data::CVParam start =
        spectrum.scanList.scans.front().cvParam(pwiz::cv::MS_scan_start_time);
    if (!start.empty()) retentionTime = start.timeInSeconds();
  }
  Scan scan =
      ScanOf(retentionTime, Values(spectrum.getMZArray()), Values(spectrum.getIntensityArray()),
             spectrum.hasCVParam(pwiz::cv::MS_centroid_spectrum),
             spectrum.hasCVParam(pwiz::cv::MS_profile_spectrum));
  AddFragmentFacts(spectrum, scan);
  scan.Definition = DefinitionOf(spectrum, filter);
  return scan;
}

// The scan number of a spectrum read by ProteoWizard: an MGF block's SCANS (the first number of a
// range or list), else that of its native id, which for MGF is only its position from 0.
std::optional<std::uint32_t> ScanNumberOf(const msdata::Spectrum& spectrum, Format format) {
  if (format != Format::MGF) return ScanNumberOf(spectrum.id);
  const std::string scans = spectrum.cvParam(pwiz::cv::MS_peak_list_scans).value;
  if (scans.empty() || !std::isdigit(static_cast<unsigned char>(scans[0]))) return std::nullopt;
  return ScanNumberOf("scan=" + scans);
}

// What ProteoWizard's reader does not keep of an mzXML scan: its num (that reader names a scan by
// its place alone; nothing when the num is no number) and its filter line.
struct MzXMLScan {
  std::optional<std::uint32_t> Number;
  std::string Filter;
};

// The scan elements of an mzXML file, in document order, as ProteoWizard's reader lists them.
std::vector<MzXMLScan> MzXMLScans(const WQPlatform::ReadOnlyFile& file,
                                  const std::string& failure) {
  XmlScanner xml(file, 0, file.Size(), failure);
  std::vector<MzXMLScan> scans;
  XmlScanner::Tag tag;
  while (xml.NextTag(tag)) {
    if (!tag.End && tag.Name == "scan") {
      scans.push_back({ScanNumberOf("scan=" + TagAttributeText(tag.Text, "num")),
                       TagAttributeText(tag.Text, "filterLine")});
    }
  }
  return scans;
}

// Reads the run's metadata of an mzXML or MGF file from `stream`; the spectra stay in the file.
// The mzXML reader uses a file's index when it has one and scans the file otherwise; told to expect
// an index, it refuses a file without one.
void ReadRun(Format format, const boost::shared_ptr<std::istream>& stream, const std::string& tail,
             msdata::MSData& data) {
  switch (format) {
    case Format::MzXML: {
      msdata::Serializer_mzXML::Config config;
      config.indexed = tail.find("<indexOffset") != std::string::npos;
      msdata::Serializer_mzXML(config).read(stream, data);
      break;
    }
    default:
      msdata::Serializer_MGF().read(stream, data);
      break;
  }
}

}  // namespace

bool IsOpenFormat(const std::string& head) {
  return IsGzip(head) || FormatOf(head) != Format::None;
}

// The stream a run is read from, with the file under it and the bounds its bytes pass. pwiz's
// spectrum lists are not safe to use from several threads at once, hence the lock.
struct OpenRun::Reader {
  std::shared_ptr<const WQPlatform::ReadOnlyFile> file;
  std::shared_ptr<ContentBounds> bounds;
  msdata::MSData data;
  std::string failure;  // the start of an error about the file: "Cannot read <format> file <path>"
  Format format = Format::None;
  std::vector<MzXMLScan> mzXMLScans;  // MzXMLScans of an mzXML file
  std::mutex lock;

  // The mzXML scan at `index` of the list, when the file's scans are those of the list.
  const MzXMLScan* MzXMLScanAt(std::size_t index) const {
    if (format != Format::MzXML || mzXMLScans.size() != data.run.spectrumListPtr->size()) {
      return nullptr;
    }
    return &mzXMLScans[index];
  }

  // The run's own number of `spectrum`, the one at `index` of the list.
  std::optional<std::uint32_t> NumberOf(const msdata::Spectrum& spectrum, std::size_t index) const {
    if (const MzXMLScan* scan = MzXMLScanAt(index)) return scan->Number;
    return ScanNumberOf(spectrum, format);
  }

  // The spectrum at `index` of the list as a scan.
  Scan ScanAt(const msdata::Spectrum& spectrum, std::size_t index) const {
    const MzXMLScan* scan = MzXMLScanAt(index);
    return ScanOf(spectrum, scan ? scan->Filter : std::string());
  }

  // Runs `read`, which reads from the file: bytes that the bounds refused, else what it threw,
  // become a DataFileError naming the file.
  void Guarded(const std::function<void()>& read) {
    try {
      read();
    } catch (const std::exception& error) {
      const std::string refused = bounds->TakeFailure();
      throw DataFileError(refused.empty() ? failure + ": " + error.what() : refused);
    }
    const std::string refused = bounds->TakeFailure();
    if (!refused.empty()) throw DataFileError(refused);
  }
};

OpenRun::OpenRun(std::shared_ptr<const WQPlatform::ReadOnlyFile> file) {
  const std::string path = file->Path();
  if (IsGzip(Head(*file))) file = Inflate(*file);
  const std::string head = Head(*file);
  const std::string tail = Tail(*file);
  const Format format = FormatOf(head);
  if (format == Format::None) throw NoFormatError(path);
  const std::string failure = FailureOf(format, path);
  if (!IsComplete(tail, format)) throw DataFileError(failure + ": it is truncated.");
  if (format == Format::MzML) {
    mzML_ = std::make_unique<MzMLReader>(std::move(file), failure);
    instrument_ = mzML_->Instrument();
    createTime_ = ParseXmlDateTime(mzML_->StartTimeStamp());
    return;
  }
  reader_ = std::make_unique<Reader>();
  reader_->failure = failure;
  reader_->file = std::move(file);
  reader_->bounds = std::make_shared<ContentBounds>(format, reader_->failure);
  reader_->format = format;
  const auto stream = boost::make_shared<boost::iostreams::stream<BoundedSource>>(
      BoundedSource(FileSource(*reader_->file, 0), reader_->bounds), kReadBufferBytes);
  reader_->Guarded([&] { ReadRun(format, stream, tail, reader_->data); });
  if (format == Format::MzXML) reader_->mzXMLScans = MzXMLScans(*reader_->file, failure);
  instrument_ = InstrumentOf(reader_->data);
  createTime_ = ParseXmlDateTime(reader_->data.run.startTimeStamp);
}

OpenRun::~OpenRun() = default;

// Every spectrum of the run is a scan, of whatever MS level.
void OpenRun::ReadScans(const std::function<void(std::size_t, Scan)>& visit) {
  std::vector<std::optional<std::uint32_t>> numbers;
  const auto keep = [&](Place place, std::optional<std::uint32_t> number, Scan scan) {
    places_.push_back(place);
    numbers.push_back(number);
    visit(places_.size() - 1, std::move(scan));
  };
  if (mzML_) {
    MzMLSpectrum spectrum;
    while (mzML_->Next(spectrum)) {
      const Place place{spectrum.Offset, spectrum.Length};
      const std::optional<std::uint32_t> number = ScanNumberOf(spectrum.Id);
      keep(place, number, ScanOf(std::move(spectrum)));
    }
  } else if (reader_->data.run.spectrumListPtr) {
    const msdata::SpectrumList& spectra = *reader_->data.run.spectrumListPtr;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
      Scan scan;
      std::optional<std::uint32_t> number;
      reader_->Guarded([&] {
        const msdata::SpectrumPtr spectrum = spectra.spectrum(i, true);
        scan = reader_->ScanAt(*spectrum, i);
        number = reader_->NumberOf(*spectrum, i);
      });
      keep(Place{i, 0}, number, std::move(scan));
    }
  }
  // Scan numbers from the native ids when every scan has one and they ascend, else by position.
  bool usable = true;
  for (std::size_t i = 0; i < numbers.size() && usable; ++i) {
    usable = numbers[i] && (i == 0 || *numbers[i] > *numbers[i - 1]);
  }
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    scanNumbers_.push_back(usable ? *numbers[i] : static_cast<std::uint32_t>(i + 1));
  }
}

Scan OpenRun::ReadScan(std::size_t position) const {
  const Place& place = places_[position];
  Scan scan;
  if (mzML_) {
    scan = ScanOf(mzML_->ReadAt(place.At, place.Length));
  } else {
    msdata::SpectrumPtr spectrum;
    {
      const std::lock_guard<std::mutex> hold(reader_->lock);
      reader_->Guarded(
          [&] { spectrum = reader_->data.run.spectrumListPtr->spectrum(place.At, true); });
    }
    try {
      scan = reader_->ScanAt(*spectrum, place.At);
    } catch (const std::exception& error) {
      throw DataFileError(reader_->failure + ": " + error.what());
    }
  }
  scan.ScanNumber = scanNumbers_[position];
  return scan;
}

}  // namespace WQDataFile::detail
