// A libFuzzer program for the one reader named at compile time (WQFUZZ_READER).
#include <cstddef>
#include <cstdint>
#include <string>

#include "Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const wqfuzz::Reader& reader = wqfuzz::FindReader(WQFUZZ_READER);
  reader.read(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
