// Calibration data export: the centroid document of a calibration data file, with the stick
// figure of each of its spectra under one CRC-32, and the automatic generation of the peak lists
// that feed it.
#pragma once

#include <WQBL/ICObj.h>
#include <WQBL/PeakProcessing.h>
#include <WQBL/Spectrum.h>
#include <WQCommon/XML.h>
#include <WQDataFile/DataFile.h>
#include <WQRepos/Export.h>

#include <boost/crc.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace WQRepos {

// The stick figure of one spectrum: its name, tune, first scan, retention time, TIC, largest peak
// amplitude and area, and the centroid position, centroid amplitude and area of every peak. The
// values are copied out of the spectrum when the object is made. Copies share one body.
class WQREPOS_EXPORT StickFigureData {
 public:
  // Retention time and centroid amplitudes are truncated toward zero to 32-bit integers (values
  // beyond that range saturate, not-a-number becomes 0); a spectrum without scan numbers gets
  // scan number 0. Throws what `file`.QTuneRun throws for a tune run the file does not have.
  StickFigureData(const WQBL::Spectrum& spectrum, const WQDataFile::CalDataFile& file);
  virtual ~StickFigureData();
  StickFigureData(const StickFigureData&) = default;
  StickFigureData& operator=(const StickFigureData&) = default;

  // The tune id of the spectrum's tune run (not the run's index).
  int GetTuneId() const;

  // Writes the element "Spectrum" into the builder's open element: the attributes Name, TuneId,
  // ScanNumber, RetentionTime (the three numbers as unsigned 32-bit decimals), TIC, MaxAmplitude,
  // MaxArea (general notation with the magnitude precision as significant digits; six where that
  // precision is 0), then "Peaks" with the attribute Count holding "CentroidX" (fixed notation
  // with the magnitude precision as decimals), "CentroidAmpl" (integers) and "Area" (general
  // notation, six significant digits), each a list separated by single blanks. The magnitude
  // precision of x is 0 from 10,000,000, 1 from 1,000,000, 2 from 100,000, 3 above 10,000 and 4
  // otherwise (negative and not-a-number included).
  virtual void Serialize(WQCommon::XMLBuilder& builder) const;
  // The element that Serialize writes, as text (WQCommon::XMLBuilder::TopElementText).
  std::string ElementText() const;

  // Feeds the text that Serialize gives in a builder of its own (QXML), less its last two
  // characters, into `crc` as UTF-16 code units, low byte first. The document's checksum takes
  // the same text from ElementText, made once for both.
  void ProcessChecksum(boost::crc_32_type& crc) const;

 private:
  struct StickFigureData_Impl;
  std::shared_ptr<StickFigureData_Impl> impl_;
};

// The centroid document of one calibration data file: the header, the tunes used by its spectra
// and the spectra under their CRC-32. Copies share one body, so spectra added through one copy are
// seen through all. The document refers to the data file without owning it: the caller keeps the
// file alive while the document is used.
class WQREPOS_EXPORT CentroidData {
 public:
  explicit CentroidData(const WQDataFile::CalDataFile& file);
  // The same, the header naming the run `name` instead of the base name of the file's path: a run
  // read from a temporary copy goes by the name it was given as.
  CentroidData(const WQDataFile::CalDataFile& file, std::wstring name);

  // Appends the stick figure of `spectrum`; throws what StickFigureData's constructor throws.
  void Add(const WQBL::Spectrum& spectrum);
  // True when an added spectrum has the tune id `tuneId`.
  bool IsTuneUsed(int tuneId) const;

  // Writes the element "TOFLine": "TOFLineHeader" (the run's name, description, creation
  // time as an RFC 1123 date in UTC, "MS", "KE 900", the number of scans, the system name of the
  // stored system configuration as instrument id, and the user's name); "Tunes" with a "TuneRef"
  // (attribute Id) holding the tune's own XML for every tune of the file's method that a spectrum
  // uses, in ascending id order; "Spectra" with the attribute CRC (the CRC-32 of all spectra in
  // the order they were added, lower-case hexadecimal, "0" without spectra) holding each spectrum.
  // With a non-empty `fileName`, the XML file of the same directory and base name with the
  // extension ".xml" is appended inside "TOFLine" when it exists. Throws what
  // LoadSystemConfiguration throws.
  void Serialize(WQCommon::XMLBuilder& builder, const std::wstring& fileName) const;

 private:
  void SerializeHeader(WQCommon::XMLBuilder& builder) const;
  void SerializeTunes(WQCommon::XMLBuilder& builder) const;
  void SerializeSpectra(WQCommon::XMLBuilder& builder) const;

  struct CentroidData_Impl;
  std::shared_ptr<CentroidData_Impl> impl_;
};

// One spectrum as AutoGenPL exports it.
struct WQREPOS_EXPORT ExportedSpectrum {
  // Averaged from its scans, smoothed when the preferences ask for it, with its peaks detected;
  // for centroid scans, with their merged centroids as its peaks.
  WQBL::Spectrum Spectrum;
  // For each point, the level it had to rise above for peak detection to take it for part of a
  // peak (WQBL::QDetectionLevels with the export's settings); empty for centroid scans, whose
  // points are peaks already.
  std::vector<double> DetectionLevels;
};

// The number of spectra AutoGenPL makes from `chromatogram`: one per point with the
// preferences' every-spectrum selection, otherwise one per chromatogram peak, after detecting the
// chromatogram's peaks when it has none detected.
WQREPOS_EXPORT int QExportedSpectrumCount(WQBL::ICObj& chromatogram,
                                          const WQBL::PLAutoFindPrefs& prefs);
// The scan numbers that AutoGenPL averages into its spectrum `item` (from 0): the scan of
// chromatogram point `item` with the every-spectrum selection, otherwise the scans that the
// peak-table selection picks under chromatogram peak `item` (QSpectrumUnderPeak). Throws
// std::runtime_error for an item the chromatogram does not have.
WQREPOS_EXPORT std::vector<std::uint32_t> QExportedScans(const WQBL::ICObj& chromatogram,
                                                         const WQBL::PLAutoFindPrefs& prefs,
                                                         int item);
// The spectrum that AutoGenPL exports for the scans `scanNumbers` of `file`. Throws what
// CalDataFile::GenerateAveragedSpectrum throws.
WQREPOS_EXPORT ExportedSpectrum QExportedSpectrum(const WQDataFile::CalDataFile& file,
                                                  const std::vector<std::uint32_t>& scanNumbers,
                                                  const WQBL::PLAutoFindPrefs& prefs);

// Generates the peak lists of a calibration run along its chromatogram and, with `write`, saves
// them as the centroid document beside the data file: the file's directory and base name with the
// extension ".tofline".
//
// It makes QExportedSpectrumCount spectra, spectrum i as QExportedSpectrum gives it for the scans
// QExportedScans names for i: averaged by the data file, smoothed when the preferences' Smooth is
// set, and its peaks detected, before it is added to the document.
//
// Returns false and sets `errorText` to "X/Y axis of curve not assigned" when the chromatogram
// lacks either axis (nothing else is done); to "Cannot write to file" followed by the path when
// the document cannot be saved (nothing is written then); to "std::exception - " and the text of
// a standard exception raised while the document is built. Otherwise returns true and leaves
// `errorText` as it was. A chromatogram without points, or one on which peak-table mode finds no
// peaks, is no failure: with `write`, a document without spectra is written. Exceptions raised
// while the spectra are produced (an unknown scan, for one) pass to the caller, and no document is
// written.
WQREPOS_EXPORT bool AutoGenPL(WQDataFile::CalDataFile& file, WQBL::ICObj& chromatogram,
                              const WQBL::PLAutoFindPrefs& prefs, bool write,
                              std::wstring& errorText);

// Where AutoGenPL writes its document, and whom it tells of its progress.
struct ExportSettings {
  // The document's path; empty for the data file's directory and base name with ".tofline". The
  // messages above name this path instead.
  std::wstring Output;
  // Called, when given, with the number of spectra produced so far and the number in all, after
  // each spectrum.
  std::function<void(int done, int total)> Progress;
  // Called, when given, with the file and the system's reason ("Cannot create a temporary file
  // for <path>: Permission denied") when the document cannot be written; the error text stays
  // "Cannot write to file" followed by the path.
  std::function<void(const std::string& reason)> WriteFailed;
  // The run's name in the document's header; empty for the base name of the data file's path.
  std::wstring Name;
};

// AutoGenPL writing and reporting as `settings` say.
WQREPOS_EXPORT bool AutoGenPL(WQDataFile::CalDataFile& file, WQBL::ICObj& chromatogram,
                              const WQBL::PLAutoFindPrefs& prefs, bool write,
                              std::wstring& errorText, const ExportSettings& settings);

}  // namespace WQRepos
