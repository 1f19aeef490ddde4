// The libFuzzer program of every reader: the environment variable WQFUZZ_READER names the one to
// run (scripts/fuzz.sh sets it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include "Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const wqfuzz::Reader& reader = []() -> const wqfuzz::Reader& {
    const char* name = std::getenv("WQFUZZ_READER");
    if (name == nullptr) {
      std::cerr << "Set WQFUZZ_READER to the name of a reader (MakeCorpus --readers lists them).\n";
      std::exit(2);
    }
    return wqfuzz::FindReader(name);
  }();
  reader.read(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
