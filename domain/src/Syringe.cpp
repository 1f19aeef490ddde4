#include <WQBL/Syringe.h>
#include <WQCommon/Text.h>

#include <charconv>
#include <string>
#include <system_error>
#include <tuple>

namespace WQBL {

namespace {

// The shortest text that reads back as exactly `value`.
std::wstring NumberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::wstring(buffer, result.ptr);
}

// Reads the child `name` into `value` when it is present and its whole text is a number.
void ReadNumber(const WQCommon::XMLParser& parser, const wchar_t* name, double& value) {
  std::wstring text;
  if (!parser.QNode(name, text)) return;
  const std::string narrow = WQCommon::WQWideToNarrowStr(text);
  double number = 0.0;
  const char* end = narrow.data() + narrow.size();
  const auto result = std::from_chars(narrow.data(), end, number);
  if (result.ec == std::errc() && result.ptr == end) value = number;
}

void ReadFlag(const WQCommon::XMLParser& parser, const wchar_t* name, bool& value) {
  std::wstring text;
  if (!parser.QNode(name, text)) return;
  if (text == L"true") value = true;
  if (text == L"false") value = false;
}

}  // namespace

Syringe::Syringe() : Diameter(2.30), Volume(250.0), FlowRate(10.0), Enabled(false) {}

void Syringe::Serialize(WQCommon::XMLParser& parser) {
  if (!parser.StartNode(L"Syringe")) return;
  ReadNumber(parser, L"Diameter", Diameter);
  ReadNumber(parser, L"Volume", Volume);
  ReadNumber(parser, L"FlowRate", FlowRate);
  ReadFlag(parser, L"Enabled", Enabled);
  parser.EndNode();
}

void Syringe::Serialize(WQCommon::XMLBuilder& builder) const {
  builder.StartNode(L"Syringe");
  builder.WNode(L"Diameter", NumberText(Diameter));
  builder.WNode(L"Volume", NumberText(Volume));
  builder.WNode(L"FlowRate", NumberText(FlowRate));
  builder.WNode(L"Enabled", Enabled ? L"true" : L"false");
  builder.EndNode();
}

bool Syringe::operator==(const Syringe& other) const {
  return std::tie(Diameter, Volume, FlowRate, Enabled) ==
         std::tie(other.Diameter, other.Volume, other.FlowRate, other.Enabled);
}

}  // namespace WQBL
