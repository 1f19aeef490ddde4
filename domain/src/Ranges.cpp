#include <WQBL/Ranges.h>
#include <WQCommon/XMLNumbers.h>

#include <string>

namespace WQBL {

namespace {

constexpr std::uint32_t kMZRangeVersion = 1;
constexpr std::uint32_t kICRangeVersion = 1;
constexpr std::uint32_t kICFilterVersion = 1;
constexpr std::uint32_t kMZPeakFieldVersion = 1;

// Every field is written in full precision and read back strictly.
void WriteField(WQCommon::XMLBuilder& builder, const wchar_t* name, double value) {
  builder.WNode(name, WQCommon::FullPrecisionText(value));
}

void WriteField(WQCommon::XMLBuilder& builder, const wchar_t* name, std::int32_t value) {
  builder.WNode(name, WQCommon::DecimalText(value));
}

void EnterElement(WQCommon::XMLParser& parser, const wchar_t* name) {
  if (!parser.StartNode(name))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, name);
}

// The number in the child `name` of the current element of `parser`, which belongs to `record`.
template <typename Number>
Number ReadField(const WQCommon::XMLParser& parser, const wchar_t* name, const char* record) {
  std::wstring text;
  if (!parser.QNode(name, text))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, name);
  return WQCommon::ParseWholeNumber<Number>(text, record);
}

}  // namespace

MZRange::MZRange() : MZRange(FullRange, 0.0, 0.0) {}

MZRange::MZRange(Kinds kind, double low, double high) : Kind(kind), Low(low), High(high) {}

void MZRange::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kMZRangeVersion, "MZRange", *this);
}

void MZRange::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kMZRangeVersion, *this);
}

void MZRange::Serialize(WQCommon::XMLParser& parser) {
  EnterElement(parser, L"MZRange");
  const auto kind = ReadField<std::int32_t>(parser, L"Kind", "MZRange");
  const auto low = ReadField<double>(parser, L"Low", "MZRange");
  const auto high = ReadField<double>(parser, L"High", "MZRange");
  parser.EndNode();
  *this = MZRange(static_cast<Kinds>(kind), low, high);
}

void MZRange::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"MZRange");
  WriteField(builder, L"Kind", static_cast<std::int32_t>(Kind));
  WriteField(builder, L"Low", Low);
  WriteField(builder, L"High", High);
  builder.EndNode();
}

bool MZRange::operator==(const MZRange& other) const { return Fields(*this) == Fields(other); }

ICRange::ICRange() : ICRange(0.0, 0.0) {}

ICRange::ICRange(double start, double end) : Start(start), End(end) {}

void ICRange::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kICRangeVersion, "ICRange", *this);
}

void ICRange::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kICRangeVersion, *this);
}

void ICRange::Serialize(WQCommon::XMLParser& parser) {
  EnterElement(parser, L"ICRange");
  const auto start = ReadField<double>(parser, L"Start", "ICRange");
  const auto end = ReadField<double>(parser, L"End", "ICRange");
  parser.EndNode();
  *this = ICRange(start, end);
}

void ICRange::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"ICRange");
  WriteField(builder, L"Start", Start);
  WriteField(builder, L"End", End);
  builder.EndNode();
}

bool ICRange::operator==(const ICRange& other) const { return Fields(*this) == Fields(other); }

const WQCommon::EnumTextMap<ICFilter::Polarities>& ICFilter::PolarityTexts() {
  static const auto texts =
      WQCommon::MakeEnumTextMap<Polarities>({{AnyPolarity, L"AnyPolarity"},
                                             {PositiveOnly, L"PositiveOnly"},
                                             {NegativeOnly, L"NegativeOnly"}});
  return texts;
}

ICFilter::ICFilter() : Function(kAllFunctions), Polarity(AnyPolarity) {}

void ICFilter::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kICFilterVersion, "ICFilter", *this);
}

void ICFilter::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kICFilterVersion, *this);
}

void ICFilter::Serialize(WQCommon::XMLParser& parser) {
  EnterElement(parser, L"ICFilter");
  const auto function = ReadField<std::int32_t>(parser, L"Function", "ICFilter");
  const auto polarity = ReadField<std::int32_t>(parser, L"Polarity", "ICFilter");
  parser.EndNode();
  Function = function;
  Polarity = static_cast<Polarities>(polarity);
}

void ICFilter::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"ICFilter");
  WriteField(builder, L"Function", Function);
  WriteField(builder, L"Polarity", static_cast<std::int32_t>(Polarity));
  builder.EndNode();
}

bool ICFilter::operator==(const ICFilter& other) const { return Fields(*this) == Fields(other); }

const WQCommon::EnumTextMap<MZPeakField::Types>& MZPeakField::TypeTexts() {
  static const auto texts = WQCommon::MakeEnumTextMap<Types>(
      {{Mass, L"Mass"}, {Intensity, L"Intensity"}, {Area, L"Area"}, {Width, L"Width"}});
  return texts;
}

MZPeakField::MZPeakField() : MZPeakField(Mass) {}

MZPeakField::MZPeakField(Types type) : Type(type) {}

void MZPeakField::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecord(reader, kMZPeakFieldVersion, "MZPeakField", *this);
}

void MZPeakField::Serialize(WQCommon::BinaryWriter& writer) const {
  WQCommon::WriteRecord(writer, kMZPeakFieldVersion, *this);
}

void MZPeakField::Serialize(WQCommon::XMLParser& parser) {
  EnterElement(parser, L"MZPeakField");
  const auto type = ReadField<std::int32_t>(parser, L"Type", "MZPeakField");
  parser.EndNode();
  Type = static_cast<Types>(type);
}

void MZPeakField::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"MZPeakField");
  WriteField(builder, L"Type", static_cast<std::int32_t>(Type));
  builder.EndNode();
}

bool MZPeakField::operator==(const MZPeakField& other) const { return Type == other.Type; }

}  // namespace WQBL
