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

void FieldPref::ReadVerCur(WQCommon::BinaryReader& reader) {
  WQCommon::ReadFields(reader, Fields(*this));
}

void FieldPref::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kFieldPrefVersion, *this);
}

bool FieldPref::operator==(const FieldPref& other) const { return Fields(*this) == Fields(other); }

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
  WQCommon::ReadFields(reader, Fields(*this));
}

void GUILayoutPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kGUILayoutPrefsVersion, *this);
}

GenTICPrefs::GenTICPrefs() : Option(2) {}

void GenTICPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenTICPrefsVersion, "GenTICPrefs");
  ReadVerCur(reader);
}

void GenTICPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  WQCommon::ReadFields(reader, Fields(*this));
}

void GenTICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kGenTICPrefsVersion, *this);
}

bool GenTICPrefs::operator==(const GenTICPrefs& other) const {
  return Fields(*this) == Fields(other);
}

GenEICPrefs::GenEICPrefs() : Option(2) {}

void GenEICPrefs::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kGenEICPrefsVersion, "GenEICPrefs");
  ReadVerCur(reader);
}

void GenEICPrefs::ReadVerCur(WQCommon::BinaryReader& reader) {
  WQCommon::ReadFields(reader, Fields(*this));
}

void GenEICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kGenEICPrefsVersion, *this);
}

bool GenEICPrefs::operator==(const GenEICPrefs& other) const {
  return Fields(*this) == Fields(other);
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
  WQCommon::ReadFields(reader, Fields(*this));
}

void GenBICPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kGenBICPrefsVersion, *this);
}

bool GenBICPrefs::operator==(const GenBICPrefs& other) const {
  return Fields(*this) == Fields(other);
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
  WQCommon::ReadFields(reader, Fields(*this));
}

void GenSpectraPrefs::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kGenSpectraPrefsVersion, *this);
}

bool GenSpectraPrefs::operator==(const GenSpectraPrefs& other) const {
  return Fields(*this) == Fields(other);
}

}  // namespace WQRepos
