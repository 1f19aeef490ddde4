#include <WQRepos/Autotune.h>

namespace WQRepos {

namespace {

using WQCommon::BinaryReader;
using WQCommon::BinaryWriter;

constexpr std::uint32_t kAutotunePrefsVersion = 5;
constexpr std::uint32_t kAutotuneDlgPrefsVersion = 1;
// True when the next word is `expected`; false when it is another or the stream ends first.
bool ReadVersion(BinaryReader& reader, std::uint32_t expected) {
  std::uint32_t version = 0;
  try {
    reader >> version;
  } catch (const WQCommon::StreamError&) {
    return false;
  }
  return version == expected;
}

// Reads a whole current-version record into `prefs`; false, with `prefs` partly read, when the
// version is another or the stream ends early.
bool ReadAutotunePrefs(BinaryReader& reader, AutotunePrefs& prefs) {
  if (!ReadVersion(reader, kAutotunePrefsVersion)) return false;
  try {
    WQCommon::ReadFields(reader, AutotunePrefs::Fields(prefs));
  } catch (const WQCommon::StreamError&) {
    return false;
  }
  return true;
}

}  // namespace

AutotunePrefs::AutotunePrefs()
    : Polarity(WQCommon::Positive),
      DiverterSource(Load),
      SourceType(static_cast<WQCommon::Probes::ProbeTypes>(0)),
      PrimeDelay(0) {}

AutotunePrefs::AutotunePrefs(const AutotunePrefs& other) = default;
AutotunePrefs& AutotunePrefs::operator=(const AutotunePrefs& other) = default;
AutotunePrefs::~AutotunePrefs() = default;

AutotuneDlgBookPrefs::AutotuneDlgBookPrefs() : Value1(0), Value2(0) {}
AutotuneDlgBookPrefs::AutotuneDlgBookPrefs(const AutotuneDlgBookPrefs& other) = default;
AutotuneDlgBookPrefs& AutotuneDlgBookPrefs::operator=(const AutotuneDlgBookPrefs& other) = default;
AutotuneDlgBookPrefs::~AutotuneDlgBookPrefs() = default;

AutotuneDlgPrefs::AutotuneDlgPrefs() = default;
AutotuneDlgPrefs::AutotuneDlgPrefs(const AutotuneDlgPrefs& other) = default;
AutotuneDlgPrefs& AutotuneDlgPrefs::operator=(const AutotuneDlgPrefs& other) = default;
AutotuneDlgPrefs::~AutotuneDlgPrefs() = default;

bool operator==(const TunePoint& left, const TunePoint& right) {
  return TunePoint::Fields(left) == TunePoint::Fields(right);
}

bool operator==(const AutotunePrefs& left, const AutotunePrefs& right) {
  return AutotunePrefs::Fields(left) == AutotunePrefs::Fields(right) &&
         left.DiverterSource == right.DiverterSource;
}

bool operator==(const AutotuneDlgPrefs& left, const AutotuneDlgPrefs& right) {
  return AutotuneDlgPrefs::Fields(left) == AutotuneDlgPrefs::Fields(right) &&
         left.Settings == right.Settings;
}

BinaryWriter& operator<<(BinaryWriter& writer, const TunePoint& point) {
  WQCommon::WriteFields(writer, TunePoint::Fields(point));
  return writer;
}

BinaryReader& operator>>(BinaryReader& reader, TunePoint& point) {
  WQCommon::ReadFields(reader, TunePoint::Fields(point));
  return reader;
}

BinaryWriter& operator<<(BinaryWriter& writer, const AutotunePrefs& prefs) {
  WQCommon::WriteRecord(writer, kAutotunePrefsVersion, prefs);
  return writer;
}

BinaryReader& operator>>(BinaryReader& reader, AutotunePrefs& prefs) {
  if (!ReadAutotunePrefs(reader, prefs)) prefs = AutotunePrefs();
  return reader;
}

BinaryWriter& operator<<(BinaryWriter& writer, const AutotuneDlgPrefs& prefs) {
  WQCommon::WriteRecord(writer, kAutotuneDlgPrefsVersion, prefs);
  return writer << prefs.Settings;
}

BinaryReader& operator>>(BinaryReader& reader, AutotuneDlgPrefs& prefs) {
  if (!ReadVersion(reader, kAutotuneDlgPrefsVersion)) {
    prefs = AutotuneDlgPrefs();
    return reader;
  }
  try {
    WQCommon::ReadFields(reader, AutotuneDlgPrefs::Fields(prefs));
  } catch (const WQCommon::StreamError&) {
    // The stream has ended, so the settings that follow cannot be read either.
    prefs.Settings = AutotunePrefs();
    return reader;
  }
  return reader >> prefs.Settings;
}

}  // namespace WQRepos
