#include <WQBL/CurveEval.h>

#include <iterator>
#include <stdexcept>
#include <string>

namespace WQBL {

namespace {

constexpr std::uint32_t kCurveEvalVersion = 1;

// By kind: the reader of its parameter record.

CurveEval::Params ReadNothing(WQCommon::BinaryReader&) { return std::monostate(); }

template <typename Record>
CurveEval::Params ReadRecord(WQCommon::BinaryReader& reader) {
  Record record;
  reader >> record;
  return record;
}

using ParamsReader = CurveEval::Params (*)(WQCommon::BinaryReader&);
const ParamsReader kParamsReaders[] = {ReadNothing, ReadRecord<BaselineParams>,
                                       ReadRecord<NoiseParams>, ReadRecord<ThresholdParams>,
                                       ReadRecord<PeakDetectParams>};

static_assert(std::size(kParamsReaders) == std::variant_size_v<CurveEval::Params>,
              "every kind needs a reader");

CurveEval::Kinds KindOf(std::int32_t value) {
  if (value < 0 || value >= static_cast<std::int32_t>(std::size(kParamsReaders)))
    throw std::runtime_error("Unknown CurveEval kind.");
  return static_cast<CurveEval::Kinds>(value);
}

CurveEval::Kinds KindNamed(const std::wstring& name) {
  const auto found = CurveEval::KindTexts().right.find(name);
  if (found == CurveEval::KindTexts().right.end())
    throw std::runtime_error("Unknown CurveEval kind.");
  return found->second;
}

void WriteRecord(WQCommon::BinaryWriter&, std::monostate) {}

void WriteRecord(WQCommon::BinaryWriter& writer, const WQCommon::IWQSerial& record) {
  writer << record;
}

std::wstring RecordText(std::monostate) { return {}; }

std::wstring RecordText(const WQCommon::IWQSerial& record) {
  std::wstring text;
  record.Serialize(text);
  return text;
}

int HexDigitValue(wchar_t digit) {
  if (digit >= L'0' && digit <= L'9') return digit - L'0';
  if (digit >= L'a' && digit <= L'f') return digit - L'a' + 10;
  throw std::runtime_error("Invalid CurveEval parameters.");
}

// The bytes that the text form of IWQSerial shows as lower-case hexadecimal.
std::string BytesOfText(const std::wstring& text) {
  if (text.size() % 2 != 0) throw std::runtime_error("Invalid CurveEval parameters.");
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2)
    bytes.push_back(static_cast<char>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1])));
  return bytes;
}

std::wstring RequiredText(const WQCommon::XMLParser& parser, const wchar_t* name) {
  std::wstring text;
  if (!parser.QNode(name, text))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, name);
  return text;
}

}  // namespace

const WQCommon::EnumTextMap<CurveEval::Kinds>& CurveEval::KindTexts() {
  static const auto texts = WQCommon::MakeEnumTextMap<Kinds>({{NoStep, L"NoStep"},
                                                              {Baseline, L"Baseline"},
                                                              {Noise, L"Noise"},
                                                              {Threshold, L"Threshold"},
                                                              {PeakDetect, L"PeakDetect"}});
  return texts;
}

CurveEval::CurveEval() = default;

CurveEval::CurveEval(const BaselineParams& params) : params_(params) {}

CurveEval::CurveEval(const NoiseParams& params) : params_(params) {}

CurveEval::CurveEval(const ThresholdParams& params) : params_(params) {}

CurveEval::CurveEval(const PeakDetectParams& params) : params_(params) {}

CurveEval::Kinds CurveEval::QKind() const { return static_cast<Kinds>(params_.index()); }

const CurveEval::Params& CurveEval::QParams() const { return params_; }

void CurveEval::Serialize(WQCommon::BinaryReader& reader) {
  WQCommon::ReadRecordVersion(reader, kCurveEvalVersion, "CurveEval");
  std::int32_t kind = 0;
  reader >> kind;
  params_ = kParamsReaders[KindOf(kind)](reader);
}

void CurveEval::Serialize(WQCommon::BinaryWriter& writer) const {
  writer << kCurveEvalVersion << static_cast<std::int32_t>(QKind());
  std::visit([&writer](const auto& record) { WriteRecord(writer, record); }, params_);
}

void CurveEval::Serialize(WQCommon::XMLParser& parser) {
  if (!parser.StartNode(L"CurveEval"))
    throw WQCommon::XMLResultException(WQCommon::kMissingElementCode, L"CurveEval");
  const Kinds kind = KindNamed(RequiredText(parser, L"Kind"));
  const std::string bytes = BytesOfText(RequiredText(parser, L"Params"));
  WQCommon::BinaryReader reader(bytes.data(), bytes.size());
  Params params = kParamsReaders[kind](reader);
  if (reader.Remaining() != 0) throw std::runtime_error("Invalid CurveEval parameters.");
  parser.EndNode();
  params_ = std::move(params);
}

void CurveEval::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"CurveEval");
  builder.WNode(L"Kind", CurveEval::KindTexts().left.at(QKind()));
  builder.WNode(L"Params",
                std::visit([](const auto& record) { return RecordText(record); }, params_));
  builder.EndNode();
}

bool CurveEval::operator==(const CurveEval& other) const { return params_ == other.params_; }

}  // namespace WQBL
