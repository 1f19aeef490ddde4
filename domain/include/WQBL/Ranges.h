// Value types that select data: mass (m/z) ranges, time ranges, chromatogram filters and the
// peak fields of a spectrum.
//
// Each has a binary form (a record version of its own, then its fields in declaration order) and
// an XML form (an element named after the type, written into the element that the builder has
// open, holding one child element per field with its number as text; doubles are written with
// enough digits to read back exactly). Binary reading refuses an unknown record version with
// std::runtime_error "Unknown <type> version.", and a short stream or a kind, polarity or type
// that is none of its values (StoredValues) with WQCommon::StreamError.
// XML reading throws WQCommon::XMLResultException with the code 1001 and the element's name when
// the type's element or a field's element is missing, and std::runtime_error "Invalid number
// "<text>" in <type>." for a field whose text is not a number of the field's type. In every
// failure the value keeps what it had.
#pragma once

#include <WQBL/Export.h>
#include <WQCommon/Binary.h>
#include <WQCommon/EnumText.h>
#include <WQCommon/XML.h>

#include <cstdint>
#include <tuple>

namespace WQBL {

// A range of m/z values.
struct WQBL_EXPORT MZRange : public WQCommon::IWQSerial, public WQCommon::IWQXML {
  // Stored in files: never renumber.
  enum Kinds : std::int32_t {
    FullRange = 0,  // everything acquired; the bounds are not used
    Bounded = 1     // from Low to High inclusive
  };

  // The full range, bounds 0 and 0.
  MZRange();
  MZRange(Kinds kind, double low, double high);

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;
  bool operator==(const MZRange& other) const;

  Kinds Kind;
  double Low;
  double High;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Kind, self.Low, self.High);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(MZRange::Kinds) {
  return {"Kind", MZRange::FullRange, MZRange::Bounded};
}

// A range of retention times, in minutes.
struct WQBL_EXPORT ICRange : public WQCommon::IWQSerial, public WQCommon::IWQXML {
  // From 0 to 0.
  ICRange();
  ICRange(double start, double end);

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;
  bool operator==(const ICRange& other) const;

  double Start;
  double End;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Start, self.End);
  }
};

// Which scans of a data file contribute to an ion chromatogram.
struct WQBL_EXPORT ICFilter : public WQCommon::IWQSerial, public WQCommon::IWQXML {
  // Stored in files: never renumber.
  enum Polarities : std::int32_t { AnyPolarity = 0, PositiveOnly = 1, NegativeOnly = 2 };
  static const WQCommon::EnumTextMap<Polarities>& PolarityTexts();
  // The Function value that selects the scans of every acquisition function.
  static constexpr std::int32_t kAllFunctions = -1;

  // Every function, either polarity.
  ICFilter();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;
  bool operator==(const ICFilter& other) const;

  // The acquisition function (numbered from 0) whose scans are used, or kAllFunctions.
  std::int32_t Function;
  Polarities Polarity;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Function, self.Polarity);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(ICFilter::Polarities) {
  return {"Polarity", ICFilter::AnyPolarity, ICFilter::NegativeOnly};
}

// One value reported for each peak of a spectrum.
struct WQBL_EXPORT MZPeakField : public WQCommon::IWQSerial, public WQCommon::IWQXML {
  // Stored in files: never renumber.
  enum Types : std::int32_t { Mass = 0, Intensity = 1, Area = 2, Width = 3 };
  static const WQCommon::EnumTextMap<Types>& TypeTexts();

  // The mass field.
  MZPeakField();
  explicit MZPeakField(Types type);

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;
  bool operator==(const MZPeakField& other) const;

  Types Type;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Type);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(MZPeakField::Types) {
  return {"Type", MZPeakField::Mass, MZPeakField::Width};
}

}  // namespace WQBL
