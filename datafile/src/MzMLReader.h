// A reader of the part of mzML that a run of the data-file library needs: the description of the
// instrument, the start of the run, and each spectrum's MS level, native id, title, precursor,
// start time, scan definition, mode and m/z and intensity arrays. It streams through the file with
// a window of bounded size and decodes each array straight from its text. Internal to the data-file
// library.
#pragma once

#include <WQDataFile/DataFile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InstrumentDescription.h"

namespace WQPlatform {
class ReadOnlyFile;
}

namespace WQDataFile::detail {

// ScanDefinition::Polarity of a scan that the file says is `negative` or `positive`: empty when
// neither.
std::string PolarityName(bool negative, bool positive);

// One spectrum of an mzML run as its element gives it.
struct MzMLSpectrum {
  std::uint64_t Offset = 0;  // where its element starts in the file
  std::uint64_t Length = 0;  // the bytes of its element
  int MSLevel = 1;           // 1 when it names none
  std::string Id;            // its native id
  // Seconds: 0 when its first scan gives no start time in a known unit.
  double RetentionTime = 0.0;
  bool Centroid = false;              // whether it calls itself centroid data
  bool Profile = false;               // whether it calls itself profile data
  std::optional<double> PrecursorMZ;  // of the first ion selected, when it names one
  int Charge = 0;                     // of that ion; 0 when it names none
  std::string Title;                  // its spectrum title, when it has one
  ScanDefinition Definition;          // of its scan
  // Its arrays: empty when it has none.
  std::vector<double> MZ;
  std::vector<double> Intensity;
};

// Reads an mzML file a spectrum at a time. What one spectrum may cost is bounded whatever the file
// holds: its arrays may declare kMaxSpectrumValues values together; an array must decode, and
// inflate, to its declared values exactly and is refused as soon as it makes more; an XML node
// (text, tag, comment or declaration) may be kMaxNodeBytes long. Every error is a DataFileError
// whose message begins with the `failure` given ("Cannot read mzML file <path>").
class MzMLReader {
 public:
  // Reads the file's header, up to its list of spectra. Throws DataFileError when it is malformed.
  MzMLReader(std::shared_ptr<const WQPlatform::ReadOnlyFile> file, std::string failure);
  ~MzMLReader();
  MzMLReader(const MzMLReader&) = delete;
  MzMLReader& operator=(const MzMLReader&) = delete;

  // The instrument the run names, else the first.
  const InstrumentDescription& Instrument() const;
  // The run's startTimeStamp, empty when it has none.
  const std::string& StartTimeStamp() const;

  // Reads the next spectrum in file order into `spectrum`; false after the last one. Throws
  // DataFileError when it is malformed or passes a bound.
  bool Next(MzMLSpectrum& spectrum);
  // The spectrum whose element Next found at `offset`, `length` bytes long, read again from the
  // file. Safe to call from several threads at once, and beside Next. Throws DataFileError as Next
  // does, and when no spectrum of that length starts there.
  MzMLSpectrum ReadAt(std::uint64_t offset, std::uint64_t length) const;

 private:
  struct Header;
  class Parser;

  std::shared_ptr<const WQPlatform::ReadOnlyFile> file_;
  const std::string failure_;
  std::shared_ptr<const Header> header_;
  std::unique_ptr<Parser> sequence_;  // the parser that Next reads on with
};

}  // namespace WQDataFile::detail
