// The mzML writer of the data-file library, through the ProteoWizard library that its readers
// use. Like them, it keeps that library's heavy headers to itself.
#include <WQCommon/Text.h>
#include <WQCommon/XMLNumbers.h>
#include <WQDataFile/MzML.h>
#include <WQPlatform/Platform.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <filesystem>
#include <numeric>
#include <optional>
#include <ostream>
#include <pwiz/data/common/cv.hpp>
#include <pwiz/data/msdata/MSData.hpp>
#include <pwiz/data/msdata/Serializer_mzML.hpp>
#include <pwiz/data/msdata/SpectrumListBase.hpp>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "XmlDateTime.h"

namespace WQDataFile {

namespace {

namespace msdata = pwiz::msdata;
using pwiz::cv::CVID;

// Passes everything written to `target` and counts it, so that the mzML writer can ask where it
// is (tellp) for the index of spectrum offsets, in a stream that cannot seek.
class CountingBuffer : public std::streambuf {
 public:
  explicit CountingBuffer(std::ostream& target) : target_(target) {}

 protected:
  int_type overflow(int_type character) override {
    if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(0);
    const char byte = traits_type::to_char_type(character);
    return xsputn(&byte, 1) == 1 ? character : traits_type::eof();
  }

  std::streamsize xsputn(const char* data, std::streamsize size) override {
    if (!target_.write(data, size)) return 0;
    written_ += size;
    return size;
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir way,
                   std::ios_base::openmode which) override {
    if (offset != 0 || way != std::ios_base::cur || (which & std::ios_base::out) == 0) {
      return pos_type(off_type(-1));
    }
    return pos_type(written_);
  }

  int sync() override { return target_.flush() ? 0 : -1; }

 private:
  std::ostream& target_;
  off_type written_ = 0;
};

// A number as the shortest text that reads back exactly, which pwiz's own formatting is not.
std::string Exact(double value) {
  return WQCommon::WQWideToNarrowStr(WQCommon::ShortestExactText(value));
}

std::optional<CVID> PolarityTerm(WQCommon::PolarityTypes polarity) {
  switch (polarity) {
    case WQCommon::Positive:
      return pwiz::cv::MS_positive_scan;
    case WQCommon::Negative:
      return pwiz::cv::MS_negative_scan;
  }
  return std::nullopt;
}

// The ionisation of a probe; ESCi ionises by electrospray and by chemical ionisation at once.
std::vector<CVID> IonisationTerms(WQCommon::Probes::ProbeTypes probe) {
  switch (probe) {
    case WQCommon::Probes::ESI:
      return {pwiz::cv::MS_electrospray_ionization};
    case WQCommon::Probes::APCI:
      return {pwiz::cv::MS_atmospheric_pressure_chemical_ionization};
    case WQCommon::Probes::ESCi:
      return {pwiz::cv::MS_electrospray_ionization,
              pwiz::cv::MS_atmospheric_pressure_chemical_ionization};
    case WQCommon::Probes::APPI:
      return {pwiz::cv::MS_atmospheric_pressure_photoionization};
  }
  return {};
}

// The tune entry of the method for each tune run of the file; none where the method lacks it.
std::vector<const WQBL::TuneEntry*> TunesOfRuns(const DataFile& file) {
  std::vector<const WQBL::TuneEntry*> tunes;
  const WQBL::Method::TuneTable& table = file.QMethod().Tunes;
  for (std::uint32_t run = 0; run < file.QNumTuneRuns(); ++run) {
    const std::int32_t id = file.QTuneRun(run).TuneId;
    const auto found = id < 0 ? table.end() : table.find(static_cast<std::uint32_t>(id));
    tunes.push_back(found == table.end() ? nullptr : &found->second);
  }
  return tunes;
}

// A quadrupole with an electron multiplier, and the ion sources of the tunes the run uses.
msdata::InstrumentConfigurationPtr Instrument(const std::vector<const WQBL::TuneEntry*>& tunes) {
  auto instrument = boost::make_shared<msdata::InstrumentConfiguration>("quadrupole");
  instrument->set(pwiz::cv::MS_instrument_model);
  std::vector<CVID> ionisations;
  for (const WQBL::TuneEntry* tune : tunes) {
    if (tune == nullptr) continue;
    for (CVID term : IonisationTerms(tune->Probe)) {
      if (std::find(ionisations.begin(), ionisations.end(), term) == ionisations.end()) {
        ionisations.push_back(term);
      }
    }
  }
  // An instrument has a source; when no tune tells which, it is named by its kind alone.
  if (ionisations.empty()) ionisations.push_back(pwiz::cv::MS_ionization_type);
  msdata::Component source(msdata::ComponentType_Source, 1);
  for (CVID term : ionisations) source.set(term);
  instrument->componentList.push_back(source);
  instrument->componentList.push_back(msdata::Component(pwiz::cv::MS_quadrupole, 2));
  instrument->componentList.push_back(msdata::Component(pwiz::cv::MS_electron_multiplier, 3));
  return instrument;
}

// Text that a file of another format brought, as an XML document can hold it: bytes that are not
// UTF-8 and characters that XML cannot carry, controls among them, become U+FFFD.
std::string XmlText(const std::string& text) {
  using WQCommon::InvalidBytes;
  return WQCommon::WQWideToNarrowStr(
      WQCommon::WQXmlPrintable(WQCommon::WQNarrowToWideStr(text, InvalidBytes::Replace)),
      InvalidBytes::Replace);
}

// The terms of `terms` that the vocabulary knows, with their values and units, set on
// `container`.
void SetTerms(const std::vector<InstrumentTerms::Term>& terms,
              pwiz::data::ParamContainer& container) {
  for (const InstrumentTerms::Term& term : terms) {
    const CVID id = pwiz::cv::cvTermInfo(term.Accession).cvid;
    if (id == pwiz::cv::CVID_Unknown) continue;
    const CVID unit =
        term.Unit.empty() ? pwiz::cv::CVID_Unknown : pwiz::cv::cvTermInfo(term.Unit).cvid;
    container.set(id, XmlText(term.Value), unit);
  }
}

// The instrument that a run read from an open format named, as the file described it.
msdata::InstrumentConfigurationPtr Instrument(const InstrumentTerms& terms) {
  auto instrument = boost::make_shared<msdata::InstrumentConfiguration>("instrument");
  SetTerms(terms.Own, *instrument);
  int order = 0;
  for (const InstrumentTerms::Component& part : terms.Components) {
    const msdata::ComponentType type =
        part.Kind == InstrumentTerms::Part::Source     ? msdata::ComponentType_Source
        : part.Kind == InstrumentTerms::Part::Analyzer ? msdata::ComponentType_Analyzer
                                                       : msdata::ComponentType_Detector;
    msdata::Component component(type, ++order);
    SetTerms(part.Terms, component);
    instrument->componentList.push_back(std::move(component));
  }
  return instrument;
}

// The scans of the file as mzML spectra, each read from the file when the writer asks for it.
class ScanSpectra : public msdata::SpectrumListBase {
 public:
  ScanSpectra(const DataFile& file, msdata::InstrumentConfigurationPtr instrument)
      : file_(file), instrument_(std::move(instrument)) {
    for (const WQBL::TuneEntry* tune : TunesOfRuns(file)) {
      polarities_.push_back(tune == nullptr ? std::nullopt : PolarityTerm(tune->Polarity));
    }
    for (std::uint32_t index = 0; index < file.QNumScanSpectra(); ++index) {
      msdata::SpectrumIdentity identity;
      identity.index = index;
      identity.id = "scan=" + std::to_string(file.QScanSummary(index).Header.ScanNumber);
      identities_.push_back(std::move(identity));
    }
  }

  std::size_t size() const override { return identities_.size(); }

  const msdata::SpectrumIdentity& spectrumIdentity(std::size_t index) const override {
    return identities_.at(index);
  }

  msdata::SpectrumPtr spectrum(std::size_t index, bool getBinaryData) const override {
    const Scan scan = file_.QScan(static_cast<std::uint32_t>(index));
    auto spectrum = boost::make_shared<msdata::Spectrum>();
    spectrum->index = index;
    spectrum->id = identities_.at(index).id;
    spectrum->set(pwiz::cv::MS_ms_level, scan.MSLevel);
    spectrum->set(scan.MSLevel == 1 ? pwiz::cv::MS_MS1_spectrum : pwiz::cv::MS_MSn_spectrum);
    if (!scan.Title.empty()) spectrum->set(pwiz::cv::MS_spectrum_title, XmlText(scan.Title));
    AddPrecursor(scan, *spectrum);
    spectrum->set(scan.Centroided ? pwiz::cv::MS_centroid_spectrum : pwiz::cv::MS_profile_spectrum);
    if (const std::optional<CVID> polarity = PolarityOf(scan)) spectrum->set(*polarity);
    Summarise(scan, *spectrum);
    spectrum->scanList.set(pwiz::cv::MS_no_combination);
    msdata::Scan acquisition;
    acquisition.instrumentConfigurationPtr = instrument_;
    acquisition.set(pwiz::cv::MS_scan_start_time, Exact(scan.RetentionTime), pwiz::cv::UO_second);
    AddDefinition(scan.Definition, acquisition);
    spectrum->scanList.scans.push_back(std::move(acquisition));
    if (getBinaryData) {
      spectrum->setMZIntensityArrays(scan.MZ, scan.Intensity,
                                     pwiz::cv::MS_number_of_detector_counts);
    }
    spectrum->defaultArrayLength = scan.MZ.size();
    return spectrum;
  }

 private:
  // The polarity that the scan's definition gives, else its tune's.
  std::optional<CVID> PolarityOf(const Scan& scan) const {
    if (scan.Definition.Polarity == "negative") return pwiz::cv::MS_negative_scan;
    if (scan.Definition.Polarity == "positive") return pwiz::cv::MS_positive_scan;
    return polarities_.at(scan.TuneRunIndex);
  }

  // The terms of the definition that a scan read from an open format brought, written back as it
  // gave them, so that a converted run keeps its kinds of scan.
  static void AddDefinition(const ScanDefinition& definition, msdata::Scan& acquisition) {
    const auto add = [](pwiz::data::ParamContainer& container, CVID term, const std::string& value,
                        CVID unit) {
      if (!value.empty()) container.set(term, XmlText(value), unit);
    };
    add(acquisition, pwiz::cv::MS_filter_string, definition.Filter, pwiz::cv::CVID_Unknown);
    add(acquisition, pwiz::cv::MS_preset_scan_configuration, definition.Configuration,
        pwiz::cv::CVID_Unknown);
    if (definition.WindowLow.empty() && definition.WindowHigh.empty()) return;
    msdata::ScanWindow window;
    add(window, pwiz::cv::MS_scan_window_lower_limit, definition.WindowLow, pwiz::cv::MS_m_z);
    add(window, pwiz::cv::MS_scan_window_upper_limit, definition.WindowHigh, pwiz::cv::MS_m_z);
    acquisition.scanWindows.push_back(std::move(window));
  }

  // The ion selected for the fragment spectrum `scan`, with its charge when known.
  static void AddPrecursor(const Scan& scan, msdata::Spectrum& spectrum) {
    if (!scan.PrecursorMZ) return;
    msdata::SelectedIon ion;
    ion.set(pwiz::cv::MS_selected_ion_m_z, Exact(*scan.PrecursorMZ), pwiz::cv::MS_m_z);
    if (scan.Charge != 0) ion.set(pwiz::cv::MS_charge_state, scan.Charge);
    msdata::Precursor precursor;
    precursor.selectedIons.push_back(std::move(ion));
    // The activation must name its method; the run does not tell which, so the general term.
    precursor.activation.set(pwiz::cv::MS_dissociation_method);
    spectrum.precursors.push_back(std::move(precursor));
  }

  // The total ion current, the m/z range and the base peak.
  static void Summarise(const Scan& scan, msdata::Spectrum& spectrum) {
    spectrum.set(pwiz::cv::MS_total_ion_current,
                 Exact(std::accumulate(scan.Intensity.begin(), scan.Intensity.end(), 0.0)));
    if (scan.MZ.empty()) return;
    spectrum.set(pwiz::cv::MS_lowest_observed_m_z, Exact(scan.MZ.front()), pwiz::cv::MS_m_z);
    spectrum.set(pwiz::cv::MS_highest_observed_m_z, Exact(scan.MZ.back()), pwiz::cv::MS_m_z);
    const auto base = std::max_element(scan.Intensity.begin(), scan.Intensity.end());
    spectrum.set(pwiz::cv::MS_base_peak_m_z, Exact(scan.MZ[base - scan.Intensity.begin()]),
                 pwiz::cv::MS_m_z);
    spectrum.set(pwiz::cv::MS_base_peak_intensity, Exact(*base),
                 pwiz::cv::MS_number_of_detector_counts);
  }

  const DataFile& file_;
  msdata::InstrumentConfigurationPtr instrument_;
  std::vector<std::optional<CVID>> polarities_;  // by tune run
  std::vector<msdata::SpectrumIdentity> identities_;
};

// The run's total ion current over time, of its MS1 scans (DataFile::GenerateTIC).
msdata::ChromatogramListPtr TotalIonCurrent(const DataFile& file,
                                            msdata::DataProcessingPtr processing) {
  const WQBL::ICObj tic = file.GenerateTIC();
  auto chromatogram = boost::make_shared<msdata::Chromatogram>();
  chromatogram->index = 0;
  chromatogram->id = "TIC";
  chromatogram->set(pwiz::cv::MS_TIC_chromatogram);
  chromatogram->setTimeIntensityArrays(tic.QXAxis(), tic.QYValues(), pwiz::cv::UO_second,
                                       pwiz::cv::MS_number_of_detector_counts);
  auto list = boost::make_shared<msdata::ChromatogramListSimple>();
  list->chromatograms.push_back(chromatogram);
  list->dp = std::move(processing);
  return list;
}

// The run's description in mzML: where it came from, what wrote it, and its scans.
void Describe(const DataFile& file, msdata::MSData& data) {
  const std::filesystem::path source(WQCommon::WQWideToNarrowStr(file.QFileName()));
  data.id = source.stem().string();
  data.cvs = msdata::defaultCVList();
  // No source file is named: the library's own format has no term in the vocabulary, which
  // every source file must give.
  bool fragments = false;
  bool survey = false;
  for (std::uint32_t index = 0; index < file.QNumScanSpectra(); ++index) {
    (file.QScanSummary(index).Header.MSLevel == 1 ? survey : fragments) = true;
  }
  if (survey || !fragments) data.fileDescription.fileContent.set(pwiz::cv::MS_MS1_spectrum);
  if (fragments) data.fileDescription.fileContent.set(pwiz::cv::MS_MSn_spectrum);

  auto software = boost::make_shared<msdata::Software>(
      "WQDataFile", pwiz::data::CVParam(pwiz::cv::MS_custom_unreleased_software_tool, "WQDataFile"),
      WQDATAFILE_VERSION);
  data.softwarePtrs.push_back(software);
  auto conversion = boost::make_shared<msdata::DataProcessing>("conversion");
  msdata::ProcessingMethod method;
  method.softwarePtr = software;
  method.set(pwiz::cv::MS_Conversion_to_mzML);
  conversion->processingMethods.push_back(method);
  data.dataProcessingPtrs.push_back(conversion);

  const msdata::InstrumentConfigurationPtr instrument =
      file.QInstrument().Empty() ? Instrument(TunesOfRuns(file)) : Instrument(file.QInstrument());
  data.instrumentConfigurationPtrs.push_back(instrument);
  data.run.id = "run";
  data.run.defaultInstrumentConfigurationPtr = instrument;
  // Creation times outside years 1 to 9999 have no XML date; the run's start is then left out.
  data.run.startTimeStamp = detail::XmlDateTime(file.QCreateTime()).value_or("");
  auto spectra = boost::make_shared<ScanSpectra>(file, instrument);
  spectra->setDataProcessingPtr(conversion);
  data.run.spectrumListPtr = spectra;
  data.run.chromatogramListPtr = TotalIonCurrent(file, conversion);
}

}  // namespace

void SaveAsMzML(const DataFile& file, const std::wstring& path, bool replace) {
  const std::string target = WQCommon::WQWideToNarrowStr(path);
  msdata::MSData data;
  Describe(file, data);
  try {
    WQPlatform::AtomicFile output(target, replace);
    CountingBuffer counting(output.Stream());
    std::ostream stream(&counting);
    msdata::Serializer_mzML::Config config;
    config.indexed = true;
    msdata::Serializer_mzML(config).write(stream, data, nullptr, false);
    stream.flush();
    output.Commit();
  } catch (const WQPlatform::SaveError& error) {
    throw DataFileError("Cannot write mzML file " + target + ": " + error.what());
  }
}

}  // namespace WQDataFile
