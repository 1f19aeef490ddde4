// The module's own preference records: table field orders, the window layout, and the settings
// from which the application last generated chromatograms and spectra. Preferences stores them.
//
// Each record's binary form starts with its record version, then its fields in declaration
// order; a vector is its element count (std::uint32_t) followed by its elements. Reading a record
// refuses a version it does not know with std::runtime_error "Unknown <record> version." before
// any field changes, and a short stream with WQCommon::StreamError, leaving the fields read so
// far changed.
#pragma once

#include <WQBL/CurveEval.h>
#include <WQBL/Ranges.h>
#include <WQCommon/Binary.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace WQRepos {

// One field (column) of a table or field list; a vector of them gives the display order.
struct WQREPOS_EXPORT FieldPref : public WQCommon::IWQSerial {
  // Empty name, visible.
  FieldPref();

  using WQCommon::IWQSerial::Serialize;
  // Reads record version 1.
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Same name (case-sensitive) and same visibility.
  bool operator==(const FieldPref& other) const;

  std::wstring Name;
  bool Visible;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Name, self.Visible);
  }

 private:
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// The switches of the application's window layout.
struct WQREPOS_EXPORT GUILayoutPrefs : public WQCommon::IWQSerial {
  // Every flag true, Number 4.
  GUILayoutPrefs();

  using WQCommon::IWQSerial::Serialize;
  // Reads record versions 1 and 2. Version 1 holds no FlagC and FlagD; they become true.
  void Serialize(WQCommon::BinaryReader& reader) override;
  // Writes record version 2.
  void Serialize(WQCommon::BinaryWriter& writer) const override;

  bool FlagA;
  bool FlagB;
  std::uint32_t Number;
  bool FlagC;
  bool FlagD;
  bool FlagE;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.FlagA, self.FlagB, self.Number, self.FlagC, self.FlagD, self.FlagE);
  }

 private:
  void ReadVer1(WQCommon::BinaryReader& reader);
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// Total ion chromatogram generation.
struct WQREPOS_EXPORT GenTICPrefs : public WQCommon::IWQSerial {
  // Default filter, Option 2.
  GenTICPrefs();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Every field equal, in declaration order.
  bool operator==(const GenTICPrefs& other) const;

  WQBL::ICFilter Filter;
  std::uint32_t Option;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Filter, self.Option);
  }

 private:
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// Extracted ion chromatogram generation.
struct WQREPOS_EXPORT GenEICPrefs : public WQCommon::IWQSerial {
  // Default filter, no ranges or names, Option 2.
  GenEICPrefs();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Every field equal, in declaration order; vectors element by element.
  bool operator==(const GenEICPrefs& other) const;

  WQBL::ICFilter Filter;
  std::vector<WQBL::MZRange> MassRanges;
  std::vector<std::wstring> Names;
  std::uint32_t Option;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Filter, self.MassRanges, self.Names, self.Option);
  }

 private:
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// Base peak ion chromatogram generation.
struct WQREPOS_EXPORT GenBICPrefs : public WQCommon::IWQSerial {
  // Default filter, the default evaluation method (empty name), no ranges, the peak fields
  // Mass, Area, Intensity, Width (types 0, 2, 1, 3), Option 2.
  GenBICPrefs();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Every field equal, in declaration order; vectors element by element.
  bool operator==(const GenBICPrefs& other) const;

  // The spectrum evaluation method to use: DefaultSpectrumEvalMethod() when EvalMethodName is
  // empty, otherwise LoadSpectrumEvalMethod(EvalMethodName), whose errors pass to the caller.
  std::vector<WQBL::CurveEval> QEvalMethod() const;

  WQBL::ICFilter Filter;
  // A stored spectrum evaluation method, or empty for the default one.
  std::wstring EvalMethodName;
  std::vector<WQBL::MZRange> MassRanges;
  std::vector<WQBL::MZPeakField> PeakFields;
  std::uint32_t Option;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Filter, self.EvalMethodName, self.MassRanges, self.PeakFields,
                    self.Option);
  }

 private:
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// Spectrum generation.
struct WQREPOS_EXPORT GenSpectraPrefs : public WQCommon::IWQSerial {
  // No values, time ranges or names, the full mass range, Option 2.
  GenSpectraPrefs();

  using WQCommon::IWQSerial::Serialize;
  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Every field equal, in declaration order; vectors element by element.
  bool operator==(const GenSpectraPrefs& other) const;

  std::vector<std::uint32_t> Values;
  std::vector<WQBL::ICRange> TimeRanges;
  std::vector<std::wstring> Names;
  WQBL::MZRange MassRange;
  std::uint32_t Option;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Values, self.TimeRanges, self.Names, self.MassRange, self.Option);
  }

 private:
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

}  // namespace WQRepos
