// A reader for each stored kind of the module's catalogue (WQRepos::StoredKinds), and for the two
// files it reads but does not store (a run's calibration data, ConfigClient.xml), fed with raw
// bytes: the fuzz targets run one of them on each input and the corpus replay test runs every
// corpus and regression input through its reader.
//
// The first call of RepositoryDirectory(), which every reader but the ConfigClient.xml one makes,
// initialises the module on the testing library's built-in data directory, not from a
// ConfigClient.xml. Each reader writes only files of its own name there, so processes that run
// different readers at once never share a file; only the ConfigClient.xml reader writes beside the
// library.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace wqfuzz {

struct Reader {
  // Also the name of the reader's corpus folder, and what the fuzz target is told to run.
  std::string name;
  // Stores `bytes` as the file the reader reads, reads it, and removes it again. Swallows the
  // errors a reader may raise for a bad file (the std::exception family) except std::bad_alloc,
  // which no bounded file may cause; anything else escapes.
  std::function<void(const std::string& bytes)> read;
};

// Prints the reader's name, for the tests that take a reader as their parameter.
inline void PrintTo(const Reader& reader, std::ostream* out) { *out << reader.name; }

// The name of the reader of the preference file `preference` ("pref_" and the file's name).
std::string PreferenceReaderName(const std::wstring& preference);

// Every reader, in a fixed order.
const std::vector<Reader>& Readers();

// The reader called `name`. Throws std::invalid_argument "Unknown reader <name>" for any other.
const Reader& FindReader(const std::string& name);

// The repository directory `subdirectory` ("AcqMethod", "Prefs", ...) of the initialised module.
std::filesystem::path RepositoryDirectory(const char* subdirectory);

}  // namespace wqfuzz
