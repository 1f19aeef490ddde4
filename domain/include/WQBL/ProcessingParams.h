// Parameter records of the processing steps that the application runs over spectra (MZ) and ion
// chromatograms (IC), and of the application's processing threads.
//
// Every record has a binary form that starts with a record version of its own, then its fields
// in declaration order. Reading a record refuses any other version with std::runtime_error
// "Unknown <record> version.", and a short stream or an algorithm that is none of its values
// (StoredValues) with WQCommon::StreamError; either way the record
// keeps the value it had. Widths are counted in data points.
#pragma once

#include <WQBL/Export.h>
#include <WQCommon/Binary.h>
#include <WQCommon/EnumText.h>

#include <cstdint>
#include <tuple>

namespace WQBL {

// Removal of the slowly varying background under the signal.
struct WQBL_EXPORT BaselineParams : public WQCommon::IWQSerial {
  // Stored in files: never renumber.
  enum Algorithms : std::int32_t { NoBaseline = 0, Linear = 1, MovingMinimum = 2 };
  static const WQCommon::EnumTextMap<Algorithms>& AlgorithmTexts();

  // No subtraction, window 51 points.
  BaselineParams();
  // Moving minimum over 101 points, for chromatograms.
  static BaselineParams DefaultIC();
  // Linear baseline from a 25-point window at each end, for spectra.
  static BaselineParams DefaultMS();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const BaselineParams& other) const;

  Algorithms Algorithm;
  std::uint32_t WindowWidth;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Algorithm, self.WindowWidth);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(BaselineParams::Algorithms) {
  return {"Algorithm", BaselineParams::NoBaseline, BaselineParams::MovingMinimum};
}

// Estimation of the noise level, and how far above it a signal must rise to count.
struct WQBL_EXPORT NoiseParams : public WQCommon::IWQSerial {
  // Window 50 points, factor 3.
  NoiseParams();
  // Window 200 points, factor 5, for chromatograms.
  static NoiseParams DefaultIC();
  // Window 500 points, factor 5, for profile spectra.
  static NoiseParams DefaultMS();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const NoiseParams& other) const;

  // Points over which the noise level is measured.
  std::uint32_t WindowWidth;
  // Multiple of the noise level below which a point is not part of a peak.
  double Factor;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.WindowWidth, self.Factor);
  }
};

// Finding peaks in a curve.
struct WQBL_EXPORT PeakDetectParams : public WQCommon::IWQSerial {
  // Minimum width 2 points, no absolute threshold.
  PeakDetectParams();
  // Minimum width 5 points, no absolute threshold, for chromatograms.
  static PeakDetectParams DefaultIC();
  // Minimum width 3 points, with the absolute threshold, for spectra.
  static PeakDetectParams DefaultMS();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const PeakDetectParams& other) const;

  // Peaks narrower than this are discarded.
  std::uint32_t MinPeakWidth;
  // Whether the absolute threshold (ThresholdParams) applies before peaks are sought.
  bool UseThreshold;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.MinPeakWidth, self.UseThreshold);
  }
};

// Savitzky-Golay smoothing.
struct WQBL_EXPORT SmoothParams : public WQCommon::IWQSerial {
  // Window 5 points, order 2.
  SmoothParams();
  // Window 9 points, order 2, for chromatograms.
  static SmoothParams DefaultIC();
  // Window 7 points, order 3, for spectra.
  static SmoothParams DefaultMS();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const SmoothParams& other) const;

  // Points in the fitting window; odd.
  std::uint32_t WindowWidth;
  // Order of the polynomial fitted in each window; less than WindowWidth.
  std::uint32_t PolynomialOrder;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.WindowWidth, self.PolynomialOrder);
  }
};

// The absolute intensity below which points are ignored.
struct WQBL_EXPORT ThresholdParams : public WQCommon::IWQSerial {
  // Level 0.
  ThresholdParams();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const ThresholdParams& other) const;

  double Level;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Level);
  }
};

// Separation of overlapping peaks in a spectrum.
struct WQBL_EXPORT OPDParams : public WQCommon::IWQSerial {
  // Peak width 0.5, at most 10 iterations.
  OPDParams();
  // Peak width 0.7, at most 25 iterations, for spectra.
  static OPDParams DefaultMS();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const OPDParams& other) const;

  // Expected width of a single peak at half height, in m/z.
  double PeakWidth;
  // Iterations of the fit before it stops.
  std::uint32_t MaxIterations;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.PeakWidth, self.MaxIterations);
  }
};

// How a voltage ramp across the mass range is stepped.
struct WQBL_EXPORT RampAlgorithmParams : public WQCommon::IWQSerial {
  // Stored in files: never renumber.
  enum Algorithms : std::int32_t { Continuous = 0, Stepped = 1 };
  static const WQCommon::EnumTextMap<Algorithms>& AlgorithmTexts();

  // Continuous, 10 steps.
  RampAlgorithmParams();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const RampAlgorithmParams& other) const;

  Algorithms Algorithm;
  // Steps of a stepped ramp.
  std::uint32_t Steps;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Algorithm, self.Steps);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(RampAlgorithmParams::Algorithms) {
  return {"Algorithm", RampAlgorithmParams::Continuous, RampAlgorithmParams::Stepped};
}

// Charge-state deconvolution of multiply charged ions.
struct WQBL_EXPORT ChargeStateParams : public WQCommon::IWQSerial {
  // Charges 1 to 30, tolerance 0.5.
  ChargeStateParams();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const ChargeStateParams& other) const;

  std::int32_t MinCharge;
  std::int32_t MaxCharge;
  // Largest difference, in Da, between masses that count as one.
  double MassTolerance;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.MinCharge, self.MaxCharge, self.MassTolerance);
  }
};

// The application's processing threads.
struct WQBL_EXPORT AppThreadingParams : public WQCommon::IWQSerial {
  // Enabled, 2 threads.
  AppThreadingParams();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  bool operator==(const AppThreadingParams& other) const;

  bool Enabled;
  std::uint32_t ThreadCount;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Enabled, self.ThreadCount);
  }
};

}  // namespace WQBL
