#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceRecords.h>

#include <stdexcept>

#include "prefs/PreferenceStore.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kFieldPrefVersion = 1;
constexpr std::uint32_t kGUILayoutPrefsVersion1 = 1;
constexpr std::uint32_t kGUILayoutPrefsVersion = 2;
constexpr std::uint32_t kGenTICPrefsVersion = 1;
constexpr std::uint32_t kGenEICPrefsVersion = 1;
constexpr std::uint32_t kGenBICPrefsVersion = 1;
constexpr std::uint32_t kGenSpectraPrefsVersion = 1;

}  // namespace

FieldPref::FieldPref() : Visible(true) {}

void FieldPref::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kFieldPrefVersion, "FieldPref");
  ReadVerCur(reader);
}

void FieldPref::ReadVerCur(WQCommon::BinaryReader& reader) { reader >> Name >> Visible; }

void FieldPref::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kFieldPrefVersion << Name << Visible;
}

bool FieldPref::operator==(const FieldPref& other) const {
  return this == &other || (Name == other.Name && Visible == other.Visible);
}

GUILayoutPrefs::GUILayoutPrefs()
    : FlagA(true), FlagB(true), Number(4), FlagC(true), FlagD(true), FlagE(true) {}

void GUILayoutPrefs::Serialize(WQCommon::BinaryReader& reader) {
  std::uint32_t version = 0;
  reader >> version;
  if (version == kGUILayoutPrefsVersion) {
    ReadVerCur(reader);
  } else if (version == kGUILayoutPrefsVersion1) {
    ReadVer1(reader);
  } else {
    throw std::runtime_error("Unknown GUILayoutPrefs version.");
  }
}

void GUILayoutPrefs::ReadVer1(WQCommon::BinaryReader& reader) {
  bool discarded = false;
  reader >> FlagB >> Number >> discarded >> FlagA >> discarded >> FlagE;
  FlagC = true;
  FlagD = true;
}

void GUILayoutPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  reader >> FlagA >> FlagB >> Number >> FlagC >> FlagD >> FlagE;
}

void GUILayoutPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kGUILayoutPrefsVersion << FlagA << FlagB << Number << FlagC << FlagD << FlagE;
}

GenTICPrefs::GenTICPrefs() : Option(2) {}

void GenTICPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenTICPrefsVersion, "GenTICPrefs");
  ReadVerCur(reader);
}

void GenTICPrefs::ReadVerCur(WQCommon::BinaryReader& reader) { reader >> Filter >> Option; }

void GenTICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kGenTICPrefsVersion << Filter << Option;
}

bool GenTICPrefs::operator==(const GenTICPrefs& other) const {
  return this == &other || (Filter == other.Filter && Option == other.Option);
}

GenEICPrefs::GenEICPrefs() : Option(2) {}

void GenEICPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenEICPrefsVersion, "GenEICPrefs");
  ReadVerCur(reader);
}

void GenEICPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  reader >> Filter;
  MassRanges = ReadCountedList<WQBL::MZRange>(reader);
  Names = ReadCountedList<std::wstring>(reader);
  reader >> Option;
}

void GenEICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kGenEICPrefsVersion << Filter;
  WriteCountedList(writer, MassRanges);
  WriteCountedList(writer, Names);
  writer << Option;
}

bool GenEICPrefs::operator==(const GenEICPrefs& other) const {
  return this == &other || (Filter == other.Filter && MassRanges == other.MassRanges &&
                            Names == other.Names && Option == other.Option);
}

GenBICPrefs::GenBICPrefs()
    : PeakFields{WQBL::MZPeakField(WQBL::MZPeakField::Mass),
                 WQBL::MZPeakField(WQBL::MZPeakField::Area),
                 WQBL::MZPeakField(WQBL::MZPeakField::Intensity),
                 WQBL::MZPeakField(WQBL::MZPeakField::Width)},
      Option(2) {}

void GenBICPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenBICPrefsVersion, "GenBICPrefs");
  ReadVerCur(reader);
}

void GenBICPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  reader >> Filter >> EvalMethodName;
  MassRanges = ReadCountedList<WQBL::MZRange>(reader);
  PeakFields = ReadCountedList<WQBL::MZPeakField>(reader);
  reader >> Option;
}

void GenBICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kGenBICPrefsVersion << Filter << EvalMethodName;
  WriteCountedList(writer, MassRanges);
  WriteCountedList(writer, PeakFields);
  writer << Option;
}

bool GenBICPrefs::operator==(const GenBICPrefs& other) const {
  return this == &other || (Filter == other.Filter && EvalMethodName == other.EvalMethodName &&
                            MassRanges == other.MassRanges && PeakFields == other.PeakFields &&
                            Option == other.Option);
}

std::vector<WQBL::CurveEval> GenBICPrefs::QEvalMethod() const {
  return EvalMethodName.empty() ? DefaultSpectrumEvalMethod()
                                : LoadSpectrumEvalMethod(EvalMethodName);
}

GenSpectraPrefs::GenSpectraPrefs() : Option(2) {}

void GenSpectraPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenSpectraPrefsVersion, "GenSpectraPrefs");
  ReadVerCur(reader);
}

void GenSpectraPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  Values = ReadCountedList<std::uint32_t>(reader);
  TimeRanges = ReadCountedList<WQBL::ICRange>(reader);
  Names = ReadCountedList<std::wstring>(reader);
  reader >> MassRange >> Option;
}

void GenSpectraPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kGenSpectraPrefsVersion;
  WriteCountedList(writer, Values);
  WriteCountedList(writer, TimeRanges);
  WriteCountedList(writer, Names);
  writer << MassRange << Option;
}

bool GenSpectraPrefs::operator==(const GenSpectraPrefs& other) const {
  return this == &other ||
         (Values == other.Values && TimeRanges == other.TimeRanges && Names == other.Names &&
          MassRange == other.MassRange && Option == other.Option);
}

}  // namespace WQRepos
