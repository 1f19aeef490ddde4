#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class TunesTest : public DataDirectoryTest {
 protected:
  fs::path TuneFile(const std::string& name) const { return Dir("Tunes") / (name + ".ket"); }
};

TEST_F(TunesTest, MissingFileOrOneOfAnotherVersionIsRefusedNamingThePath) {
  EXPECT_THAT(
      [] { WQRepos::LoadTune(L"Bad"); },
      ThrowsMessage<std::runtime_error>("Unable to open tune file: " + TuneFile("Bad").string()));
  WriteBytes(TuneFile("Bad"), U32(7));
  EXPECT_THAT([] { WQRepos::LoadTune(L"Bad"); },
              ThrowsMessage<std::runtime_error>("Invalid tune file version. Tune file: " +
                                                TuneFile("Bad").string() + " version: 7"));
  WriteBytes(TuneFile("Bad"), U32(4000000000u));
  EXPECT_THAT([] { WQRepos::LoadTune(L"Bad"); },
              ThrowsMessage<std::runtime_error>(HasSubstr(" version: 4000000000")));
}

TEST_F(TunesTest, SpecialFileIsNeitherReadNorReplaced) {
  ASSERT_EQ(mkfifo(TuneFile("Pipe").c_str(), 0644), 0);
  const std::string pipe = TuneFile("Pipe").string();
  EXPECT_THAT([&] { WQRepos::LoadFullyQualifiedTune(Wide(pipe)); },
              ThrowsMessage<std::runtime_error>("Cannot read " + pipe + ": not a regular file"));
  EXPECT_THAT([] { WQRepos::SaveTune(L"Pipe", WQBL::Tune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " + pipe));
  EXPECT_TRUE(fs::is_fifo(TuneFile("Pipe")));
}

}  // namespace
