// Data files acquired by the instrument: the method a run was acquired with, its tune runs and
// its scans, kept on disk in the data-file library's own binary format.
//
// File layout (little-endian, through the toolkit's binary writer): the file version (1), the
// description, the creation time (signed 64-bit, seconds since 1970), the method, the number of
// tune runs and each tune run, the number of scans and each scan. A tune run is its record version
// (1) and its tune id; a scan is its record version (1 for a profile scan, 2 for a centroid scan),
// scan number, retention time, tune run index, number of points, then every m/z value and every
// intensity.
//
// A file of the library's own format is read scan by scan: opening it checks the whole file and
// keeps what each scan is (its number, retention time, tune run, kind and intensity total) and
// where it lies, and the file stays open; a scan's m/z values and intensities are read again from
// the file whenever they are asked for. Memory therefore does not grow with the length of the run.
// A scan read again must keep the rules of AddScan and have the number of points and the intensity
// total it had when the file was opened, or it is refused as changed since.
//
// A file can also be read from the open formats of the field: mzML (plain or gzip-compressed),
// mzXML and MGF, told apart from the library's own format by their content. These too are read a
// scan at a time (a compressed file, of one gzip member or several, through a decompressed copy in
// the temporary directory, gone with the object). What one spectrum may cost is bounded whatever
// the file holds: its arrays may declare 4,194,304 values together (2,097,152 points of m/z and
// intensity), and none may decode or inflate to more than its declared length allows; an XML node
// may be 32 MiB long, an MGF line 1 MiB. A compressed file may inflate to 2 GiB and, past its first
// 64 MiB, to 256 times the compressed bytes read; its text keeps the same bounds while it inflates.
// A file past a bound is refused naming it and the bound. Such a file becomes a run of all its
// spectra, of every MS level, in file order: each keeps its MS level, the precursor m/z, charge
// and title it gives, the run's own scan number (of its native id, the "scan=" of mzML or the
// num of mzXML, or, in MGF, of its SCANS; its position from 1 when these give no ascending
// numbers for every spectrum), its retention time in seconds, whether it is profile or centroid
// data (as the file says, or when it says neither, as the widths of its peaks against the spacing
// of its points show), and its m/z and intensity arrays, sorted by m/z. Its description names the
// run's instrument (model, source, analyser, detector), its creation time is the run's start time
// (0 when the file has none). These formats know nothing of the instrument's tunes and methods, so
// the run gets one tune run with tune id 0, used by every scan, and an empty method (no time
// periods, no tunes). Saving such a file writes it in the library's own format, which keeps MS1
// scans only: a scan of another MS level is refused there.
#pragma once

#include <WQBL/ICObj.h>
#include <WQBL/Method.h>
#include <WQBL/Ranges.h>
#include <WQBL/Spectrum.h>
#include <WQDataFile/Export.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace WQPlatform {
class ReadOnlyFile;
}

namespace WQDataFile::detail {
class OpenRun;
}

namespace WQDataFile {

// Raised for a data file that cannot be read or written, or for a request the file cannot answer.
// The message names the file.
class WQDATAFILE_EXPORT DataFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An instrument configuration as an open format describes it, by the accessions of the mzML
// vocabulary and their values as the file writes them: the configuration's own terms, then each
// source, analyser and detector in file order with its terms.
struct InstrumentTerms {
  struct Term {
    std::string Accession;  // "MS:1000031"
    std::string Value;      // empty when the term has none
    std::string Unit;       // the accession of its unit ("UO:0000008"); empty when it has none
  };
  enum class Part { Source, Analyzer, Detector };
  struct Component {
    Part Kind = Part::Source;
    std::vector<Term> Terms;
  };
  std::vector<Term> Own;
  std::vector<Component> Components;

  bool Empty() const { return Own.empty() && Components.empty(); }
};

// A stretch of the run acquired with one tune of the method's tune table.
struct TuneRun {
  std::int32_t TuneId = 0;
};

// How the instrument defined a scan, as far as an open format says: each term as the file writes
// it, empty when the file gives none. The library's own format keeps none.
struct WQDATAFILE_EXPORT ScanDefinition {
  std::string Filter;         // the instrument's filter string
  std::string Configuration;  // the preset scan configuration
  std::string Polarity;       // "positive" or "negative"
  std::string WindowLow;      // the bounds of the first scan window, in m/z
  std::string WindowHigh;

  // The terms given, named, in one text ("configuration 2; polarity negative; window 50-850");
  // empty when there are none.
  std::string Text() const;
  bool operator==(const ScanDefinition& other) const;
};

// One scan: intensities over ascending m/z values.
struct Scan {
  std::uint32_t ScanNumber = 0;
  double RetentionTime = 0.0;  // seconds from the start of the run
  std::uint32_t TuneRunIndex = 0;
  std::vector<double> MZ;
  std::vector<double> Intensity;
  // Centroid data: each point is a peak already, not a sample of a profile.
  bool Centroided = false;
  // The file did not say which, so Centroided was decided from the data (WQBL::LooksCentroided).
  bool ModeFromData = false;
  // Points of zero intensity that the reader of an open format left out because their m/z did not
  // exceed the point's before them, or the point's after them did not exceed theirs: instruments
  // that acquire a spectrum in m/z windows write such points at the seams.
  std::uint32_t SeamZerosDropped = 0;
  // What a fragment spectrum of an open format says of itself; a scan of the library's own format
  // is always of MS level 1, without a precursor, charge or title.
  int MSLevel = 1;
  std::optional<double> PrecursorMZ{};  // the m/z of the ion selected for fragmentation
  int Charge = 0;                       // of the precursor; 0 when not known
  std::string Title{};
  // How the instrument defined the scan. Scans of one MS level and definition are of one kind,
  // and a run that alternates kinds has a total ion current per kind (GenerateTIC). Always empty
  // in the library's own format, whose runs are of one kind.
  ScanDefinition Definition{};
};

// What a file keeps of a scan besides its arrays: enough to summarise a run without reading them.
struct ScanSummary {
  Scan Header;  // without m/z values and intensities
  std::size_t Points = 0;
  double LowMZ = 0.0;   // its first m/z value; 0 without points
  double HighMZ = 0.0;  // its last m/z value; 0 without points
  double TotalIntensity = 0.0;
};

class WQDATAFILE_EXPORT DataFile {
 public:
  // A new file, not yet written, without tune runs or scans.
  DataFile(std::wstring fileName, std::wstring description, std::int64_t createTime,
           WQBL::Method method);
  // Reads the file at `fileName`, in the library's own format or an open one. Throws
  // DataFileError when it cannot be opened, is of no supported format, has another file version,
  // is an open-format file that is truncated, malformed or past a bound on what a spectrum may
  // cost, or breaks the rules of AddScan;
  // WQCommon::StreamError naming the file when a file of the own format ends early or holds a
  // count larger than the rest of it; WQPlatform::ReadError when it is not a regular file or a
  // compressed file cannot be decompressed into the temporary directory; and what reading the
  // method throws.
  explicit DataFile(const std::wstring& fileName);

  const std::wstring& QFileName() const { return fileName_; }
  const std::wstring& QDescription() const { return description_; }
  // The instrument a run of an open format names, as the file describes it; empty for a run of
  // the library's own format, which is of this instrument.
  const InstrumentTerms& QInstrument() const { return instrument_; }
  std::int64_t QCreateTime() const { return createTime_; }
  const WQBL::Method& QMethod() const { return method_; }
  std::uint32_t QNumTuneRuns() const;
  // Throws DataFileError for an index the file has no tune run for.
  const TuneRun& QTuneRun(std::uint32_t index) const;
  std::uint32_t QNumScanSpectra() const;
  // A copy of the scan at `index` in scan order, its arrays read from the file for a file read
  // from disk. Throws DataFileError for an index beyond the last scan, and DataFileError or
  // WQCommon::StreamError naming the file when the scan can no longer be read as it was (it
  // changed since the file was opened).
  Scan QScan(std::uint32_t index) const;
  // What the file keeps of the scan at `index`, from when it was opened or the scan added: nothing
  // is read. Throws DataFileError for an index beyond the last scan.
  const ScanSummary& QScanSummary(std::uint32_t index) const;
  // The index of the scan with `scanNumber`; throws DataFileError when the file has none.
  std::uint32_t FindScan(std::uint32_t scanNumber) const;

  // How many of its scans are of each MS level: all at level 1 for a file of the library's own
  // format.
  std::map<int, std::uint32_t> QSpectraPerMSLevel() const;

  // Appends a tune run and gives its index.
  std::uint32_t AddTuneRun(const TuneRun& run);
  // Appends a scan. Throws DataFileError, keeping the file as it was, unless its scan number is
  // above the last one, its tune run exists, it has as many intensities as m/z values, its
  // retention time, m/z values and intensities are finite numbers and its m/z values ascend
  // strictly.
  void AddScan(Scan scan);

  // Writes the file to QFileName() as a whole, or not at all. Throws DataFileError when it cannot
  // be written; an earlier file is then left as it was. Also throws what QScan throws.
  void Save() const;

  // The total ion chromatogram: for each MS1 scan (each scan, in a run without any, such as a
  // list of fragment spectra), its retention time, the sum of its intensities and its scan number;
  // in a run of more than one kind of scan (of MS level and Definition), also its kind, numbered
  // from 0 in the order the kinds first appear.
  WQBL::ICObj GenerateTIC() const;

 protected:
  std::string NarrowFileName() const;

 private:
  // A scan as the object keeps it: the arrays of a scan added in memory, or where a scan of the
  // file read from disk lies in it.
  struct KeptScan {
    ScanSummary Summary;
    std::vector<double> MZ;
    std::vector<double> Intensity;
    // Where a scan of a file read from disk lies: the offset of its record in source_, or its
    // position among openRun_'s scans.
    std::optional<std::uint64_t> Offset;
    // A hash of its m/z values and intensities, by which a scan read again is known unchanged.
    std::uint64_t ContentHash = 0;
  };

  void ReadOwnFormat(const std::string& path);
  void ReadOpenFormat(std::shared_ptr<const WQPlatform::ReadOnlyFile> file);
  // Why `scan` may not follow the scans kept (the rules of AddScan), naming it; empty when it may.
  std::string FaultOf(const Scan& scan) const;
  // Throws DataFileError with FaultOf(scan) unless it is empty.
  void CheckScan(const Scan& scan) const;
  // Keeps the checked `scan`: its arrays, or, when it was read from the file at `offset`, where
  // it lies.
  void KeepScan(Scan scan, std::optional<std::uint64_t> offset);
  // The scan at `index`; throws DataFileError for an index beyond the last scan.
  const KeptScan& Kept(std::uint32_t index) const;
  Scan ReadScanAt(const KeptScan& kept) const;

  std::wstring fileName_;
  std::wstring description_;
  InstrumentTerms instrument_;
  std::int64_t createTime_;
  WQBL::Method method_;
  std::vector<TuneRun> tuneRuns_;
  std::vector<KeptScan> scans_;
  std::shared_ptr<const WQPlatform::ReadOnlyFile> source_;  // the file read, kept open
  std::shared_ptr<const detail::OpenRun> openRun_;          // the same for an open format
};

// Writes a data file of the library's own format a scan at a time, as a whole or not at all, so
// that memory does not grow with the length of the run: what DataFile::Save writes, for a run too
// long to keep.
class WQDATAFILE_EXPORT DataFileWriter {
 public:
  // Starts writing the file at `fileName`, which is to hold `scanCount` scans acquired with
  // `tuneRuns`. Throws DataFileError when it cannot be written; an earlier file is left as it was
  // until Commit().
  DataFileWriter(const std::wstring& fileName, const std::wstring& description,
                 std::int64_t createTime, const WQBL::Method& method,
                 const std::vector<TuneRun>& tuneRuns, std::uint32_t scanCount);
  // Without Commit(), leaves the file as it was.
  ~DataFileWriter();
  DataFileWriter(const DataFileWriter&) = delete;
  DataFileWriter& operator=(const DataFileWriter&) = delete;

  // Writes the next scan. Throws DataFileError, writing nothing, when it breaks the rules of
  // DataFile::AddScan or is one more than the file was to hold.
  void AddScan(const Scan& scan);
  // Puts the file in place. Throws DataFileError, leaving an earlier file as it was, when fewer
  // scans than announced were added or the file cannot be written.
  void Commit();

 private:
  struct Output;

  std::string path_;
  std::size_t tuneRuns_;
  std::uint32_t scanCount_;
  std::uint32_t written_ = 0;
  std::optional<std::uint32_t> lastNumber_;
  std::unique_ptr<Output> output_;
};

// A data file of a calibration run.
class WQDATAFILE_EXPORT CalDataFile : public DataFile {
 public:
  using DataFile::DataFile;

  // The m/z distance within which the centroids of different scans are taken for one peak when
  // centroid scans are averaged.
  static constexpr double kCentroidMergeTolerance = 0.02;

  // A new spectrum, owned by the caller: the mean of the given scans on the m/z axis of the first,
  // widened by the points of the others that lie where it has none (beyond its ends or in a gap
  // between its stretches, as an instrument that writes only where it measured signal leaves),
  // limited to the range's bounds for a bounded range. The scans are interpolated linearly onto
  // it, as zero beyond their own m/z range and in the gaps between their stretches. When every scan
  // is a centroid scan, their peak lists are merged instead: centroids within
  // kCentroidMergeTolerance of a group's intensity-weighted m/z join it, and each group becomes one
  // point at that m/z with the mean intensity over the scans. It carries the scan numbers as given,
  // the first scan's tune run, the mean retention time, the sum of its intensities as TIC, and a
  // name from its scans. Throws DataFileError for an empty list or a scan number the file does not
  // hold.
  std::unique_ptr<WQBL::Spectrum> GenerateAveragedSpectrum(
      const std::vector<std::uint32_t>& scanNumbers, const WQBL::MZRange& range) const;

  // True when every one of the given scans is a centroid scan, so that the averaged spectrum's
  // points are peaks already. Throws DataFileError for an empty list or an unknown scan number.
  bool QCentroided(const std::vector<std::uint32_t>& scanNumbers) const;
};

}  // namespace WQDataFile
