#include <WQRepos/Autotune.h>
#include <WQRepos/Config.h>
#include <WQRepos/Tunes.h>

#include <stdexcept>
#include <string>

#include "frame/Repository.h"

namespace WQRepos {

namespace {

// The first two characters of a tune's name: the resolution's letter and the polarity's sign,
// indexed by the enumeration values.
const wchar_t kResolutionLetters[] = {L'L', L'U', L'H'};
const wchar_t kPolaritySigns[] = {L'+', L'-'};

template <typename Enum, std::size_t Size>
wchar_t CodeOf(const wchar_t (&codes)[Size], Enum value, const char* what) {
  if (value < 0 || static_cast<std::size_t>(value) >= Size) {
    throw std::runtime_error("No autotune tune-name code for " + std::string(what) + " " +
                             std::to_string(static_cast<long long>(value)) + ".");
  }
  return codes[value];
}

// Folds A to Z onto a to z and leaves every other character as it is.
wchar_t FoldAsciiCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

bool StartsWithIgnoringCase(const std::wstring& name, const std::wstring& prefix) {
  if (name.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAsciiCase(name[i]) != FoldAsciiCase(prefix[i])) return false;
  }
  return true;
}

}  // namespace

std::wstring QAutoTuneSource() {
  return Config().QDirectory(Config::TunesDir) + Separator() + L"Source.xml";
}

std::list<std::wstring> QAutoTuneFileList(Resolution resolution, WQCommon::PolarityTypes polarity) {
  const std::wstring prefix{CodeOf(kResolutionLetters, resolution, "resolution"),
                            CodeOf(kPolaritySigns, polarity, "polarity")};
  const std::vector<std::wstring> names = GetTuneNames();
  std::list<std::wstring> matches(names.begin(), names.end());
  matches.remove_if(
      [&prefix](const std::wstring& name) { return !StartsWithIgnoringCase(name, prefix); });
  return matches;
}

}  // namespace WQRepos
