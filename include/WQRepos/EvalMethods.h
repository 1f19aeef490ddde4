// Evaluation methods: named, ordered lists of curve-evaluation steps, kept in two families that
// share one directory and one format: spectrum methods (".sem") and ion-chromatogram methods
// (".iem"). A name is used as it stands.
#pragma once

#include <WQBL/CurveEval.h>
#include <WQRepos/Export.h>

#include <string>
#include <vector>

namespace WQRepos {

// Stores `method` under `name`, replacing the file whole or not at all. Throws std::runtime_error
// "Unable to create evaluation method file." for a name it refuses (followed by the reason), and
// FileError with that text when the file cannot be saved.
WQREPOS_EXPORT void SaveSpectrumEvalMethod(const std::wstring& name,
                                           const std::vector<WQBL::CurveEval>& method);
// The method stored under `name`. Throws FileError "Unable to open evaluation method file." when
// there is no such file, "Invalid evaluation method file." for a file of another
// version, WQCommon::StreamError naming the file for a short one, and the errors of the steps'
// reader.
WQREPOS_EXPORT std::vector<WQBL::CurveEval> LoadSpectrumEvalMethod(const std::wstring& name);
// The names of the stored methods, unsorted.
WQREPOS_EXPORT std::vector<std::wstring> GetSpectrumEvalMethodNames();
// Deletes the method stored under `name`; false, and nothing thrown, when it cannot.
WQREPOS_EXPORT bool DeleteSpectrumEvalMethod(const std::wstring& name);
// True when a method is stored under `name`: its file is a regular file, after following links.
// False for a name that the save refuses. Never throws for file problems.
WQREPOS_EXPORT bool SpectrumEvalMethodExists(const std::wstring& name);
// Renames the method stored under `from` to `to` in one step; a method stored under `to` is
// replaced only with `replace`. Throws std::runtime_error "Unable to rename evaluation method
// file <from path> to <to path>: <reason>", the reason being why either name is refused, or the
// system's ("File exists" without `replace`, "No such file or directory" for a missing `from`);
// nothing changes then.
WQREPOS_EXPORT void RenameSpectrumEvalMethod(const std::wstring& from, const std::wstring& to,
                                             bool replace = false);

// The same six for ion-chromatogram methods.
WQREPOS_EXPORT void SaveICEvalMethod(const std::wstring& name,
                                     const std::vector<WQBL::CurveEval>& method);
WQREPOS_EXPORT std::vector<WQBL::CurveEval> LoadICEvalMethod(const std::wstring& name);
WQREPOS_EXPORT std::vector<std::wstring> GetICEvalMethodNames();
WQREPOS_EXPORT bool DeleteICEvalMethod(const std::wstring& name);
WQREPOS_EXPORT bool ICEvalMethodExists(const std::wstring& name);
WQREPOS_EXPORT void RenameICEvalMethod(const std::wstring& from, const std::wstring& to,
                                       bool replace = false);

// The spectrum method made from the spectrum processing preferences: baseline, noise, then a
// threshold step only when the peak detection preference uses the threshold, then peak
// detection. Never throws for file problems.
WQREPOS_EXPORT std::vector<WQBL::CurveEval> DefaultSpectrumEvalMethod();

// A loader of evaluation methods by name, such as LoadSpectrumEvalMethod.
using EvalMethodLoader = std::vector<WQBL::CurveEval> (*)(const std::wstring& name);

// Calls `loader` (not null) with `fileName` and puts its result into `method`. Returns an empty
// string on success. When the loader throws a std::runtime_error, `method` is left as it was and
// the result is "Unable to load evaluation method <fileName>\r\nReason: <what()>"; a null
// `fileName` gives "Invalid file name pointer" without calling the loader. Other exceptions pass
// through.
WQREPOS_EXPORT std::wstring SafeLoadEvalMethod(const wchar_t* fileName,
                                               std::vector<WQBL::CurveEval>& method,
                                               EvalMethodLoader loader);

}  // namespace WQRepos
