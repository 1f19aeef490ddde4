// The preference store: each preference is a small binary file of its own, "<name>.pref" in the
// preferences directory, of the form that WQRepos/PreferenceFile.h gives.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQRepos/Config.h>
#include <WQRepos/PreferenceFile.h>

#include <cstdint>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {

// Internal to each translation unit that stores preferences: the templates are instantiated for
// the record types of their callers and never exported.
namespace {

inline std::wstring PreferencePath(const std::wstring& name) {
  return RepositoryPath(Config::PrefsDir, name + L".pref");
}

// A record's body inside a preference file: a record type derived from WQCommon::IWQSerial, or
// with a BinaryWriter operator of its own, writes itself; a vector is a counted list of such
// records. They are read by ReadBody.
template <typename Record>
void WriteBody(WQCommon::BinaryWriter& writer, const Record& record) {
  writer << record;
}

template <typename Element>
void WriteBody(WQCommon::BinaryWriter& writer, const std::vector<Element>& records) {
  WQCommon::WriteCountedList(writer, records);
}

// Saves `record` as the preference `name`, replacing the file whole or not at all. Throws
// std::runtime_error "In function`anonymous-namespace'::SavePreference; \nerror creating/saving
// preference file <path>" when it cannot be saved.
template <typename Record>
void SavePreference(const std::wstring& name, const Record& record) {
  const std::wstring path = PreferencePath(name);
  std::wostringstream failure;
  failure << L"In function" << L"`anonymous-namespace'::SavePreference"
          << L"; \nerror creating/saving preference file " << path;
  SaveBinaryFile(path, WQCommon::WQWideToNarrowStr(failure.str()),
                 [&record](WQCommon::BinaryWriter& writer) {
                   writer << kPreferenceFileVersion;
                   WriteBody(writer, record);
                 });
}

// Loads the preference `name` into `record`, which holds the caller's default on entry. When no
// file can be opened the default stays; when the file cannot be read (another file version, a
// record version that the record refuses, a short file) `record` becomes Record(). Reports
// nothing; exceptions outside the std::exception family pass through. Bytes after the record are
// not looked at: the autotune records stop short of a file cut within them, keeping what they
// read (ReadPreferenceStrictly refuses both).
template <typename Record>
void LoadPreference(const std::wstring& name, Record& record) {
  try {
    ReadVersionedFile(
        PreferencePath(name), FileVersions::Only(kPreferenceFileVersion),
        "Invalid preference file.",
        [&record](WQCommon::BinaryReader& reader, std::uint32_t) { ReadBody(reader, record); },
        Rest::Ignored);
  } catch (const std::exception&) {
    record = Record();
  }
}

}  // namespace

}  // namespace WQRepos
