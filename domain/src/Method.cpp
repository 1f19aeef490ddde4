#include <WQBL/Method.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace WQBL {

namespace {

constexpr std::uint32_t kMethodVersion = 1;

// The fewest bytes a tune table entry takes in the binary form, for checking a count read from a
// stream before anything is sized by it.
constexpr std::size_t kMinTuneEntryBytes = 4 + 4 + 4 + 4;

void Write(WQCommon::BinaryWriter& writer, std::uint32_t id, const TuneEntry& entry) {
  writer << id << entry.Name << static_cast<std::int32_t>(entry.Probe)
         << static_cast<std::int32_t>(entry.Polarity);
}

void ReadTuneTable(WQCommon::BinaryReader& reader, Method::TuneTable& table) {
  std::uint32_t count = 0;
  reader >> count;
  reader.CheckCount(count, kMinTuneEntryBytes);
  for (std::uint32_t index = 0; index < count; ++index) {
    std::uint32_t id = 0;
    TuneEntry entry;
    reader >> id >> entry.Name;
    entry.Probe = WQCommon::ReadEnumeration<WQCommon::Probes::ProbeTypes>(reader);
    entry.Polarity = WQCommon::ReadEnumeration<WQCommon::PolarityTypes>(reader);
    if (!table.emplace(id, entry).second)
      throw std::runtime_error("Duplicate tune id " + std::to_string(id) + " in Method.");
  }
}

}  // namespace

SequenceItem::SequenceItem()
    : Kind(FullScan),
      StartMZ(100.0),
      EndMZ(1000.0),
      DwellTime(0.001),
      Duration(1.0),
      Polarity(WQCommon::Positive),
      TuneId(1) {}

bool SequenceItem::operator==(const SequenceItem& other) const {
  return Fields(*this) == Fields(other);
}

// Items and periods are stored in counted lists of the method's binary form.
WQCommon::BinaryWriter& operator<<(WQCommon::BinaryWriter& writer, const SequenceItem& item) {
  WQCommon::WriteFields(writer, SequenceItem::Fields(item));
  return writer;
}

WQCommon::BinaryReader& operator>>(WQCommon::BinaryReader& reader, SequenceItem& item) {
  WQCommon::ReadFields(reader, SequenceItem::Fields(item));
  return reader;
}

TimePeriod::TimePeriod() : Duration(1.0), NumLoops(1), Timeout(0) {}

bool TimePeriod::operator==(const TimePeriod& other) const {
  return Fields(*this) == Fields(other);
}

WQCommon::BinaryWriter& operator<<(WQCommon::BinaryWriter& writer, const TimePeriod& period) {
  WQCommon::WriteFields(writer, TimePeriod::Fields(period));
  return writer;
}

WQCommon::BinaryReader& operator>>(WQCommon::BinaryReader& reader, TimePeriod& period) {
  WQCommon::ReadFields(reader, TimePeriod::Fields(period));
  return reader;
}

TuneEntry::TuneEntry() : Probe(WQCommon::Probes::ESI), Polarity(WQCommon::Positive) {}

TuneEntry::TuneEntry(std::wstring name, WQCommon::Probes::ProbeTypes probe,
                     WQCommon::PolarityTypes polarity)
    : Name(std::move(name)), Probe(probe), Polarity(polarity) {}

void TuneEntry::Serialize(WQCommon::XMLParser& parser) {
  parser.QNode(L"TuneName", Name);
  std::wstring text;
  if (parser.QNode(L"Probe", text)) {
    const int probe = WQCommon::Probes::GetId(text);
    if (probe != -1) Probe = static_cast<WQCommon::Probes::ProbeTypes>(probe);
  }
  if (parser.QNode(L"Polarity", text)) Polarity = WQCommon::PolarityFromWStr(text);
}

void TuneEntry::Serialize(WQCommon::XMLBuilder& builder) const {
  const std::wstring polarity = WQCommon::PolarityToWStr(Polarity);
  builder.WNode(L"TuneName", Name);
  builder.WNode(L"Probe", WQCommon::Probes::GetName(Probe));
  builder.WNode(L"Polarity", polarity);
}

bool TuneEntry::operator==(const TuneEntry& other) const {
  return std::tie(Name, Probe, Polarity) == std::tie(other.Name, other.Probe, other.Polarity);
}

void Method::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kMethodVersion, "Method");
  Method read;
  read.TimePeriods = WQCommon::ReadCountedList<TimePeriod>(reader);
  ReadTuneTable(reader, read.Tunes);
  *this = std::move(read);
}

void Method::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kMethodVersion;
  WQCommon::WriteCountedList(writer, TimePeriods);
  writer << static_cast<std::uint32_t>(Tunes.size());
  for (const auto& [id, entry] : Tunes) Write(writer, id, entry);
}

bool Method::operator==(const Method& other) const {
  return TimePeriods == other.TimePeriods && Tunes == other.Tunes;
}

}  // namespace WQBL
