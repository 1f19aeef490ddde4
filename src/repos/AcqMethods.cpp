#include <WQBL/MethodRules.h>
#include <WQCommon/Text.h>
#include <WQRepos/AcqMethods.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "frame/Files.h"
#include "frame/Repository.h"
#include "sysdocs/PolaritySwitch.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kMethodFileVersion = 1;
const wchar_t kMethodExtension[] = L".kem";

// Durations below this count as zero: the period has no fixed length.
constexpr double kOpenDuration = 1e-7;

std::string InParentheses(const std::wstring& text) {
  return " (" + WQCommon::WQWideToNarrowStr(text) + ")";
}

// 2 to the power 63: the first double beyond the range of std::int64_t.
constexpr double kInt64Limit = 9223372036854775808.0;

// The time, in whole milliseconds rounded up, that the items of period `tp` take over all its
// loops. Durations are in seconds. The product becomes a 64-bit integer whose low 32 bits are
// kept; a product outside that integer's range, or not a number, gives 0, as the processor's
// own conversion does.
std::uint32_t PeriodTimeout(const WQBL::MethodRules& rules, std::uint32_t tp) {
  double itemsDuration = 0.0;
  for (std::uint32_t item = 0; item < rules.QNumSeqItems(tp); ++item)
    itemsDuration += rules.QSIDuration(tp, item);
  const double milliseconds = std::ceil(rules.QTPNumLoops(tp) * itemsDuration * 1000.0);
  if (!(milliseconds >= -kInt64Limit && milliseconds < kInt64Limit)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(milliseconds));
}

// Gives every time period that has no fixed length the time-out its items need.
void CompleteMethodTimeouts(WQBL::Method& method) {
  WQBL::MethodRules rules(LoadPolaritySwitch(), std::move(method));
  for (std::uint32_t tp = 0; tp < rules.QNumTimePeriods(); ++tp) {
    if (rules.QTPDuration(tp) < kOpenDuration) rules.WTPTimeout(tp, PeriodTimeout(rules, tp));
  }
  method = static_cast<WQBL::Method>(std::move(rules));
}

}  // namespace

void SaveAcqMethod(const std::wstring& name, const WQBL::Method& method) {
  const std::string failure = "Unable to create acquisition method file" + InParentheses(name);
  SaveBinaryFile(ItemPath(Config::AcqMethodDir, name, kMethodExtension,
                          [&failure](const std::wstring&) { return failure; }),
                 failure, [&method](WQCommon::BinaryWriter& writer) {
                   writer << kMethodFileVersion << method;
                 });
}

WQBL::Method LoadAcqMethod(const std::wstring& name) {
  WQBL::Method method = LoadStoredAcqMethod(name);
  CompleteMethodTimeouts(method);
  return method;
}

WQBL::Method LoadFullyQualifiedAcqMethod(const std::wstring& path) {
  WQBL::Method method = LoadStoredAcqMethodFile(path);
  CompleteMethodTimeouts(method);
  return method;
}

WQBL::Method LoadStoredAcqMethod(const std::wstring& name) {
  return LoadStoredAcqMethodFile(
      ItemPath(Config::AcqMethodDir, name, kMethodExtension, [](const std::wstring& path) {
        return "Unable to open acquisition method file" + InParentheses(path);
      }));
}

WQBL::Method LoadStoredAcqMethodFile(const std::wstring& path) {
  WQBL::Method method;
  const bool opened = ReadVersionedFile(
      path, FileVersions::Only(kMethodFileVersion),
      [&path](std::uint32_t) { return "Invalid acquisition method file" + InParentheses(path); },
      [&method](WQCommon::BinaryReader& reader, std::uint32_t) { reader >> method; });
  if (!opened)
    ThrowOpenFailure("Unable to open acquisition method file" + InParentheses(path), path);
  return method;
}

std::vector<std::wstring> GetAcqMethodNames() {
  return RepositoryNames(Config::AcqMethodDir, kMethodExtension);
}

bool AcqMethodExists(const std::wstring& name) {
  return ItemExists(Config::AcqMethodDir, name, kMethodExtension);
}

void DeleteAcqMethod(const std::wstring& name) {
  DeleteItem(Config::AcqMethodDir, name, kMethodExtension, [](const std::wstring& path) {
    return "Unable to delete acquisition method file" + InParentheses(path);
  });
}

void RenameAcqMethod(const std::wstring& from, const std::wstring& to, bool replace) {
  RenameItem(Config::AcqMethodDir, from, to, kMethodExtension, replace,
             [](const std::wstring& fromPath, const std::wstring& toPath) {
               return "Unable to rename acquisition method file" + InParentheses(fromPath) + " to" +
                      InParentheses(toPath);
             });
}

}  // namespace WQRepos
