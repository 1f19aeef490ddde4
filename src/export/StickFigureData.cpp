#include <WQCommon/Text.h>
#include <WQRepos/CentroidExport.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "export/Checksum.h"

namespace WQRepos {

namespace {

// The precision of a standard stream with its default settings.
constexpr int kDefaultPrecision = 6;

// Digits for a value of magnitude `x`: after the decimal point in fixed notation, significant in
// general notation.
int MagnitudePrecision(double x) {
  if (x >= 10000000.0) return 0;
  if (x >= 1000000.0) return 1;
  if (x >= 100000.0) return 2;
  if (x > 10000.0) return 3;
  return 4;
}

// Appends `x` as a standard stream writes it in the given notation and precision. The text is the
// C locale's, whatever locale the process has set.
void AppendNumber(std::string& text, double x, std::chars_format format, int precision) {
  // Fixed notation of the largest double takes 309 digits before the point.
  char buffer[400];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, x, format, precision);
  text.append(buffer, result.ptr);
}

void AppendInteger(std::string& text, std::int64_t value) {
  char buffer[24];
  text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void AppendFixed(std::string& text, double x) {
  AppendNumber(text, x, std::chars_format::fixed, MagnitudePrecision(x));
}

// General notation. A precision of 0 gives six significant digits, as on the platform the
// document format comes from, rather than the single digit that would lose the value.
void AppendGeneral(std::string& text, double x, int precision) {
  AppendNumber(text, x, std::chars_format::general, precision == 0 ? kDefaultPrecision : precision);
}

// A spectrum's summary number (TIC, largest amplitude and area): four significant digits up to
// 10,000; above, the digits of the magnitude would leave one to three (a TIC of 1.5 million read
// "2e+06"), so larger values keep six.
std::wstring Summary(double x) {
  std::string text;
  AppendGeneral(text, x, x > 10000.0 ? kDefaultPrecision : MagnitudePrecision(x));
  return WQCommon::WQNarrowToWideStr(text);
}

std::wstring Unsigned(std::uint32_t value) {
  std::string text;
  AppendInteger(text, value);
  return WQCommon::WQNarrowToWideStr(text);
}

// Truncation toward zero that saturates at the limits of the type instead of overflowing.
std::int32_t TruncateToInt32(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (x <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(x);
}

// The element `name` holding the values separated by single blanks, as text: numbers need no
// escaping, so the lists, nearly all of the document, are written straight from the values.
template <typename Value, typename Append>
std::string ListElement(const char* name, const std::vector<Value>& values, Append append) {
  std::string text = std::string("<") + name;
  if (values.empty()) return text + " />\n";
  text += '>';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ' ';
    append(text, values[i]);
  }
  return text.append("</").append(name).append(">\n");
}

}  // namespace

struct StickFigureData::StickFigureData_Impl {
  std::wstring Name;
  std::int32_t TuneId = 0;
  std::uint32_t ScanNumber = 0;
  std::int32_t RetentionTime = 0;
  double TIC = 0.0;
  double MaxAmplitude = 0.0;
  double MaxArea = 0.0;
  std::vector<double> CentroidPositions;
  std::vector<std::int32_t> CentroidAmplitudes;
  std::vector<double> Areas;
};

StickFigureData::StickFigureData(const WQBL::Spectrum& spectrum,
                                 const WQDataFile::CalDataFile& file)
    : impl_(std::make_shared<StickFigureData_Impl>()) {
  StickFigureData_Impl& body = *impl_;
  body.Name = spectrum.Name;
  body.TuneId = file.QTuneRun(spectrum.TuneRunIndex).TuneId;
  if (!spectrum.ScanNumbers.empty()) body.ScanNumber = spectrum.ScanNumbers.front();
  body.RetentionTime = TruncateToInt32(spectrum.RetentionTime);
  const std::vector<WQBL::Peak>& peaks = spectrum.QPeaks();
  if (spectrum.QMaxAmplitudePeak() != -1) {
    body.MaxAmplitude = peaks[spectrum.QMaxAmplitudePeak()].Amplitude;
  }
  if (spectrum.QMaxAreaPeak() != -1) body.MaxArea = peaks[spectrum.QMaxAreaPeak()].Area;
  body.CentroidPositions.reserve(peaks.size());
  body.CentroidAmplitudes.reserve(peaks.size());
  body.Areas.reserve(peaks.size());
  for (const WQBL::Peak& peak : peaks) {
    body.CentroidPositions.push_back(spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex));
    body.CentroidAmplitudes.push_back(TruncateToInt32(peak.CentroidAmplitude));
    body.Areas.push_back(peak.Area);
  }
  body.TIC = spectrum.TIC;
}

StickFigureData::~StickFigureData() = default;

int StickFigureData::GetTuneId() const { return impl_->TuneId; }

std::string StickFigureData::ElementText() const {
  const StickFigureData_Impl& body = *impl_;
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Spectrum");
  builder.WAttribute(L"Name", body.Name);
  builder.WAttribute(L"TuneId", Unsigned(body.TuneId));
  builder.WAttribute(L"ScanNumber", Unsigned(body.ScanNumber));
  builder.WAttribute(L"RetentionTime", Unsigned(body.RetentionTime));
  builder.WAttribute(L"TIC", Summary(body.TIC));
  builder.WAttribute(L"MaxAmplitude", Summary(body.MaxAmplitude));
  builder.WAttribute(L"MaxArea", Summary(body.MaxArea));
  builder.StartNode(L"Peaks");
  builder.WAttribute(L"Count", Unsigned(static_cast<std::uint32_t>(body.CentroidPositions.size())));
  builder.WElementText(ListElement("CentroidX", body.CentroidPositions, AppendFixed));
  builder.WElementText(ListElement("CentroidAmpl", body.CentroidAmplitudes, AppendInteger));
  builder.WElementText(ListElement("Area", body.Areas, [](std::string& text, double value) {
    AppendGeneral(text, value, kDefaultPrecision);
  }));
  builder.EndNode();
  builder.EndNode();
  return builder.TopElementText();
}

void StickFigureData::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.WElementText(ElementText());
}

void StickFigureData::ProcessChecksum(boost::crc_32_type& crc) const {
  // Boost keeps the register bit-reversed and not yet inverted; the block CRC takes the finished
  // value.
  const std::uint32_t continued = SpectrumCrc32(crc.checksum(), ElementText());
  std::uint32_t reversed = 0;
  for (int bit = 0; bit < 32; ++bit) {
    if ((~continued >> bit) & 1U) reversed |= 1U << (31 - bit);
  }
  crc.reset(reversed);
}

}  // namespace WQRepos
