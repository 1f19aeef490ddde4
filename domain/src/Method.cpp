#include <WQBL/Method.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace WQBL {

namespace {

constexpr std::uint32_t kMethodVersion = 1;

// The fewest bytes each listed record takes in the binary form, for checking counts read from a
// stream before anything is sized by them.
constexpr std::size_t kMinTimePeriodBytes = 8 + 4 + 4 + 4;
constexpr std::size_t kMinSequenceItemBytes = 4 + 4 * 8 + 4 + 4;
constexpr std::size_t kMinTuneEntryBytes = 4 + 4 + 4 + 4;

// Enumerations are stored as std::int32_t.
template <typename Enum>
void ReadEnum(WQCommon::BinaryReader& reader, Enum& value) {
  std::int32_t stored = 0;
  reader >> stored;
  value = static_cast<Enum>(stored);
}

void Write(WQCommon::BinaryWriter& writer, const SequenceItem& item) {
  writer << static_cast<std::int32_t>(item.Kind) << item.StartMZ << item.EndMZ << item.DwellTime
         << item.Duration << static_cast<std::int32_t>(item.Polarity) << item.TuneId;
}

void Read(WQCommon::BinaryReader& reader, SequenceItem& item) {
  ReadEnum(reader, item.Kind);
  reader >> item.StartMZ >> item.EndMZ >> item.DwellTime >> item.Duration;
  ReadEnum(reader, item.Polarity);
  reader >> item.TuneId;
}

void Write(WQCommon::BinaryWriter& writer, const TimePeriod& period) {
  writer << period.Duration << period.NumLoops << period.Timeout
         << static_cast<std::uint32_t>(period.Items.size());
  for (const SequenceItem& item : period.Items) Write(writer, item);
}

void Read(WQCommon::BinaryReader& reader, TimePeriod& period) {
  std::uint32_t count = 0;
  reader >> period.Duration >> period.NumLoops >> period.Timeout >> count;
  reader.CheckCount(count, kMinSequenceItemBytes);
  period.Items.resize(count);
  for (SequenceItem& item : period.Items) Read(reader, item);
}

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
    ReadEnum(reader, entry.Probe);
    ReadEnum(reader, entry.Polarity);
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
  return std::tie(Kind, StartMZ, EndMZ, DwellTime, Duration, Polarity, TuneId) ==
         std::tie(other.Kind, other.StartMZ, other.EndMZ, other.DwellTime, other.Duration,
                  other.Polarity, other.TuneId);
}

TimePeriod::TimePeriod() : Duration(1.0), NumLoops(1), Timeout(0) {}

bool TimePeriod::operator==(const TimePeriod& other) const {
  return std::tie(Duration, NumLoops, Timeout, Items) ==
         std::tie(other.Duration, other.NumLoops, other.Timeout, other.Items);
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
  std::uint32_t count = 0;
  reader >> count;
  reader.CheckCount(count, kMinTimePeriodBytes);
  read.TimePeriods.resize(count);
  for (TimePeriod& period : read.TimePeriods) Read(reader, period);
  ReadTuneTable(reader, read.Tunes);
  *this = std::move(read);
}

void Method::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kMethodVersion << static_cast<std::uint32_t>(TimePeriods.size());
  for (const TimePeriod& period : TimePeriods) Write(writer, period);
  writer << static_cast<std::uint32_t>(Tunes.size());
  for (const auto& [id, entry] : Tunes) Write(writer, id, entry);
}

bool Method::operator==(const Method& other) const {
  return TimePeriods == other.TimePeriods && Tunes == other.Tunes;
}

}  // namespace WQBL
