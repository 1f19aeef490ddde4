// The module's entry points that belong to no single kind of repository file.
#pragma once

#include <WQCommon/Instrument.h>
#include <WQRepos/Config.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <string>
#include <vector>

namespace WQRepos {

// The time from which the application numbers its data files, in seconds since 1 January 1970
// UTC. A default-constructed record holds the current time.
struct WQREPOS_EXPORT DataFileNameInfo {
  DataFileNameInfo();
  std::int64_t Time;
};

// Reads ConfigClient.xml and creates the data directory tree (see Config::Refresh). The
// application calls it once, first, from one thread. Throws std::runtime_error naming the file and
// the reason, having created nothing, when WQREPOS_CONFIG names a configuration file that cannot
// be read.
WQREPOS_EXPORT void Initialize();
// Reads ConfigClient.xml as Initialize() does, and throws as it does, but creates no directory and
// removes no file: for programs that must leave the data directory as they found it.
WQREPOS_EXPORT void ReadConfiguration();

// The acquisition server's host name; its port goes into `port`.
WQREPOS_EXPORT std::wstring QServerInfo(std::uint16_t& port);
// The data directory.
WQREPOS_EXPORT std::wstring QDataDirectory();
// The acquisition working file in the data directory ("Acquire.ked"); not created here.
WQREPOS_EXPORT std::wstring QDataDirectoryWorkingFile();

// The stored naming record ("DataFileName.pref" in the preferences directory), or a record with
// the current time when none is stored. Throws std::runtime_error "Unknown DataFileNameInfo
// version." for a record of a later version, and WQCommon::StreamError for a truncated one.
WQREPOS_EXPORT DataFileNameInfo QDataDirectoryFileNameInfo();
// Stores the naming record atomically. Throws std::runtime_error "Unable to create
// DataFileNameInfo file." when it cannot be saved; the earlier record then stays.
WQREPOS_EXPORT void WDataDirectoryFileNameInfo(const DataFileNameInfo& info);

// The text of the diagnostic style sheet beside the library: "DiagnosticAPCI.xsl" for the APCI
// probe, "Diagnostic.xsl" for every other. Throws std::runtime_error "Unable to load diagnostic
// xsl file." when it is missing or not well-formed.
WQREPOS_EXPORT std::wstring QDiagnosticXSL(WQCommon::Probes::ProbeTypes probe);
// The autotune script in the autotune directory ("Autotune.xml"); not created here.
WQREPOS_EXPORT std::wstring QAutoTuneScriptFileName();

// The path of the item `name` with `extension` (".xml") in the directory of `kind`, under the
// rules by which the module's saves and loads take names: sub-folders allowed, linked ones
// included, but nothing outside the directory. Throws FileError "Cannot use <path>", with
// "<path>: <reason>" as its Detail(), when no stored item can have the name (it is empty, holds a
// NUL character or text no file name can hold, is absolute, names a folder or leads outside the
// directory).
WQREPOS_EXPORT std::wstring QItemPath(Config::DirTypes kind, const std::wstring& name,
                                      const std::wstring& extension);

// Stores `bytes` as the file of the item `name` with `extension` in the directory of `kind`,
// whole or not at all, and records the save in the history as the module's own saves are. Without
// `replace` an existing file is kept and the save refused ("File exists"). Throws FileError
// "Cannot use <path>" for a name that QItemPath refuses, and "Cannot save <path>", with the
// platform's account as its Detail(), when the file cannot be saved or `bytes` are more than the
// module reads back (WQPlatform::kDocumentSizeLimit).
WQREPOS_EXPORT void SaveStoredFile(Config::DirTypes kind, const std::wstring& name,
                                   const std::wstring& extension, const std::string& bytes,
                                   bool replace = true);
// Removes the file of the item `name` with `extension` in the directory of `kind` and records the
// deletion in the history. Throws FileError "Cannot delete <path>", with "<path>: <reason>" as its
// Detail(), when the name is refused or the file cannot be removed.
WQREPOS_EXPORT void DeleteStoredFile(Config::DirTypes kind, const std::wstring& name,
                                     const std::wstring& extension);

// The names, each cut before its last full stop, of the entries that match `pattern`: a
// directory, the separator, and a file name with wildcards (for example ".../Tunes/*.ket").
// Unsorted, in the order the directory yields them; empty when the directory is missing.
WQREPOS_EXPORT std::vector<std::wstring> GetFileNames(const std::wstring& pattern);

}  // namespace WQRepos
