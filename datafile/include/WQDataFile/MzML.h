// Runs written in mzML 1.1, the open format of the field, for programs that cannot read the
// library's own format.
#pragma once

#include <WQDataFile/DataFile.h>
#include <WQDataFile/Export.h>

#include <string>

namespace WQDataFile {

// Writes `file` to `path` as indexed mzML, replacing any file there as a whole or not at all: one
// spectrum per scan, in scan order, of the scan's MS level (with the precursor m/z and charge and
// the title that a fragment scan has), with its scan number (native id "scan=N"), its retention
// time in seconds, profile or centroid, the polarity of the tune it was acquired with (the tune of
// its tune run in the file's method; none is written when the method has no such tune), and its
// m/z values and intensities (counts) as uncompressed 64-bit numbers; then the total ion current
// chromatogram that DataFile::GenerateTIC gives (of the MS1 scans). The instrument is described
// as a quadrupole with the ion sources of the tunes the run uses, and the run's start as the
// file's creation time. DataFile reads the result back with the same scans. An earlier file at
// `path` is replaced only with `replace`: without it, one there when the save begins or ends is
// kept and the save fails ("... File exists"). Throws DataFileError naming `path` when it cannot be
// written (an earlier file is then left as it was), and what DataFile::QScan throws.
WQDATAFILE_EXPORT void SaveAsMzML(const DataFile& file, const std::wstring& path,
                                  bool replace = true);

}  // namespace WQDataFile
