// Every save operation of the module, each with two different values to save, the file it writes,
// the message its failure carries and the reader of that file: the material of the fault-injection
// and power-loss tests, and of the fuzz corpus.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace wqfuzz {

struct SaveCase {
  std::string name;
  std::filesystem::path file;
  // Saves value 0 or value 1; throws an exception of the std::exception family on failure.
  std::function<void(int value)> save;
  // The what() of a failed save; when empty, any message that names the file.
  std::string failure;
  // The reader (see Readers.h) whose corpus takes the saved file; empty for a file the module only
  // writes or that another case already gives.
  std::string reader;
};

// The save operations of the module, writing under the initialised data directory `base`.
std::vector<SaveCase> AllSaveCases(const std::filesystem::path& base);

// Saves value `value` of `save` and gives the bytes of the file it wrote.
std::string SavedBytes(const SaveCase& save, int value);

}  // namespace wqfuzz
