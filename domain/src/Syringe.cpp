#include <WQBL/Syringe.h>
#include <WQCommon/XMLNumbers.h>

#include <string>
#include <tuple>

namespace WQBL {

namespace {

// Reads the child `name` into `value` when it is present and its whole text is a number.
void ReadNumber(const WQCommon::XMLParser& parser, const wchar_t* name, double& value) {
  std::wstring text;
  if (parser.QNode(name, text)) WQCommon::ReadWholeNumberOrKeep(text, value);
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
  builder.WNode(L"Diameter", WQCommon::ShortestExactText(Diameter));
  builder.WNode(L"Volume", WQCommon::ShortestExactText(Volume));
  builder.WNode(L"FlowRate", WQCommon::ShortestExactText(FlowRate));
  builder.WNode(L"Enabled", Enabled ? L"true" : L"false");
  builder.EndNode();
}

bool Syringe::operator==(const Syringe& other) const {
  return std::tie(Diameter, Volume, FlowRate, Enabled) ==
         std::tie(other.Diameter, other.Volume, other.FlowRate, other.Enabled);
}

}  // namespace WQBL
