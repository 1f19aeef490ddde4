// The reference calibrants: named compounds with three values each, used when the instrument is
// calibrated. The whole list is kept in one file, "RefCals.cal" in the calibration directory.
#pragma once

#include <WQCommon/Binary.h>
#include <WQRepos/Export.h>

#include <string>
#include <tuple>
#include <vector>

namespace WQRepos {

struct WQREPOS_EXPORT RefCal : public WQCommon::IWQSerial {
  // Empty name, Param1 and Param2 0, Param3 100000.
  RefCal();
  RefCal(const std::wstring& name, double param1, double param2, double param3);

  using WQCommon::IWQSerial::Serialize;
  // Reads record versions 1 and 2; version 1 holds no Param3, which becomes 100000. Throws
  // std::runtime_error "Unknown RefCal version." for any other version, before any field changes,
  // and WQCommon::StreamError for a short stream.
  void Serialize(WQCommon::BinaryReader& reader) override;
  // Writes record version 2.
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  // Same name (case-sensitive) and each value within 1e-6; a NaN value is never equal.
  bool operator==(const RefCal& other) const;

  std::wstring Name;
  double Param1;
  double Param2;
  double Param3;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Name, self.Param1, self.Param2, self.Param3);
  }

 private:
  void ReadVer1(WQCommon::BinaryReader& reader);
  void ReadVerCur(WQCommon::BinaryReader& reader);
};

// Stores the list, replacing the file whole or not at all. Throws std::runtime_error "Unable to
// create reference calibrants file." when it cannot be saved.
WQREPOS_EXPORT void SaveReferenceCalibrants(const std::vector<RefCal>& calibrants);

// The stored list; empty when there is no file. Throws std::runtime_error "Invalid reference
// calibrants file." for a file of another version, the record's errors for a record it cannot
// read, and WQCommon::StreamError naming the file for a short file.
WQREPOS_EXPORT std::vector<RefCal> LoadReferenceCalibrants();

}  // namespace WQRepos
