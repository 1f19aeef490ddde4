// The routine that produces the spectra of a calibration run one by one and saves them as the
// run's centroid document.
#pragma once

#include <WQBL/ICObj.h>
#include <WQBL/PeakProcessing.h>
#include <WQBL/Spectrum.h>
#include <WQDataFile/DataFile.h>
#include <WQRepos/CentroidExport.h>

#include <string>

namespace WQRepos {

// Fills `spectrum`, which may hold the previous item's spectrum, with the spectrum of item
// `index` of the run.
using SpectrumProducer = void (*)(WQDataFile::CalDataFile& file, int index,
                                  WQBL::ICObj& chromatogram, const WQBL::PLAutoFindPrefs& prefs,
                                  WQBL::Spectrum& spectrum);

// Calls `produce` for the items 0 to count - 1 into one reused spectrum and, with `write`, adds
// each result to the centroid document of `file` and saves it (CentroidData::Serialize) to the
// file's directory and base name with the extension ".tofline", or to settings.Output when given,
// telling settings.Progress of each item. Without `write` it returns true
// and touches no file. When the target is the data file itself (after following links), sets
// `errorText` to "Cannot write to file", the path and ": it is the data file being exported" and
// returns false before producing anything. When the document cannot be saved, sets `errorText` to
// "Cannot write to file" directly followed by the path and returns false; nothing is written then.
// When a standard exception ends the building of the document, sets it to "std::exception - " and
// the exception's text and returns false. Exceptions from `produce` and from adding a spectrum pass
// to the caller.
bool WriteTOFLineFile(const WQBL::PLAutoFindPrefs& prefs, std::wstring& errorText,
                      SpectrumProducer produce, WQDataFile::CalDataFile& file,
                      WQBL::ICObj& chromatogram, bool write, int count,
                      const ExportSettings& settings);

}  // namespace WQRepos
