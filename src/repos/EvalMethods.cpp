#include <WQCommon/Text.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/Exception.h>
#include <WQRepos/Preferences.h>

#include <optional>
#include <sstream>
#include <stdexcept>

#include "frame/Files.h"
#include "frame/Repository.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kEvalMethodFileVersion = 1;
const wchar_t kSpectrumExtension[] = L".sem";
const wchar_t kICExtension[] = L".iem";
const char kCreateFailure[] = "Unable to create evaluation method file.";
const char kOpenFailure[] = "Unable to open evaluation method file.";

// The path of the method `name`, or std::runtime_error "<failure, without its full stop>:
// <reason>".
std::wstring EvalMethodPath(const std::wstring& name, const wchar_t* extension,
                            const char* failure) {
  return ItemPath(Config::EvalMethodDir, name, extension,
                  [failure](const std::wstring&) { return failure; });
}

void SaveEvalMethod(const std::wstring& name, const wchar_t* extension,
                    const std::vector<WQBL::CurveEval>& method) {
  SaveBinaryFile(EvalMethodPath(name, extension, kCreateFailure), kCreateFailure,
                 [&method](WQCommon::BinaryWriter& writer) {
                   writer << kEvalMethodFileVersion;
                   WQCommon::WriteCountedList(writer, method);
                 });
}

std::vector<WQBL::CurveEval> LoadEvalMethod(const std::wstring& name, const wchar_t* extension) {
  std::vector<WQBL::CurveEval> method;
  const std::wstring path = EvalMethodPath(name, extension, kOpenFailure);
  const bool opened = ReadVersionedFile(
      path, FileVersions::Only(kEvalMethodFileVersion), "Invalid evaluation method file.",
      [&method](WQCommon::BinaryReader& reader, std::uint32_t) {
        method = WQCommon::ReadCountedList<WQBL::CurveEval>(reader);
      });
  if (!opened) ThrowOpenFailure(kOpenFailure, path);
  return method;
}

// Evaluation methods answer a deletion with whether it was made, not with an error.
bool DeleteEvalMethod(const std::wstring& name, const wchar_t* extension) {
  try {
    DeleteItem(Config::EvalMethodDir, name, extension, [](const std::wstring&) { return ""; });
    return true;
  } catch (const FileError&) {
    return false;
  }
}

void RenameEvalMethod(const std::wstring& from, const std::wstring& to, const wchar_t* extension,
                      bool replace) {
  RenameItem(Config::EvalMethodDir, from, to, extension, replace,
             [](const std::wstring& fromPath, const std::wstring& toPath) {
               return "Unable to rename evaluation method file " + NativePath(fromPath) + " to " +
                      NativePath(toPath);
             });
}

}  // namespace

void SaveSpectrumEvalMethod(const std::wstring& name, const std::vector<WQBL::CurveEval>& method) {
  SaveEvalMethod(name, kSpectrumExtension, method);
}

std::vector<WQBL::CurveEval> LoadSpectrumEvalMethod(const std::wstring& name) {
  return LoadEvalMethod(name, kSpectrumExtension);
}

std::vector<std::wstring> GetSpectrumEvalMethodNames() {
  return RepositoryNames(Config::EvalMethodDir, kSpectrumExtension);
}

bool DeleteSpectrumEvalMethod(const std::wstring& name) {
  return DeleteEvalMethod(name, kSpectrumExtension);
}

bool SpectrumEvalMethodExists(const std::wstring& name) {
  return ItemExists(Config::EvalMethodDir, name, kSpectrumExtension);
}

void RenameSpectrumEvalMethod(const std::wstring& from, const std::wstring& to, bool replace) {
  RenameEvalMethod(from, to, kSpectrumExtension, replace);
}

void SaveICEvalMethod(const std::wstring& name, const std::vector<WQBL::CurveEval>& method) {
  SaveEvalMethod(name, kICExtension, method);
}

std::vector<WQBL::CurveEval> LoadICEvalMethod(const std::wstring& name) {
  return LoadEvalMethod(name, kICExtension);
}

std::vector<std::wstring> GetICEvalMethodNames() {
  return RepositoryNames(Config::EvalMethodDir, kICExtension);
}

bool DeleteICEvalMethod(const std::wstring& name) { return DeleteEvalMethod(name, kICExtension); }

bool ICEvalMethodExists(const std::wstring& name) {
  return ItemExists(Config::EvalMethodDir, name, kICExtension);
}

void RenameICEvalMethod(const std::wstring& from, const std::wstring& to, bool replace) {
  RenameEvalMethod(from, to, kICExtension, replace);
}

std::vector<WQBL::CurveEval> DefaultSpectrumEvalMethod() {
  const Preferences preferences;
  std::vector<WQBL::CurveEval> method{WQBL::CurveEval(preferences.QMZBaseline()),
                                      WQBL::CurveEval(preferences.QMZNoise())};
  const WQBL::PeakDetectParams peakDetect = preferences.QMZPeakDetect();
  if (peakDetect.UseThreshold) method.emplace_back(preferences.QMZThreshold());
  method.emplace_back(peakDetect);
  return method;
}

std::wstring SafeLoadEvalMethod(const wchar_t* fileName, std::vector<WQBL::CurveEval>& method,
                                EvalMethodLoader loader) {
  if (fileName == nullptr) return L"Invalid file name pointer";
  const std::wstring name(fileName);
  try {
    method = loader(name);
  } catch (const std::runtime_error& error) {
    std::wostringstream message;
    message << L"Unable to load evaluation method " << name << L"\r\nReason: "
            << WQCommon::WQNarrowToWideStr(error.what());
    return message.str();
  }
  return L"";
}

}  // namespace WQRepos
