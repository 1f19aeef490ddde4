// Reading runs kept in the open formats of the field (mzML, plain or gzip-compressed, mzXML and
// MGF) into the data-file library's own scans. Internal to the library: the readers of those
// formats stay inside OpenFormats.cpp.
#pragma once

#include <WQDataFile/DataFile.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InstrumentDescription.h"

namespace WQPlatform {
class ReadOnlyFile;
}

namespace WQDataFile::detail {

class MzMLReader;

// How far into a file its format must show.
constexpr std::size_t kFormatHeadBytes = 4096;

// True when `head` (the first kFormatHeadBytes of a file, or all of a shorter one) is
// gzip-compressed, mzML, mzXML or MGF text.
bool IsOpenFormat(const std::string& head);

// A file in an open format, read a spectrum at a time: opening it reads the run's metadata and
// the file's index, ReadScans reads every spectrum once, and a scan's arrays are read from the
// file again whenever they are asked for. A compressed file is inflated once into a temporary
// file, which is read the same way.
class OpenRun {
 public:
  // Reads `file`, whose head IsOpenFormat accepted. Throws DataFileError naming the file when it
  // is truncated or malformed, or compressed data of no supported format; WQPlatform::ReadError
  // when the temporary file for compressed data cannot be made.
  explicit OpenRun(std::shared_ptr<const WQPlatform::ReadOnlyFile> file);
  ~OpenRun();
  OpenRun(const OpenRun&) = delete;
  OpenRun& operator=(const OpenRun&) = delete;

  // The instrument the run names, else its first: its description and its terms.
  std::wstring Description() const { return instrument_.Text(); }
  const InstrumentTerms& Instrument() const { return instrument_.Terms(); }
  // Seconds since 1970, when the run names its start.
  std::optional<std::int64_t> CreateTime() const { return createTime_; }
  // Reads every spectrum in file order, of every MS level, and hands each to `visit` as a scan,
  // with its position among ScanNumbers() and its arrays, sorted by m/z. A scan's number is known
  // only when every scan has been read: `visit` gets it as 0.
  // Throws DataFileError naming the file when a spectrum cannot be read, and what `visit` throws.
  void ReadScans(const std::function<void(std::size_t position, Scan scan)>& visit);
  // The number of each scan that ReadScans read, in file order: the run's own, as its native ids
  // (or an MGF block's SCANS) give them when every scan has one and they ascend, else its
  // position from 1.
  const std::vector<std::uint32_t>& ScanNumbers() const { return scanNumbers_; }
  // The scan at `position` among ScanNumbers(), with its arrays sorted by m/z; its number is the
  // one ScanNumbers() gives, the rest as the file gives it now. Safe to call from several
  // threads at once. Throws DataFileError naming the file when the spectrum cannot be read.
  Scan ReadScan(std::size_t position) const;

 private:
  struct Reader;
  // Where a scan's spectrum lies: its index for ProteoWizard's readers; for mzML, the offset
  // and length of its element.
  struct Place {
    std::uint64_t At = 0;
    std::uint64_t Length = 0;
  };

  InstrumentDescription instrument_;
  std::optional<std::int64_t> createTime_;
  std::vector<std::uint32_t> scanNumbers_;
  std::vector<Place> places_;
  std::unique_ptr<MzMLReader> mzML_;  // the reader of an mzML file
  std::unique_ptr<Reader> reader_;    // ProteoWizard's, of the other formats
};

}  // namespace WQDataFile::detail
