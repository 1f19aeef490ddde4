#include "MzMLReader.h"

#include <WQPlatform/Platform.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <string_view>
#include <utility>

#include "ContentBounds.h"
#include "InstrumentDescription.h"
#include "MzMLArrays.h"
#include "XmlScanner.h"

namespace WQDataFile::detail {

namespace {

using Tag = XmlScanner::Tag;

// A parameter of the controlled vocabulary: its accession, value and unit, entities resolved.
struct Param {
  std::string Accession;
  std::string Value;
  std::string Unit;
};
using Params = std::vector<Param>;

Param ParamOf(std::string_view tag) {
  return Param{TagAttributeText(tag, "accession"), TagAttributeText(tag, "value"),
               TagAttributeText(tag, "unitAccession")};
}

constexpr std::string_view kPresetScanConfiguration = "MS:1000616";

// A user parameter that stands for a term of the vocabulary: some writers give a spectrum's
// preset scan configuration so. Nothing for the others.
std::optional<Param> UserParamOf(std::string_view tag) {
  if (TagAttributeText(tag, "name") != "preset scan configuration") return std::nullopt;
  return Param{std::string(kPresetScanConfiguration), TagAttributeText(tag, "value"), ""};
}

// The first parameter `accession` among `params`, or nothing.
const Param* Find(const Params& params, std::string_view accession) {
  for (const Param& param : params) {
    if (param.Accession == accession) return &param;
  }
  return nullptr;
}

// A number as the vocabulary's values are read: the longest number at the start of the text after
// blanks (an empty text is 0), or nothing when the text starts with none.
std::optional<double> NumberOf(const std::string& text) {
  if (text.empty()) return 0.0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

std::optional<long> WholeNumberOf(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

// Seconds in one of the time unit `unit`; 0 for a unit that is no time.
double SecondsPer(std::string_view unit) {
  static const std::pair<std::string_view, double> kUnits[] = {
      {"UO:0000010", 1.0},  {"MS:1000039", 1.0},    {"UO:0000031", 60.0},
      {"MS:1000038", 60.0}, {"UO:0000032", 3600.0}, {"UO:0000028", 1e-3},
      {"UO:0000029", 1e-6}, {"UO:0000150", 1e-9},   {"UO:0000030", 1e-12}};
  for (const auto& [accession, seconds] : kUnits) {
    if (accession == unit) return seconds;
  }
  return 0.0;
}

constexpr std::string_view kMSLevel = "MS:1000511";
constexpr std::string_view kCentroid = "MS:1000127";
constexpr std::string_view kProfile = "MS:1000128";
constexpr std::string_view kScanStartTime = "MS:1000016";
constexpr std::string_view kMZArray = "MS:1000514";
constexpr std::string_view kIntensityArray = "MS:1000515";
constexpr std::string_view kSpectrumTitle = "MS:1000796";
constexpr std::string_view kSelectedIonMZ = "MS:1000744";
constexpr std::string_view kChargeState = "MS:1000041";
constexpr std::string_view kFilterString = "MS:1000512";
constexpr std::string_view kNegativeScan = "MS:1000129";
constexpr std::string_view kPositiveScan = "MS:1000130";
constexpr std::string_view kWindowLow = "MS:1000501";
constexpr std::string_view kWindowHigh = "MS:1000500";

}  // namespace

// The parameter groups that the header declares, and what the header says of the run.
struct MzMLReader::Header {
  std::map<std::string, Params, std::less<>> Groups;
  InstrumentDescription Instrument;
  std::string StartTimeStamp;
  std::uint64_t SpectraStart = 0;  // where the list of spectra begins its content

  const Params* Group(std::string_view id) const {
    const auto found = Groups.find(id);
    return found == Groups.end() ? nullptr : &found->second;
  }
};

// Reads the elements of mzML from the tags its scanner reads.
class MzMLReader::Parser {
 public:
  Parser(const WQPlatform::ReadOnlyFile& file, std::uint64_t position, std::uint64_t expectedEnd,
         const std::string& failure)
      : xml_(file, position, expectedEnd, failure), arrays_(failure) {}

  XmlScanner& Xml() { return xml_; }

  // The header: parameter groups, instrument configurations and the run, up to the list of
  // spectra.
  void ReadHeader(Header& header);
  // The spectrum whose start tag `tag` was just read, up to its end tag.
  void ReadSpectrum(const Tag& tag, const Header& header, MzMLSpectrum& spectrum);

 private:
  const Params& GroupOf(const Tag& reference, const Header& header) {
    const std::string id = TagAttributeText(reference.Text, "ref");
    const Params* group = header.Group(id);
    if (!group) xml_.Fail("it refers to a parameter group " + id + " that it does not declare");
    return *group;
  }

  Params ReadParams(const Tag& element, const Header& header, bool withGroups);
  // The parameters of the first selected ion of the first precursor in `precursors`.
  std::optional<Params> ReadSelectedIon(const Tag& precursors, const Header& header);
  // Runs `read` on the first child `name` of `element`, skipping the others.
  void First(const Tag& element, std::string_view name,
             const std::function<void(const Tag&)>& read);
  InstrumentDescription ReadInstrument(const Tag& configuration, const Header& header);
  void ReadArray(const Tag& array, std::uint64_t defaultLength, const Header& header,
                 std::uint64_t& declaredTotal, MzMLSpectrum& spectrum, bool& haveMZ,
                 bool& haveIntensity);
  std::vector<double> ReadBinary(const Tag& binary, const Encoding& encoding,
                                 std::uint64_t declared);

  XmlScanner xml_;
  ArrayDecoder arrays_;
  // The first array of the spectrum read whose values are not as many as it declares: the
  // spectrum is refused for that at its end, once every bound has been kept.
  std::string miscounted_;
};

// The parameters of `element`, with those of its first scan window (a scan's), and, when
// `withGroups`, of the groups it refers to after them; its other children are skipped.
Params MzMLReader::Parser::ReadParams(const Tag& element, const Header& header, bool withGroups) {
  Params params;
  std::vector<const Params*> groups;
  bool window = false;
  xml_.Children(element, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      params.push_back(ParamOf(child.Text));
    } else if (child.Name == "userParam") {
      if (std::optional<Param> param = UserParamOf(child.Text)) params.push_back(*param);
    } else if (child.Name == "referenceableParamGroupRef" && withGroups) {
      groups.push_back(&GroupOf(child, header));
    } else if (child.Name == "scanWindowList" && !window) {
      window = true;
      First(child, "scanWindow", [&](const Tag& first) {
        const Params bounds = ReadParams(first, header, withGroups);
        params.insert(params.end(), bounds.begin(), bounds.end());
      });
      return;
    }
    xml_.SkipElement(child);
  });
  for (const Params* group : groups) params.insert(params.end(), group->begin(), group->end());
  return params;
}

void MzMLReader::Parser::First(const Tag& element, std::string_view name,
                               const std::function<void(const Tag&)>& read) {
  bool found = false;
  xml_.Children(element, [&](const Tag& child) {
    if (child.Name == name && !found) {
      found = true;
      read(child);
    } else {
      xml_.SkipElement(child);
    }
  });
}

std::optional<Params> MzMLReader::Parser::ReadSelectedIon(const Tag& precursors,
                                                          const Header& header) {
  std::optional<Params> ion;
  First(precursors, "precursor", [&](const Tag& precursor) {
    First(precursor, "selectedIonList", [&](const Tag& list) {
      First(list, "selectedIon",
            [&](const Tag& selected) { ion = ReadParams(selected, header, true); });
    });
  });
  return ion;
}

void MzMLReader::Parser::ReadHeader(Header& header) {
  std::map<std::string, InstrumentDescription, std::less<>> instruments;
  std::optional<InstrumentDescription> firstInstrument;
  std::optional<std::string> defaultInstrument;
  Tag tag;
  while (xml_.NextTag(tag)) {
    if (tag.End) continue;
    if (tag.Name == "referenceableParamGroup") {
      std::string id = TagAttributeText(tag.Text, "id");
      header.Groups[std::move(id)] = ReadParams(tag, header, true);
    } else if (tag.Name == "instrumentConfiguration") {
      const std::string id = TagAttributeText(tag.Text, "id");
      InstrumentDescription description = ReadInstrument(tag, header);
      if (!firstInstrument) firstInstrument = description;
      instruments.emplace(id, std::move(description));
    } else if (tag.Name == "run") {
      header.StartTimeStamp = TagAttributeText(tag.Text, "startTimeStamp");
      if (TagAttribute(tag.Text, "defaultInstrumentConfigurationRef")) {
        defaultInstrument = TagAttributeText(tag.Text, "defaultInstrumentConfigurationRef");
      }
    } else if (tag.Name == "spectrumList") {
      if (!tag.Empty) header.SpectraStart = xml_.Position();
      break;
    }
  }
  // A run that names its instrument is described by that one alone.
  if (defaultInstrument) {
    const auto found = instruments.find(*defaultInstrument);
    if (found != instruments.end()) header.Instrument = found->second;
  } else if (firstInstrument) {
    header.Instrument = *firstInstrument;
  }
}

// The configuration's own terms, those of the groups it refers to among them (an instrument's
// model and serial number are often written once for all its configurations), then those of its
// source, analyser and detector.
InstrumentDescription MzMLReader::Parser::ReadInstrument(const Tag& configuration,
                                                         const Header& header) {
  InstrumentDescription description;
  xml_.Children(configuration, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      const Param param = ParamOf(child.Text);
      description.AddOwn(param.Accession, param.Value, param.Unit);
      xml_.SkipElement(child);
    } else if (child.Name == "referenceableParamGroupRef") {
      // A group the file does not declare leaves the description short; the spectra hold.
      if (const Params* group = header.Group(TagAttributeText(child.Text, "ref"))) {
        for (const Param& param : *group) {
          description.AddOwn(param.Accession, param.Value, param.Unit);
        }
      }
      xml_.SkipElement(child);
    } else if (child.Name == "componentList") {
      xml_.Children(child, [&](const Tag& component) {
        if (component.Name != "source" && component.Name != "analyzer" &&
            component.Name != "detector") {
          xml_.SkipElement(component);
          return;
        }
        description.AddPart(component.Name == "source"     ? InstrumentTerms::Part::Source
                            : component.Name == "analyzer" ? InstrumentTerms::Part::Analyzer
                                                           : InstrumentTerms::Part::Detector);
        for (const Param& param : ReadParams(component, header, false)) {
          description.AddComponent(param.Accession, param.Value, param.Unit);
        }
      });
    } else {
      xml_.SkipElement(child);
    }
  });
  return description;
}

void MzMLReader::Parser::ReadSpectrum(const Tag& tag, const Header& header,
                                      MzMLSpectrum& spectrum) {
  spectrum = MzMLSpectrum();
  miscounted_.clear();
  spectrum.Offset = xml_.MarkupStart();
  spectrum.Id = TagAttributeText(tag.Text, "id");
  const std::uint64_t defaultLength = DeclaredCount(TagAttribute(tag.Text, "defaultArrayLength"));
  Params params;  // its own, then those of its groups
  std::vector<const Params*> groups;
  const auto find = [&](std::string_view accession) -> const Param* {
    if (const Param* param = Find(params, accession)) return param;
    for (const Params* group : groups) {
      if (const Param* param = Find(*group, accession)) return param;
    }
    return nullptr;
  };
  const auto level = [&] {
    const Param* param = find(kMSLevel);
    if (!param) return 1;
    const std::optional<long> value = WholeNumberOf(param->Value);
    if (!value) xml_.Fail("spectrum \"" + spectrum.Id + "\" has an MS level that is not a number");
    return static_cast<int>(std::clamp<long>(*value, INT32_MIN, INT32_MAX));
  };
  std::optional<Params> scan;
  std::optional<Params> ion;
  std::uint64_t declaredTotal = 0;
  bool haveMZ = false;
  bool haveIntensity = false;
  xml_.Children(tag, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      params.push_back(ParamOf(child.Text));
      xml_.SkipElement(child);
    } else if (child.Name == "userParam") {
      if (std::optional<Param> param = UserParamOf(child.Text)) params.push_back(*param);
      xml_.SkipElement(child);
    } else if (child.Name == "referenceableParamGroupRef") {
      groups.push_back(&GroupOf(child, header));
      xml_.SkipElement(child);
    } else if (child.Name == "scanList") {
      xml_.Children(child, [&](const Tag& entry) {
        if (entry.Name == "scan" && !scan) {
          scan = ReadParams(entry, header, true);
        } else {
          xml_.SkipElement(entry);
        }
      });
    } else if (child.Name == "precursorList") {
      if (!ion) ion = ReadSelectedIon(child, header);
    } else if (child.Name == "binaryDataArrayList") {
      xml_.Children(child, [&](const Tag& array) {
        if (array.Name != "binaryDataArray") {
          xml_.SkipElement(array);
          return;
        }
        ReadArray(array, defaultLength, header, declaredTotal, spectrum, haveMZ, haveIntensity);
      });
    } else if (child.Name == "spectrum") {
      xml_.Fail("spectrum " + spectrum.Id + " holds another spectrum");
    } else {
      xml_.SkipElement(child);
    }
  });
  if (!miscounted_.empty()) xml_.Fail(miscounted_);
  spectrum.MSLevel = level();
  spectrum.Centroid = find(kCentroid) != nullptr;
  spectrum.Profile = find(kProfile) != nullptr;
  if (const Param* title = find(kSpectrumTitle)) spectrum.Title = title->Value;
  if (const Param* mz = ion ? Find(*ion, kSelectedIonMZ) : nullptr) {
    spectrum.PrecursorMZ = NumberOf(mz->Value);
    if (!spectrum.PrecursorMZ) {
      xml_.Fail("spectrum \"" + spectrum.Id + "\" has a precursor m/z that is not a number");
    }
  }
  if (const Param* charge = ion ? Find(*ion, kChargeState) : nullptr) {
    const std::optional<long> value = WholeNumberOf(charge->Value);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
      xml_.Fail("spectrum \"" + spectrum.Id + "\" has a charge state that is not a number");
    }
    spectrum.Charge = static_cast<int>(*value);
  }
  // The scan's terms first, then the spectrum's.
  const auto scanOrSpectrum = [&](std::string_view accession) {
    const Param* param = scan ? Find(*scan, accession) : nullptr;
    return param ? param : find(accession);
  };
  const auto term = [&](std::string_view accession) {
    const Param* param = scanOrSpectrum(accession);
    return param ? param->Value : std::string();
  };
  const auto present = [&](std::string_view accession) {
    return scanOrSpectrum(accession) != nullptr;
  };
  spectrum.Definition = {term(kFilterString), term(kPresetScanConfiguration),
                         PolarityName(present(kNegativeScan), present(kPositiveScan)),
                         term(kWindowLow), term(kWindowHigh)};
  if (const Param* start = scan ? Find(*scan, kScanStartTime) : nullptr) {
    const double seconds = SecondsPer(start->Unit);
    if (seconds != 0.0) {
      const std::optional<double> value = NumberOf(start->Value);
      if (!value) {
        xml_.Fail("spectrum \"" + spectrum.Id + "\" has a start time that is not a number");
      }
      spectrum.RetentionTime = *value * seconds;
    }
  }
}

// An array of the spectrum: the first m/z array and the first intensity array are kept.
void MzMLReader::Parser::ReadArray(const Tag& array, std::uint64_t defaultLength,
                                   const Header& header, std::uint64_t& declaredTotal,
                                   MzMLSpectrum& spectrum, bool& haveMZ, bool& haveIntensity) {
  const std::optional<std::string_view> length = TagAttribute(array.Text, "arrayLength");
  const std::uint64_t declared = length ? DeclaredCount(length) : defaultLength;
  Params params;
  std::vector<double> values;
  bool decoded = false;
  xml_.Children(array, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      params.push_back(ParamOf(child.Text));
      xml_.SkipElement(child);
    } else if (child.Name == "referenceableParamGroupRef") {
      const Params& group = GroupOf(child, header);
      params.insert(params.end(), group.begin(), group.end());
      xml_.SkipElement(child);
    } else if (child.Name == "binary") {
      declaredTotal += declared;
      if (declaredTotal > kMaxSpectrumValues) {
        xml_.Fail("a spectrum declares more than " + std::to_string(kMaxSpectrumValues) +
                  " values, the limit");
      }
      if (decoded) {
        xml_.SkipElement(child);
        return;
      }
      Encoding encoding;
      for (const Param& param : params) AddToEncoding(param.Accession, encoding);
      values = ReadBinary(child, encoding, declared);
      decoded = true;
    } else {
      xml_.SkipElement(child);
    }
  });
  if (!decoded) return;
  if (!haveMZ && Find(params, kMZArray)) {
    spectrum.MZ = std::move(values);
    haveMZ = true;
  } else if (!haveIntensity && Find(params, kIntensityArray)) {
    spectrum.Intensity = std::move(values);
    haveIntensity = true;
  }
}

// The values of the text of `binary`, whose start tag was just read, exactly as many as
// `declared`.
std::vector<double> MzMLReader::Parser::ReadBinary(const Tag& binary, const Encoding& encoding,
                                                   std::uint64_t declared) {
  arrays_.Start(encoding, declared);
  if (!binary.Empty) {
    Tag tag;
    const bool closed =
        xml_.NextTag(tag, [&](const char* data, const char* end) { arrays_.Feed(data, end); });
    if (!closed) xml_.Fail("it ends inside an element binary");
    if (!tag.End || tag.Name != "binary") xml_.Fail("an element binary holds markup");
  }
  std::string miscounted;
  std::vector<double> values = arrays_.Finish(miscounted);
  if (miscounted_.empty()) miscounted_ = miscounted;
  return values;
}

MzMLReader::MzMLReader(std::shared_ptr<const WQPlatform::ReadOnlyFile> file, std::string failure)
    : file_(std::move(file)), failure_(std::move(failure)) {
  auto header = std::make_shared<Header>();
  Parser parser(*file_, 0, file_->Size(), failure_);
  parser.ReadHeader(*header);
  header_ = std::move(header);
  if (header_->SpectraStart > 0) {
    sequence_ = std::make_unique<Parser>(*file_, header_->SpectraStart, file_->Size(), failure_);
  }
}

MzMLReader::~MzMLReader() = default;

const InstrumentDescription& MzMLReader::Instrument() const { return header_->Instrument; }

const std::string& MzMLReader::StartTimeStamp() const { return header_->StartTimeStamp; }

bool MzMLReader::Next(MzMLSpectrum& spectrum) {
  if (!sequence_) return false;
  XmlScanner& xml = sequence_->Xml();
  Tag tag;
  for (;;) {
    if (!xml.NextTag(tag)) xml.Fail("it ends inside the list of spectra");
    if (tag.End) {
      if (tag.Name != "spectrumList") {
        xml.Fail("an end tag " + std::string(tag.Name) + " closes spectrumList");
      }
      sequence_.reset();
      return false;
    }
    if (tag.Name == "spectrum") break;
    xml.Fail("the list of spectra holds an element " + std::string(tag.Name));
  }
  sequence_->ReadSpectrum(tag, *header_, spectrum);
  spectrum.Length = xml.Position() - spectrum.Offset;
  return true;
}

MzMLSpectrum MzMLReader::ReadAt(std::uint64_t offset, std::uint64_t length) const {
  Parser parser(*file_, offset, offset + length, failure_);
  XmlScanner& xml = parser.Xml();
  Tag tag;
  if (!xml.NextTag(tag) || tag.End || tag.Name != "spectrum" || xml.MarkupStart() != offset) {
    xml.Fail("no spectrum starts where one did when the file was opened");
  }
  MzMLSpectrum spectrum;
  parser.ReadSpectrum(tag, *header_, spectrum);
  spectrum.Length = length;
  return spectrum;
}

std::string PolarityName(bool negative, bool positive) {
  return negative ? "negative" : positive ? "positive" : "";
}

}  // namespace WQDataFile::detail
