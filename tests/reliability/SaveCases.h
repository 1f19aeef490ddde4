// Every save operation of the module, each with two different values to save, the file it writes
// and the message its failure carries: the material of the fault-injection, power-loss, kill and
// concurrency tests.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace wqtest {

struct SaveCase {
  std::string name;
  std::filesystem::path file;
  // Saves value 0 or value 1; throws an exception of the std::exception family on failure.
  std::function<void(int value)> save;
  // The what() of a failed save; when empty, any message that names the file.
  std::string failure;
};

// The save operations of the module, writing under the initialised data directory `base`.
std::vector<SaveCase> AllSaveCases(const std::filesystem::path& base);

}  // namespace wqtest
