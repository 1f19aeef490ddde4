// Every stored record and document against bytes written by hand from its layout: what the module
// writes for a record of distinct, non-default values must be exactly these bytes, and these bytes
// must read back into that record.
#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQRepos/AcqMethods.h>
#include <WQRepos/CentroidExport.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/Preferences.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/SpectrumDataInfo.h>
#include <WQRepos/SystemConfiguration.h>
#include <WQRepos/Tunes.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <tuple>

#include "export/ExportSupport.h"
#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using WQRepos::Preferences;
using wqtest::I64;
using wqtest::U32;
namespace fs = std::filesystem;

// One value each, in the toolkit's encoding: little-endian, fixed width, strings as their length
// in UTF-16 code units and then the code units.
std::string Hex(std::string digits) {
  digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
  std::string bytes;
  for (std::size_t at = 0; at < digits.size(); at += 2)
    bytes += static_cast<char>(std::stoi(digits.substr(at, 2), nullptr, 16));
  return bytes;
}
std::string I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }
std::string F64(double value) {
  std::int64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return I64(bits);
}
std::string Str(const std::wstring& text) {  // characters of the Basic Multilingual Plane only
  std::string bytes = U32(static_cast<std::uint32_t>(text.size()));
  for (const wchar_t c : text)
    bytes += std::string{static_cast<char>(c & 0xff), static_cast<char>(c >> 8)};
  return bytes;
}
// A document written by hand from its layout, in tests/data/golden.
std::string GoldenDocument(const char* name) {
  return wqtest::ReadBytes(fs::path(WQREPOS_TEST_DATA_DIR) / "golden" / name);
}

template <typename Record, typename Set>
Record With(Record record, Set set) {
  set(record);
  return record;
}

// The binary forms of the domain records inside the files.
std::string Filter(std::int32_t function, std::int32_t polarity) {
  return U32(1) + I32(function) + I32(polarity);  // record version 1, Function, Polarity
}
std::string Range(std::int32_t kind, double low, double high) {
  return U32(1) + I32(kind) + F64(low) + F64(high);  // record version 1, Kind, Low, High
}
std::string Field(const std::wstring& name, bool visible) {
  return U32(1) + Str(name) + Bool(visible);  // record version 1, Name, Visible
}
std::string Point(const std::wstring& name, double mass, std::int32_t capExit, double area,
                  double time) {
  return Str(name) + F64(mass) + I32(capExit) + F64(area) + F64(time);  // no version of its own
}

const WQRepos::AutotunePrefs kAutotune = With(WQRepos::AutotunePrefs(), [](auto& p) {
  p.Polarity = WQCommon::Negative;
  p.DiverterSource = WQRepos::Waste;
  p.TunePoints = {{L"Caf\u00e9ine", 195.5, -40, 1.5e7, 0.25}, {L"MRFA", 524.25, 35, 2.5e6, 1.75}};
  p.SourceType = WQCommon::Probes::ESCi;
  p.PrimeDelay = 30;
});
const std::string kAutotuneBytes = U32(5)    // record version 5
                                   + I32(1)  // Polarity: Negative
                                   + U32(2)  // point count
                                   + Point(L"Caf\u00e9ine", 195.5, -40, 1.5e7, 0.25)  //
                                   + Point(L"MRFA", 524.25, 35, 2.5e6, 1.75)          //
                                   + I32(2)    // SourceType: ESCi
                                   + I32(30);  // PrimeDelay

WQRepos::SystemConfiguration Configuration() {
  WQRepos::SystemConfiguration c;
  std::tie(c.SystemName, c.UserName, c.PolaritySwitch, c.CalSource, c.TuneProbeId,
           c.MethodTimePeriods) =
      std::make_tuple(L"KE-0042", L"operator", 1.25, WQRepos::SystemConfiguration::RightVialSource,
                      WQCommon::Probes::APCI, -2);
  std::tie(c.Syringe.Diameter, c.Syringe.Volume, c.Syringe.FlowRate, c.Syringe.Enabled) =
      std::make_tuple(4.61, 500, 2.5, true);
  return c;
}

class GoldenFilesTest : public wqtest::DataDirectoryTest {
 protected:
  // What the module writes (no `write` for a document it only reads) must be `expected`, and
  // `readsBack` must read `expected` as the record (none for a document it only writes). A form
  // whose code throws fails alone; the forms after it are still checked.
  static void Check(const std::string& what, const std::string& expected,
                    const std::function<std::string()>& write,
                    const std::function<bool(const std::string&)>& readsBack) {
    SCOPED_TRACE(what);
    if (write) {
      std::string written;
      EXPECT_NO_THROW(written = write());
      EXPECT_EQ(written, expected);
    }
    if (readsBack) {
      bool read = false;
      EXPECT_NO_THROW(read = readsBack(expected));
      EXPECT_TRUE(read);
    }
  }

  // A file the module saves with `save` and reads with `load`, which tells whether it read the
  // record back.
  void File(const std::string& what, const fs::path& file, const std::string& expected,
            const std::function<void()>& save, const std::function<bool()>& load) const {
    const fs::path path = Base() / file;
    const auto write = [&] {
      save();
      return wqtest::ReadBytes(path);
    };
    Check(what, expected, write, [&](const std::string& bytes) {
      wqtest::WriteBytes(path, bytes);
      return load();
    });
  }

  // The preference file of a Q/W pair: the file version 1, then the record.
  template <typename Record>
  void Pref(const std::string& name, const std::string& record, const Record& value,
            void (Preferences::*write)(const Record&), Record (Preferences::*query)() const) {
    File(
        name, fs::path("Prefs") / (name + ".pref"), U32(1) + record,
        [=] { (Preferences().*write)(value); },
        [=] { return wqtest::Same((Preferences().*query)(), value); });
  }
};

TEST_F(GoldenFilesTest, EveryStoredFormIsItsLayoutAndReadsBack) {
  using namespace WQBL;
  const auto fieldPref = [](const wchar_t* name, bool visible) {
    return With(WQRepos::FieldPref(), [&](auto& f) { f.Name = name, f.Visible = visible; });
  };
  WQRepos::GenBICPrefs bic;
  std::tie(bic.Filter.Function, bic.Filter.Polarity, bic.EvalMethodName, bic.Option) =
      std::make_tuple(4, ICFilter::PositiveOnly, L"Peaks only", 3);
  bic.MassRanges = {MZRange(MZRange::Bounded, 50.0, 1000.5)};
  bic.PeakFields = {MZPeakField(MZPeakField::Width), MZPeakField(MZPeakField::Intensity)};
  const WQRepos::GenSpectraPrefs spectra = With(WQRepos::GenSpectraPrefs(), [](auto& p) {
    p.Values = {4000000000u, 12};
    p.TimeRanges = {ICRange(0.5, 1.25)};
    p.Names = {L"run 1", L""};
    p.MassRange = MZRange(MZRange::Bounded, 100.0, 300.0);
    p.Option = 0;
  });
  WQRepos::AutotuneDlgPrefs dialog;
  std::tie(dialog.TuneMixFile, dialog.Value1, dialog.Value2, dialog.Settings) =
      std::make_tuple(L"/data/mix.xtc", -9000000000LL, 42, kAutotune);
  // Read from the binary form, the diverter source keeps what the record held: here its default.
  const WQRepos::AutotunePrefs stored =
      With(kAutotune, [](auto& p) { p.DiverterSource = WQRepos::Load; });
  const auto storedDialog = With(dialog, [&](auto& p) { p.Settings = stored; });

  const std::vector<WQRepos::RefCal> refCals{WQRepos::RefCal(L"NaI", 22.98977, 149.88, 50000.0),
                                             WQRepos::RefCal(L"Caf\u00e9ine", 195.5, 0.25, 2500.0)};
  Method method;
  TimePeriod& period = method.TimePeriods.emplace_back();
  std::tie(period.Duration, period.NumLoops, period.Timeout) = std::make_tuple(2.0, 3u, 40u);
  SequenceItem& item = period.Items.emplace_back();
  std::tie(item.Kind, item.StartMZ, item.EndMZ, item.DwellTime, item.Duration, item.Polarity,
           item.TuneId) =
      std::make_tuple(SequenceItem::SIM, 195.5, 300.25, 0.125, 0.75, WQCommon::Negative, 3u);
  method.Tunes[3] = TuneEntry(L"Caffeine", WQCommon::Probes::ESCi, WQCommon::Negative);
  Tune tune;
  std::tie(tune.CapillaryVoltage, tune.ConeVoltage, tune.ExtractorVoltage, tune.RFLensVoltage,
           tune.SourceTemperature, tune.DesolvationTemperature, tune.ConeGasFlow,
           tune.DesolvationGasFlow, tune.LowMassResolution, tune.HighMassResolution,
           tune.Polarity) = std::make_tuple(3.5, 42.5, 4.0, 0.25, 110.0, 400.0, 60.0, 650.0, 14.5,
                                            15.5, WQCommon::Negative);
  const auto baseline = [](BaselineParams::Algorithms algorithm, std::uint32_t width) {
    return With(BaselineParams(), [&](auto& p) { p.Algorithm = algorithm, p.WindowWidth = width; });
  };
  const auto noise = [](std::uint32_t width, double factor) {
    return With(NoiseParams(), [&](auto& p) { p.WindowWidth = width, p.Factor = factor; });
  };
  const auto peaks = [](std::uint32_t width, bool threshold) {
    return With(PeakDetectParams(),
                [&](auto& p) { p.MinPeakWidth = width, p.UseThreshold = threshold; });
  };
  const auto smooth = [](std::uint32_t width, std::uint32_t order) {
    return With(SmoothParams(), [&](auto& p) { p.WindowWidth = width, p.PolynomialOrder = order; });
  };
  const auto threshold = [](double level) {
    return With(ThresholdParams(), [&](auto& p) { p.Level = level; });
  };
  const std::vector<CurveEval> spectrumMethod{
      CurveEval(baseline(BaselineParams::MovingMinimum, 77)), CurveEval(noise(150, 2.5)),
      CurveEval(threshold(12.5)), CurveEval(peaks(7, true))};
  const std::vector<CurveEval> icMethod{CurveEval(peaks(9, false)), CurveEval()};
  const std::int64_t time = 0x0102030405060708;
  std::string centroid = GoldenDocument("CentroidDocument.tofline");
  centroid.replace(centroid.find("@USER@"), 6,
                   WQCommon::WQWideToNarrowStr(WQCommon::WQGetUserName()));

  using P = Preferences;
  // The processing parameters: each is its record version 1, then its fields.
  Pref("ICBaseline", Hex("01000000 02000000 4d000000"),  // version, MovingMinimum, width 77
       baseline(BaselineParams::MovingMinimum, 77), &P::WICBaseline, &P::QICBaseline);
  Pref("MZBaseline", Hex("01000000 01000000 21000000"),  // version, Linear, width 33
       baseline(BaselineParams::Linear, 33), &P::WMZBaseline, &P::QMZBaseline);
  Pref("ICNoise", Hex("01000000 96000000 0000000000000440"),  // version, width 150, factor 2.5
       noise(150, 2.5), &P::WICNoise, &P::QICNoise);
  Pref("MZNoise", Hex("01000000 78000000 0000000000001240"),  // version, width 120, factor 4.5
       noise(120, 4.5), &P::WMZNoise, &P::QMZNoise);
  Pref("ICPeakDetect", Hex("01000000 07000000 01"),  // version, min width 7, threshold on
       peaks(7, true), &P::WICPeakDetect, &P::QICPeakDetect);
  Pref("MZPeakDetect", Hex("01000000 09000000 00"),  // version, min width 9, threshold off
       peaks(9, false), &P::WMZPeakDetect, &P::QMZPeakDetect);
  Pref("ICSmooth", Hex("01000000 0b000000 04000000"),  // version, window 11, order 4
       smooth(11, 4), &P::WICSmooth, &P::QICSmooth);
  Pref("MZSmooth", Hex("01000000 0d000000 05000000"),  // version, window 13, order 5
       smooth(13, 5), &P::WMZSmooth, &P::QMZSmooth);
  Pref("ICThreshold", Hex("01000000 0000000000002940"),  // version, level 12.5
       threshold(12.5), &P::WICThreshold, &P::QICThreshold);
  Pref("MZThreshold", Hex("01000000 0000000000406f40"),  // version, level 250
       threshold(250.0), &P::WMZThreshold, &P::QMZThreshold);
  Pref("MZOPD", Hex("01000000 000000000000e83f 28000000"),  // version, width 0.75, 40 rounds
       With(OPDParams(), [](auto& p) { p.PeakWidth = 0.75, p.MaxIterations = 40; }), &P::WMZOPD,
       &P::QMZOPD);
  Pref("RampAlgorithm", Hex("01000000 01000000 19000000"),  // version, Stepped, 25 steps
       With(RampAlgorithmParams(),
            [](auto& p) { p.Algorithm = RampAlgorithmParams::Stepped, p.Steps = 25; }),
       &P::WRampAlgorithm, &P::QRampAlgorithm);
  Pref("CSDecon", Hex("01000000 02000000 2d000000 000000000000f43f"),  // charges 2-45, 1.25
       With(ChargeStateParams(),
            [](auto& p) { p.MinCharge = 2, p.MaxCharge = 45, p.MassTolerance = 1.25; }),
       &P::WCSDecon, &P::QCSDecon);
  Pref("MultiThread", Hex("01000000 00 06000000"),  // version, disabled, 6 threads
       With(AppThreadingParams(), [](auto& p) { p.Enabled = false, p.ThreadCount = 6; }),
       &P::WAppThreadingPrefs, &P::QAppThreadingPrefs);

  // The generation records: record version 1, then the fields; lists are a count and items.
  Pref("GenTIC", U32(1) + Filter(3, 1) + U32(5),  // version, Filter, Option
       With(WQRepos::GenTICPrefs(),
            [](auto& p) {
              p.Filter.Function = 3, p.Filter.Polarity = ICFilter::PositiveOnly, p.Option = 5;
            }),
       &P::WGenTIC, &P::QGenTIC);
  Pref("GenEIC",
       U32(1) + Filter(0, 2)                                        // version, Filter
           + U32(2) + Range(1, 194.5, 195.75) + Range(0, 0.0, 0.0)  // MassRanges
           + U32(2) + Str(L"caffeine") + Str(L"\u00e9") + U32(1),   // Names, Option
       With(WQRepos::GenEICPrefs(),
            [](auto& p) {
              p.Filter.Function = 0, p.Filter.Polarity = ICFilter::NegativeOnly;
              p.MassRanges = {MZRange(MZRange::Bounded, 194.5, 195.75), MZRange()};
              p.Names = {L"caffeine", L"\u00e9"};
              p.Option = 1;
            }),
       &P::WGenEIC, &P::QGenEIC);
  Pref("GenBIC",
       U32(1) + Filter(4, 1) + Str(L"Peaks only")        // version, Filter, method
           + U32(1) + Range(1, 50.0, 1000.5)             // MassRanges
           + U32(2) + U32(1) + I32(3) + U32(1) + I32(1)  // PeakFields: Width, Intensity
           + U32(3),                                     // Option
       bic, &P::WGenBIC, &P::QGenBIC);
  Pref("GenSpectra",
       U32(1) + U32(2) + U32(4000000000u) + U32(12)  // version, Values
           + U32(1) + U32(1) + F64(0.5) + F64(1.25)  // TimeRanges: one ICRange
           + U32(2) + Str(L"run 1") + Str(L"")       // Names
           + Range(1, 100.0, 300.0) + U32(0),        // MassRange, Option
       spectra, &P::WGenSpectra, &P::QGenSpectra);

  // Column and field orders: a count, then each FieldPref.
  Pref("TuneFieldOrder", U32(2) + Field(L"Cone", false) + Field(L"Capillary", true),
       std::vector{fieldPref(L"Cone", false), fieldPref(L"Capillary", true)}, &P::WTuneFieldOrder,
       &P::QTuneFieldOrder);
  Pref("StepTblColOrder", U32(1) + Field(L"Step", false), std::vector{fieldPref(L"Step", false)},
       &P::WStepTblColOrder, &P::QStepTblColOrder);
  Pref("ICPkTblColOrder", U32(2) + Field(L"Area", true) + Field(L"Height", false),
       std::vector{fieldPref(L"Area", true), fieldPref(L"Height", false)}, &P::WICPkTblColOrder,
       &P::QICPkTblColOrder);
  Pref("MZPkTblColOrder", U32(2) + Field(L"Mass", false) + Field(L"Width", true),
       std::vector{fieldPref(L"Mass", false), fieldPref(L"Width", true)}, &P::WMZPkTblColOrder,
       &P::QMZPkTblColOrder);
  Pref("GUILayout", Hex("02000000 00 01 09000000 00 01 00"),  // version 2, A, B, Number, C-E
       With(WQRepos::GUILayoutPrefs(),
            [](auto& p) { p.FlagA = false, p.Number = 9, p.FlagC = false, p.FlagE = false; }),
       &P::WGUILayoutPrefs, &P::QGUILayoutPrefs);

  // The autotune records; the diverter source is not part of the binary form.
  File(
      "AutoTuneCmpnds", "Prefs/AutoTuneCmpnds.pref", U32(1) + kAutotuneBytes,
      [] { Preferences().WATCprefs(kAutotune); },
      [=] { return Preferences().QATCprefs() == stored; });
  File(
      "AutoTune", "Prefs/AutoTune.pref",
      U32(1)                                // file version
          + U32(1) + Str(L"/data/mix.xtc")  // record version, TuneMixFile
          + I64(-9000000000LL) + I64(42)    // Value1, Value2
          + kAutotuneBytes,                 // Settings
      [=] { Preferences().WAutotunePrefs(dialog); },
      [=] { return Preferences().QAutotunePrefs() == storedDialog; });
  File(
      "DataFileName", "Prefs/DataFileName.pref",
      Hex("02000000 0807060504030201"),  // record version 2, time
      [=] {
        WQRepos::WDataDirectoryFileNameInfo(
            With(WQRepos::DataFileNameInfo(), [=](auto& i) { i.Time = time; }));
      },
      [=] { return WQRepos::QDataDirectoryFileNameInfo().Time == time; });
  File(
      "RefCals.cal", "Calibration/RefCals.cal",
      U32(1) + U32(2)                                                          // version, count
          + U32(2) + Str(L"NaI") + F64(22.98977) + F64(149.88) + F64(50000.0)  // version 2
          + U32(2) + Str(L"Caf\u00e9ine") + F64(195.5) + F64(0.25) + F64(2500.0),
      [=] { WQRepos::SaveReferenceCalibrants(refCals); },
      [=] { return WQRepos::LoadReferenceCalibrants() == refCals; });
  File(
      "Acquisition method", "AcqMethod/Alpha.kem",
      U32(1)                                          // file version
          + U32(1) + U32(1)                           // Method version, period count
          + F64(2.0) + U32(3) + U32(40) + U32(1)      // Duration, loops, time-out, items
          + I32(1) + F64(195.5) + F64(300.25)         // SIM, StartMZ, EndMZ
          + F64(0.125) + F64(0.75) + I32(1) + U32(3)  // dwell, duration, Negative, tune
          + U32(1) + U32(3) + Str(L"Caffeine")        // tune count, id, name
          + I32(2) + I32(1),                          // probe ESCi, Negative
      [=] { WQRepos::SaveAcqMethod(L"Alpha", method); },
      [=] { return WQRepos::LoadAcqMethod(L"Alpha") == method; });
  File(
      "Tune", "Tunes/Caffeine.ket",
      U32(1) + U32(1)                                         // file and Tune version
          + F64(3.5) + F64(42.5) + F64(4.0) + F64(0.25)       // capillary, cone, extr., RF
          + F64(110.0) + F64(400.0) + F64(60.0) + F64(650.0)  // temperatures, gas flows
          + F64(14.5) + F64(15.5) + I32(1),                   // resolutions, Negative
      [=] { WQRepos::SaveTune(L"Caffeine", tune); },
      [=] { return WQRepos::LoadTune(L"Caffeine") == tune; });

  // Evaluation methods: file version, step count, each CurveEval (version 1, kind, params).
  File(
      "Spectrum evaluation method", "EvalMethod/peaks.sem",
      U32(1) + U32(4)                                                    //
          + U32(1) + I32(1) + Hex("01000000 02000000 4d000000")          // Baseline
          + U32(1) + I32(2) + Hex("01000000 96000000 0000000000000440")  // Noise
          + U32(1) + I32(3) + Hex("01000000 0000000000002940")           // Threshold
          + U32(1) + I32(4) + Hex("01000000 07000000 01"),               // PeakDetect
      [=] { WQRepos::SaveSpectrumEvalMethod(L"peaks", spectrumMethod); },
      [=] { return WQRepos::LoadSpectrumEvalMethod(L"peaks") == spectrumMethod; });
  File(
      "Chromatogram evaluation method", "EvalMethod/peaks.iem",
      U32(1) + U32(2)                                      //
          + U32(1) + I32(4) + Hex("01000000 09000000 00")  // PeakDetect
          + U32(1) + I32(0),                               // NoStep: no parameters
      [=] { WQRepos::SaveICEvalMethod(L"peaks", icMethod); },
      [=] { return WQRepos::LoadICEvalMethod(L"peaks") == icMethod; });
  File(
      "System configuration", "Prefs/SystemConfiguration.xml",
      GoldenDocument("SystemConfiguration.xml"),
      [] { WQRepos::SaveSystemConfiguration(Configuration()); },
      [] { return WQRepos::LoadSystemConfiguration() == Configuration(); });
  Check("Spectrum data info", GoldenDocument("SpectrumDataInfo.xml"), nullptr,
        [this](const std::string& bytes) {
          wqtest::WriteBytes(Dir("Prefs") / "SpectrumDataInfo.xml", bytes);
          const WQRepos::SpectrumDataInfo info = WQRepos::LoadSpectrumDataInfo();
          return info.Instrument == L"SQ \u00e9" && info.Sample_Inlet == L"Infusion";
        });

  // Doubles to six significant digits; the source type is written and never read.
  Check(
      "Autotune XML", GoldenDocument("AutoTunePrefs.xml"),
      [] {
        WQCommon::XMLBuilder builder;
        builder << kAutotune;
        return WQCommon::WQWideToNarrowStr(builder.QXML());
      },
      [](const std::string& text) {
        WQCommon::XMLParser parser;
        WQRepos::AutotunePrefs read;
        if (!parser.LoadXML(WQCommon::WQNarrowToWideStr(text))) return false;
        parser >> read;
        return read == With(kAutotune, [](auto& p) { p.SourceType = WQCommon::Probes::ESI; });
      });

  // A calibration file of two scans whose method knows tunes 1 and 3, and one spectrum
  // acquired with tune 3: its stick figure under the CRC-32 of its own document text less the
  // last two characters.
  Check(
      "Centroid document", centroid,
      [] {
        WQBL::Method method;
        method.Tunes[1] = WQBL::TuneEntry(L"One", WQCommon::Probes::ESI, WQCommon::Positive);
        method.Tunes[3] = WQBL::TuneEntry(L"Three", WQCommon::Probes::APCI, WQCommon::Negative);
        WQDataFile::CalDataFile file(L"/cal/run7.dat", L"Calibration", 1704067200, method);
        file.AddTuneRun(WQDataFile::TuneRun{3});
        file.AddScan({1, 0.0, 0, {}, {}});
        file.AddScan({2, 0.0, 0, {}, {}});
        WQBL::Spectrum spectrum = wqtest::SpectrumWithPeaks(
            {150.0, 150.5, 151.0}, {wqtest::PeakAt(0.5, 99.9, 1234.5678, 120.0)});
        spectrum.Name = L"Scan 17";
        spectrum.ScanNumbers = {17};
        spectrum.RetentionTime = 12.99;
        spectrum.TIC = 3456.25;
        WQRepos::SaveSystemConfiguration(Configuration());
        WQRepos::CentroidData data(file);
        data.Add(spectrum);
        WQCommon::XMLBuilder builder;
        data.Serialize(builder, L"");
        return WQCommon::WQWideToNarrowStr(builder.QXML());
      },
      nullptr);
}

}  // namespace
