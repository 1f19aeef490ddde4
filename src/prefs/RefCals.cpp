#include <WQRepos/RefCals.h>

#include <cmath>
#include <stdexcept>

#include "frame/Files.h"
#include "frame/Repository.h"
#include "prefs/PreferenceStore.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kRefCalVersion1 = 1;
constexpr std::uint32_t kRefCalVersion = 2;
constexpr std::uint32_t kRefCalsFileVersion = 1;
constexpr double kDefaultParam3 = 100000.0;
constexpr double kTolerance = 1e-6;

std::wstring RefCalsPath() { return RepositoryPath(Config::CalibrationDir, L"RefCals.cal"); }

bool WithinTolerance(double a, double b) { return std::fabs(a - b) <= kTolerance; }

}  // namespace

RefCal::RefCal() : RefCal(L"", 0.0, 0.0, kDefaultParam3) {}

RefCal::RefCal(const std::wstring& name, double param1, double param2, double param3)
    : Name(name), Param1(param1), Param2(param2), Param3(param3) {}

void RefCal::Serialize(WQCommon::BinaryReader& reader) {
  std::uint32_t version = 0;
  reader >> version;
  if (version == kRefCalVersion) {
    ReadVerCur(reader);
  } else if (version == kRefCalVersion1) {
    ReadVer1(reader);
  } else {
    throw std::runtime_error("Unknown RefCal version.");
  }
}

void RefCal::ReadVer1(WQCommon::BinaryReader& reader) {
  reader >> Name >> Param1 >> Param2;
  Param3 = kDefaultParam3;
}

void RefCal::ReadVerCur(WQCommon::BinaryReader& reader) {
  WQCommon::ReadFields(reader, Fields(*this));
}

void RefCal::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kRefCalVersion, *this);
}

bool RefCal::operator==(const RefCal& other) const {
  return Name == other.Name && WithinTolerance(Param1, other.Param1) &&
         WithinTolerance(Param2, other.Param2) && WithinTolerance(Param3, other.Param3);
}

void SaveReferenceCalibrants(const std::vector<RefCal>& calibrants) {
  SaveBinaryFile(RefCalsPath(), "Unable to create reference calibrants file.",
                 [&calibrants](WQCommon::BinaryWriter& writer) {
                   writer << kRefCalsFileVersion;
                   WQCommon::WriteCountedList(writer, calibrants);
                 });
}

std::vector<RefCal> LoadReferenceCalibrants() {
  std::vector<RefCal> calibrants;
  ReadVersionedFile(RefCalsPath(), FileVersions::Only(kRefCalsFileVersion),
                    "Invalid reference calibrants file.",
                    [&calibrants](WQCommon::BinaryReader& reader, std::uint32_t) {
                      calibrants = WQCommon::ReadCountedList<RefCal>(reader);
                    });
  return calibrants;
}

}  // namespace WQRepos
