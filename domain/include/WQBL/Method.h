// An acquisition method of the single-quadrupole instrument: a run divided into time periods, each
// cycling through its sequence items, and the table of tunes those items run with.
#pragma once

#include <WQBL/Export.h>
#include <WQCommon/Binary.h>
#include <WQCommon/Instrument.h>
#include <WQCommon/XML.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace WQBL {

// One step of a time period's cycle: a full scan over an m/z range, or the monitoring of a single
// m/z (SIM).
struct WQBL_EXPORT SequenceItem {
  // Values are stored in files: never renumber them. Based on int so that a value read from a
  // file that is no kind stays a valid value.
  enum ItemKinds : std::int32_t { FullScan = 0, SIM = 1 };

  // A positive full scan from m/z 100 to 1000 in one second with tune 1.
  SequenceItem();
  bool operator==(const SequenceItem& other) const;
  bool operator!=(const SequenceItem& other) const { return !(*this == other); }

  ItemKinds Kind;
  double StartMZ;    // a scan's first m/z; the m/z that a SIM item monitors
  double EndMZ;      // a scan's last m/z; not used by SIM items
  double DwellTime;  // seconds spent at each measured m/z
  double Duration;   // seconds one pass of the item takes
  WQCommon::PolarityTypes Polarity;
  std::uint32_t TuneId;  // key into the method's tune table

  // The stored fields, in the order of the binary form.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Kind, self.StartMZ, self.EndMZ, self.DwellTime, self.Duration,
                    self.Polarity, self.TuneId);
  }
};

constexpr WQCommon::StoredEnumeration StoredValues(SequenceItem::ItemKinds) {
  return {"Kind", SequenceItem::FullScan, SequenceItem::SIM};
}

// A stretch of the run. A period whose duration is (practically) zero has no fixed length: it
// cycles through its items NumLoops times and ends at its time-out.
struct WQBL_EXPORT TimePeriod {
  // One minute, one loop, no time-out, no items.
  TimePeriod();
  bool operator==(const TimePeriod& other) const;
  bool operator!=(const TimePeriod& other) const { return !(*this == other); }

  double Duration;         // minutes
  std::uint32_t NumLoops;  // passes through the items
  std::uint32_t Timeout;   // milliseconds
  std::vector<SequenceItem> Items;

  // The stored fields, in the order of the binary form; the items are a counted list.
  template <typename Self>
  static auto Fields(Self& self) {
    return std::tie(self.Duration, self.NumLoops, self.Timeout, self.Items);
  }
};

// The tune a method's items run with, referred to by the tune's name in the tunes repository.
// Its XML form is three child elements of the current element: "TuneName", "Probe" (the probe's
// name with its id) and "Polarity". Reading takes each element that is present; a probe name that
// names no probe leaves Probe as it was. Reading or writing a polarity that is none throws
// WQCommon::UnknownPolarityError.
class WQBL_EXPORT TuneEntry : public WQCommon::IWQXML {
 public:
  // No name, ESI, positive.
  TuneEntry();
  TuneEntry(std::wstring name, WQCommon::Probes::ProbeTypes probe,
            WQCommon::PolarityTypes polarity);

  void Serialize(WQCommon::XMLParser& parser) override;
  void Serialize(WQCommon::XMLBuilder& builder) const override;

  bool operator==(const TuneEntry& other) const;
  bool operator!=(const TuneEntry& other) const { return !(*this == other); }

  std::wstring Name;
  WQCommon::Probes::ProbeTypes Probe;
  WQCommon::PolarityTypes Polarity;
};

// A plain value: the time periods and the tune table are public members. The binary form starts
// with a record version of its own. Reading throws std::runtime_error "Unknown Method version."
// for another version and "Duplicate tune id <id> in Method." for a tune table that names an id
// twice, and WQCommon::StreamError for a kind, probe or polarity that is none of its values, and
// for a stream that ends early or holds a count larger than the
// rest of the stream can hold. A failed read leaves the method as it was.
class WQBL_EXPORT Method : public WQCommon::IWQSerial {
 public:
  // Tune id to tune entry, in ascending id order.
  using TuneTable = std::map<std::uint32_t, TuneEntry>;

  void Serialize(WQCommon::BinaryReader& reader) override;
  void Serialize(WQCommon::BinaryWriter& writer) const override;
  using WQCommon::IWQSerial::Serialize;

  bool operator==(const Method& other) const;
  bool operator!=(const Method& other) const { return !(*this == other); }

  std::vector<TimePeriod> TimePeriods;
  TuneTable Tunes;
};

}  // namespace WQBL
