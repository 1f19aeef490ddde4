#include <WQCommon/Text.h>
#include <WQRepos/WQRepos.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

// One family of evaluation methods, as listed.
struct Family {
  const char* title;
  bool ic;
};

const Family kSpectrumFamily{"Spectrum evaluation methods", false};
const Family kICFamily{"Ion-chromatogram evaluation methods", true};

// A step's kind and the text of its parameters; no parameters for no step.
std::pair<std::string, std::string> StepParts(const WQBL::CurveEval& step) {
  using Parts = std::pair<std::string, std::string>;
  struct {
    Parts operator()(std::monostate) const { return {"no step", ""}; }
    Parts operator()(const WQBL::BaselineParams& params) const {
      return {"Baseline", Describe(params)};
    }
    Parts operator()(const WQBL::NoiseParams& params) const { return {"Noise", Describe(params)}; }
    Parts operator()(const WQBL::ThresholdParams& params) const {
      return {"Threshold", Describe(params)};
    }
    Parts operator()(const WQBL::PeakDetectParams& params) const {
      return {"Peak detection", Describe(params)};
    }
  } parts;
  return std::visit(parts, step.QParams());
}

std::vector<std::wstring> SortedNames(const Family& family) {
  std::vector<std::wstring> names = StoredNames(EvalMethodsKind(family.ic), "evaluation methods");
  std::sort(names.begin(), names.end());
  return names;
}

void ListFamily(const Family& family) {
  const std::vector<std::wstring> names = SortedNames(family);
  std::cout << family.title << " (" << Narrow(EvalMethodsKind(family.ic).stored.Extension)
            << "):\n";
  if (names.empty()) std::cout << "  (none)\n";
  for (const std::wstring& name : names) std::cout << "  " << Shown(name) << '\n';
}

Json FamilyJson(const Family& family) {
  Json names = Json::array();
  for (const std::wstring& name : SortedNames(family)) names.push_back(Narrow(name));
  return names;
}

void ListEvalMethods(bool json) {
  if (json) {
    PrintJson(
        {{"spectrum", FamilyJson(kSpectrumFamily)}, {"ionChromatogram", FamilyJson(kICFamily)}});
    return;
  }
  ListFamily(kSpectrumFamily);
  ListFamily(kICFamily);
}

void ShowEvalMethod(const std::string& name, bool ic, bool json) {
  InitializedConfig();
  const std::vector<WQBL::CurveEval> method =
      StoredEvalMethod(WQCommon::WQNarrowToWideStr(name), ic);
  if (json) {
    PrintJson(ToJson(EvalMethodDocument{method}));
    return;
  }
  if (method.empty()) std::cout << "(no steps)\n";
  for (std::size_t i = 0; i < method.size(); ++i) {
    const auto [kind, parameters] = StepParts(method[i]);
    std::cout << i + 1 << ". " << kind << (parameters.empty() ? "" : ": " + parameters) << '\n';
  }
}

struct MethodChoice {
  std::string name;
  bool ic = false;
};

// Adds the positional NAME and the flag --ic to a subcommand that works on one method.
std::shared_ptr<MethodChoice> AddMethodOptions(CLI::App& command) {
  auto choice = std::make_shared<MethodChoice>();
  command.add_option("name", choice->name, "Method name (its file name without extension)")
      ->required();
  command.add_flag("--ic", choice->ic,
                   "Use the ion-chromatogram method (.iem) instead of the spectrum method (.sem)");
  return choice;
}

}  // namespace

void AddEvalCommands(CLI::App& app) {
  auto* eval = app.add_subcommand(
      "eval",
      "Evaluation methods: ordered processing steps run over spectra (NAME.sem) or ion "
      "chromatograms (NAME.iem), kept in the evaluation method directory.");
  eval->require_subcommand(1);
  auto* list = eval->add_subcommand("list", "List the stored methods of both families.");
  list->callback([json = AddJsonFlag(*list)] { ListEvalMethods(*json); });

  auto* show = eval->add_subcommand("show", "Show the steps of a stored method in order.");
  auto shown = AddMethodOptions(*show);
  show->callback(
      [shown, json = AddJsonFlag(*show)] { ShowEvalMethod(shown->name, shown->ic, *json); });
  AddNamedKindCommands(*eval, "evaluation method", EvalMethodsKind, true);
}

}  // namespace wqtool
