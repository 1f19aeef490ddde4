#include <WQRepos/Autotune.h>

#include <tuple>

namespace WQRepos {

namespace {

using WQCommon::BinaryReader;
using WQCommon::BinaryWriter;

constexpr std::uint32_t kAutotunePrefsVersion = 5;
constexpr std::uint32_t kAutotuneDlgPrefsVersion = 1;
// The fewest bytes a stored TunePoint takes: the length word of an empty name, three doubles and
// an int.
constexpr std::size_t kMinTunePointBytes = 4 + 3 * 8 + 4;

std::int32_t ReadInt(BinaryReader& reader) {
  std::int32_t value = 0;
  reader >> value;
  return value;
}

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

std::vector<TunePoint> ReadTunePoints(BinaryReader& reader) {
  std::uint32_t count = 0;
  reader >> count;
  reader.CheckCount(count, kMinTunePointBytes);
  std::vector<TunePoint> points;
  points.reserve(count);
  TunePoint point;
  for (std::uint32_t i = 0; i < count; ++i) {
    reader >> point;
    points.push_back(point);
  }
  return points;
}

// Reads a whole current-version record into `prefs`; false, with `prefs` partly read, when the
// version is another or the stream ends early.
bool ReadAutotunePrefs(BinaryReader& reader, AutotunePrefs& prefs) {
  if (!ReadVersion(reader, kAutotunePrefsVersion)) return false;
  try {
    prefs.Polarity = static_cast<WQCommon::PolarityTypes>(ReadInt(reader));
    prefs.TunePoints = ReadTunePoints(reader);
    prefs.SourceType = static_cast<WQCommon::Probes::ProbeTypes>(ReadInt(reader));
    prefs.PrimeDelay = ReadInt(reader);
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
  return std::tie(left.Name, left.Mass, left.CapExit, left.Area, left.Time) ==
         std::tie(right.Name, right.Mass, right.CapExit, right.Area, right.Time);
}

bool operator==(const AutotunePrefs& left, const AutotunePrefs& right) {
  return std::tie(left.Polarity, left.DiverterSource, left.TunePoints, left.SourceType,
                  left.PrimeDelay) == std::tie(right.Polarity, right.DiverterSource,
                                               right.TunePoints, right.SourceType,
                                               right.PrimeDelay);
}

bool operator==(const AutotuneDlgPrefs& left, const AutotuneDlgPrefs& right) {
  return std::tie(left.TuneMixFile, left.Value1, left.Value2, left.Settings) ==
         std::tie(right.TuneMixFile, right.Value1, right.Value2, right.Settings);
}

BinaryWriter& operator<<(BinaryWriter& writer, const TunePoint& point) {
  return writer << point.Name << point.Mass << point.CapExit << point.Area << point.Time;
}

BinaryReader& operator>>(BinaryReader& reader, TunePoint& point) {
  return reader >> point.Name >> point.Mass >> point.CapExit >> point.Area >> point.Time;
}

BinaryWriter& operator<<(BinaryWriter& writer, const AutotunePrefs& prefs) {
  writer << kAutotunePrefsVersion << static_cast<std::int32_t>(prefs.Polarity)
         << static_cast<std::uint32_t>(prefs.TunePoints.size());
  for (const TunePoint& point : prefs.TunePoints) writer << point;
  return writer << static_cast<std::int32_t>(prefs.SourceType) << prefs.PrimeDelay;
}

BinaryReader& operator>>(BinaryReader& reader, AutotunePrefs& prefs) {
  if (!ReadAutotunePrefs(reader, prefs)) prefs = AutotunePrefs();
  return reader;
}

BinaryWriter& operator<<(BinaryWriter& writer, const AutotuneDlgPrefs& prefs) {
  return writer << kAutotuneDlgPrefsVersion << prefs.TuneMixFile << prefs.Value1 << prefs.Value2
                << prefs.Settings;
}

BinaryReader& operator>>(BinaryReader& reader, AutotuneDlgPrefs& prefs) {
  if (!ReadVersion(reader, kAutotuneDlgPrefsVersion)) {
    prefs = AutotuneDlgPrefs();
    return reader;
  }
  try {
    reader >> prefs.TuneMixFile >> prefs.Value1 >> prefs.Value2;
  } catch (const WQCommon::StreamError&) {
    // The stream has ended, so the settings that follow cannot be read either.
    prefs.Settings = AutotunePrefs();
    return reader;
  }
  return reader >> prefs.Settings;
}

}  // namespace WQRepos
