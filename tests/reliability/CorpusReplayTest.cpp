// Every file of the fuzz corpus and every input that once made a reader fail goes through its
// reader again, and so does every proper prefix of each small corpus file: a reader may refuse a
// file, but never crash on one.
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Readers.h"

namespace {

namespace fs = std::filesystem;

// The inputs in tests/data/<set>/<reader> (every reader has both folders), in name order; hidden
// files (.gitkeep) are not inputs.
std::vector<fs::path> Inputs(const char* set, const std::string& reader) {
  std::vector<fs::path> inputs;
  const fs::path folder = fs::path(WQREPOS_TEST_DATA_DIR) / set / reader;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
      inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

class CorpusReplay : public ::testing::TestWithParam<wqfuzz::Reader> {};

TEST_P(CorpusReplay, EveryCorpusFileAndRegressionIsReadWithoutACrash) {
  EXPECT_THAT(Inputs("corpus", GetParam().name), ::testing::Not(::testing::IsEmpty()));
  for (const char* set : {"corpus", "regressions"}) {
    for (const fs::path& input : Inputs(set, GetParam().name)) {
      SCOPED_TRACE(input.string());
      EXPECT_NO_THROW(GetParam().read(WQPlatformTesting::ReadBytes(input)));
    }
  }
}

// The large deep and wide XML documents are left out: cutting them tells nothing the small ones do
// not, at a thousand times the cost.
TEST_P(CorpusReplay, EveryPrefixOfASmallCorpusFileIsReadWithoutACrash) {
  constexpr std::size_t kLargestCut = 1600;
  for (const fs::path& input : Inputs("corpus", GetParam().name)) {
    const std::string content = WQPlatformTesting::ReadBytes(input);
    if (content.size() > kLargestCut) continue;
    for (std::size_t length = 0; length < content.size(); ++length) {
      SCOPED_TRACE(input.string() + " cut at " + std::to_string(length));
      ASSERT_NO_THROW(GetParam().read(content.substr(0, length)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllReaders, CorpusReplay, ::testing::ValuesIn(wqfuzz::Readers()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
