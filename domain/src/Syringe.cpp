#include <WQBL/Syringe.h>
#include <WQCommon/XMLNumbers.h>

#include <string>
#include <tuple>

namespace WQBL {

namespace {

// Reads the child `name` into `value` when it is present and its whole text is a number. `text`
// is the caller's buffer, reused from one child to the next.
void ReadNumber(const WQCommon::XMLParser& parser, const wchar_t* name, std::wstring& text,
                double& value) {
  if (parser.QNode(name, text)) WQCommon::ReadWholeNumberOrKeep(text, value);
}

void ReadFlag(const WQCommon::XMLParser& parser, const wchar_t* name, std::wstring& text,
              bool& value) {
  if (!parser.QNode(name, text)) return;
  if (text == L"true") value = true;
  if (text == L"false") value = false;
}

}  // namespace

Syringe::Syringe() : Diameter(2.30), Volume(250.0), FlowRate(10.0), Enabled(false) {}

void Syringe::Serialize(WQCommon::XMLParser& parser) {
  if (!parser.StartNode(L"Syringe")) return;
  std::wstring text;
  ReadNumber(parser, L"Diameter", text, Diameter);
  ReadNumber(parser, L"Volume", text, Volume);
  ReadNumber(parser, L"FlowRate", text, FlowRate);
  ReadFlag(parser, L"Enabled", text, Enabled);
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
