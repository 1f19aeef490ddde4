// The form of a preference file: the file version, then the record's body and nothing after it;
// and its strict reading, which refuses all that the module's lenient load passes over.
#pragma once

#include <WQCommon/Binary.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/PreferenceRecords.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace WQRepos {

// The version that begins every preference file.
inline constexpr std::uint32_t kPreferenceFileVersion = 1;

// A record's body: a record reads itself, and a vector is a counted list of records.
template <typename Record>
void ReadBody(WQCommon::BinaryReader& reader, Record& record) {
  reader >> record;
}

template <typename Element>
void ReadBody(WQCommon::BinaryReader& reader, std::vector<Element>& records) {
  records = WQCommon::ReadCountedList<Element>(reader);
}

// A record's body read strictly, throwing at the first thing it cannot read.
template <typename Record>
void ReadBodyStrictly(WQCommon::BinaryReader& reader, Record& record) {
  ReadBody(reader, record);
}

// The autotune records' own readers swallow their errors, so their fields are read here, after
// the record versions that their binary forms document (5 and 1).
inline void ReadBodyStrictly(WQCommon::BinaryReader& reader, AutotunePrefs& prefs) {
  WQCommon::ReadRecordVersion(reader, 5, "AutotunePrefs");
  WQCommon::ReadFields(reader, AutotunePrefs::Fields(prefs));
}

inline void ReadBodyStrictly(WQCommon::BinaryReader& reader, AutotuneDlgPrefs& prefs) {
  WQCommon::ReadRecordVersion(reader, 1, "AutotuneDlgPrefs");
  WQCommon::ReadFields(reader, AutotuneDlgPrefs::Fields(prefs));
  ReadBodyStrictly(reader, prefs.Settings);
}

// The record of a preference file's content in `reader`, read strictly. Throws std::runtime_error
// "unknown file version <n>" for a file of another version, and the record's own error, or
// WQCommon::StreamError for a file cut short or with bytes after the record.
template <typename Record>
Record ReadPreferenceStrictly(WQCommon::BinaryReader& reader) {
  std::uint32_t version = 0;
  reader >> version;
  if (version != kPreferenceFileVersion)
    throw std::runtime_error("unknown file version " + std::to_string(version));
  Record record;
  ReadBodyStrictly(reader, record);
  reader.RequireEnd();
  return record;
}

}  // namespace WQRepos
