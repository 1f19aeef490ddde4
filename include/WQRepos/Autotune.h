// Autotune settings: the compounds (tune points) and run-wide settings of an automatic tuning run,
// what the autotune dialog remembers, their binary and XML forms, where the autotune source file
// lies and which stored tunes are candidates for a run.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/Instrument.h>
#include <WQCommon/XML.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <list>
#include <string>
#include <tuple>
#include <vector>

namespace WQRepos {

// The diverter valve setting of a run. Values are part of the interface: never renumber them.
enum DiverterSourceTypes : std::int32_t { Load = 0, Waste = 1 };

// The resolution a tune was made for; it gives the first letter of the tune's name (L, U or H).
enum Resolution : std::int32_t { LowRes = 0, UnitRes = 1, HighRes = 2 };

// One compound of an autotune run. A plain value; the module gives its numbers no unit or range.
struct TunePoint {
  std::wstring Name;
  double Mass = 0.0;
  std::int32_t CapExit = 0;
  double Area = 0.0;
  double Time = 0.0;

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Name, self.Mass, self.CapExit, self.Area, self.Time);
  }
};

// The settings of an autotune run. Copies own their points and share nothing with the source.
struct WQREPOS_EXPORT AutotunePrefs {
  // Positive, Load, no points, probe kind 0, prime delay 0.
  AutotunePrefs();
  AutotunePrefs(const AutotunePrefs& other);
  AutotunePrefs& operator=(const AutotunePrefs& other);
  ~AutotunePrefs();

  WQCommon::PolarityTypes Polarity;
  DiverterSourceTypes DiverterSource;  // kept in the XML form only, not in the binary form
  std::vector<TunePoint> TunePoints;   // in run order
  WQCommon::Probes::ProbeTypes SourceType;
  std::int32_t PrimeDelay;

  // The fields of the binary form, in its order.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Polarity, self.TunePoints, self.SourceType, self.PrimeDelay);
  }
};

// What the autotune dialog remembers between runs; it has no stored form of its own.
struct WQREPOS_EXPORT AutotuneDlgBookPrefs {
  // Empty file name, both values 0.
  AutotuneDlgBookPrefs();
  AutotuneDlgBookPrefs(const AutotuneDlgBookPrefs& other);
  AutotuneDlgBookPrefs& operator=(const AutotuneDlgBookPrefs& other);
  ~AutotuneDlgBookPrefs();

  std::wstring TuneMixFile;  // full path of a tune-mix compound file
  std::int64_t Value1;       // kept for the dialog; the module gives it no meaning
  std::int64_t Value2;       // as Value1
};

// The dialog's values followed by the settings the dialog last used.
struct WQREPOS_EXPORT AutotuneDlgPrefs : AutotuneDlgBookPrefs {
  // The defaults of AutotuneDlgBookPrefs and AutotunePrefs.
  AutotuneDlgPrefs();
  AutotuneDlgPrefs(const AutotuneDlgPrefs& other);
  AutotuneDlgPrefs& operator=(const AutotuneDlgPrefs& other);
  ~AutotuneDlgPrefs();

  AutotunePrefs Settings;

  // The fields of the binary form, in its order, before the settings.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.TuneMixFile, self.Value1, self.Value2);
  }
};

// Every field equal; doubles compare exactly.
WQREPOS_EXPORT bool operator==(const TunePoint& left, const TunePoint& right);
WQREPOS_EXPORT bool operator==(const AutotunePrefs& left, const AutotunePrefs& right);
WQREPOS_EXPORT bool operator==(const AutotuneDlgPrefs& left, const AutotuneDlgPrefs& right);

// Binary forms. A TunePoint is Name, Mass, CapExit, Area, Time, with no version of its own.
// AutotunePrefs is its record version 5 (std::uint32_t), Polarity (std::int32_t), the point count
// (std::uint32_t), the points, SourceType and PrimeDelay (std::int32_t); DiverterSource is not
// part of it. AutotuneDlgPrefs is its record version 1, TuneMixFile, Value1, Value2 and the whole
// AutotunePrefs form of Settings.
//
// Reading raises no error of its own and never loads half a record. An AutotunePrefs whose version
// is not 5, or whose stream ends early (WQCommon::StreamError) or holds more points than it can
// supply, becomes AutotunePrefs(); after a good read DiverterSource keeps the value it had. An
// AutotuneDlgPrefs whose version is not 1 (or missing) becomes AutotuneDlgPrefs(); when its stream
// ends within the first three fields, the fields read so far keep their new values and Settings
// becomes AutotunePrefs(). Other errors of the toolkit pass through.
WQREPOS_EXPORT WQCommon::BinaryWriter& operator<<(WQCommon::BinaryWriter& writer,
                                                  const TunePoint& point);
WQREPOS_EXPORT WQCommon::BinaryReader& operator>>(WQCommon::BinaryReader& reader, TunePoint& point);
WQREPOS_EXPORT WQCommon::BinaryWriter& operator<<(WQCommon::BinaryWriter& writer,
                                                  const AutotunePrefs& prefs);
WQREPOS_EXPORT WQCommon::BinaryReader& operator>>(WQCommon::BinaryReader& reader,
                                                  AutotunePrefs& prefs);
WQREPOS_EXPORT WQCommon::BinaryWriter& operator<<(WQCommon::BinaryWriter& writer,
                                                  const AutotuneDlgPrefs& prefs);
WQREPOS_EXPORT WQCommon::BinaryReader& operator>>(WQCommon::BinaryReader& reader,
                                                  AutotuneDlgPrefs& prefs);

// XML forms. A TunePoint is written as the elements Name, Mass, CapExit, Area and Time into the
// element the builder has open. An AutotunePrefs is the element "AutoTunePrefs" holding Polarity
// ("Positive" or "Negative"), DiverterSource ("Load" or "Waste"), SourceType (the probe's name),
// TunePoints (one "TunePoint" element per point) and PrimeDelay. Numbers are written as a wide
// stream writes them: doubles to six significant digits (1234.5678 as 1234.57).
//
// Writing an AutotunePrefs throws QMVException "Enumeration value <n> not found in enumeration
// map." for a DiverterSource outside the enumeration, and WQCommon::UnknownPolarityError for a
// Polarity outside it; the builder then holds what was written so far.
WQREPOS_EXPORT WQCommon::XMLBuilder& operator<<(WQCommon::XMLBuilder& builder,
                                                const TunePoint& point);
WQREPOS_EXPORT WQCommon::XMLBuilder& operator<<(WQCommon::XMLBuilder& builder,
                                                const AutotunePrefs& prefs);

// Reads the children of the parser's current element into the point; an absent child leaves its
// field as it was. Mass, CapExit, Area and Time must be wholly a number of their type (no blanks;
// a leading "+" is allowed), otherwise boost::bad_lexical_cast is thrown with Boost's own text,
// the element, the document and the text nested in it (WQCommon::ContextOf).
WQREPOS_EXPORT WQCommon::XMLParser& operator>>(WQCommon::XMLParser& parser, TunePoint& point);

// Reads the element "AutoTunePrefs" below the parser's current place (or the top element when the
// parser stands before it). Throws WQCommon::XMLResultException with code 1001 and the element's
// name when AutoTunePrefs, Polarity, DiverterSource or TunePoints is missing, or when the list
// holds fewer "TunePoint" elements than children. Throws QMVException "Invalid IonPolarity (<text>)
// in WQRepos::QNode" or "Invalid DiverterSource (<text>) in WQRepos::QNode" for a text that names
// no value; DiverterSource also accepts the earlier texts "ToMS" (Load) and "Divert" (Waste).
// A point lacking a child takes that field from the point before it in the document. PrimeDelay is
// read as the integer its text begins with; without such an integer it keeps its value, and
// without the element it becomes 45. SourceType is never read. After a failure, Polarity and
// DiverterSource may hold new values, TunePoints is unchanged, and the parser is left inside the
// elements entered.
WQREPOS_EXPORT WQCommon::XMLParser& operator>>(WQCommon::XMLParser& parser, AutotunePrefs& prefs);

// The full path of "Source.xml" in the tunes directory of the built-in base data directory, which
// is used whatever ConfigClient.xml names. The file is neither opened nor tested.
WQREPOS_EXPORT std::wstring QAutoTuneSource();

// The names of the stored tunes that begin with the resolution's letter (L, U, H) followed by the
// polarity's sign (+ for Positive, - for Negative), letters compared without regard to case, in the
// order the tunes directory lists them. Empty when there are none or the directory is missing.
// Throws std::runtime_error naming the value for a resolution or polarity outside its enumeration.
WQREPOS_EXPORT std::list<std::wstring> QAutoTuneFileList(Resolution resolution,
                                                         WQCommon::PolarityTypes polarity);

}  // namespace WQRepos
