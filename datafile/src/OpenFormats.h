// Reading runs kept in the open formats of the field (mzML, plain or gzip-compressed, mzXML and
// MGF) into the data-file library's own scans. Internal to the library: the readers of those
// formats stay inside OpenFormats.cpp.
#pragma once

#include <WQDataFile/DataFile.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace WQDataFile::detail {

// What a file in an open format holds, as the data file keeps it.
struct ImportedRun {
  std::wstring Description;
  std::optional<std::int64_t> CreateTime;  // seconds since 1970, when the run names its start
  std::vector<Scan> Scans;                 // the MS1 scans, in file order
  std::map<int, std::uint32_t> SpectraPerMSLevel;
};

// How far into a file its format must show.
constexpr std::size_t kFormatHeadBytes = 4096;

// True when `content` (the whole file, or its first kFormatHeadBytes) is gzip-compressed, mzML,
// mzXML or MGF text.
bool IsOpenFormat(const std::string& content);

// Reads `content`, which IsOpenFormat accepted. Throws DataFileError naming `path` when the file
// is truncated or malformed.
ImportedRun ImportOpenFormat(std::string content, const std::string& path);

}  // namespace WQDataFile::detail
