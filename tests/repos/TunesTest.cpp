#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ThrowsMessage;

using TunesTest = DataDirectoryTest;

TEST_F(TunesTest, SpecialFileIsNeitherReadNorReplaced) {
  const fs::path pipe = Dir("Tunes") / "Pipe.ket";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_THAT(
      [&] { WQRepos::LoadFullyQualifiedTune(Wide(pipe)); },
      ThrowsMessage<std::runtime_error>("Cannot read " + pipe.string() + ": not a regular file"));
  EXPECT_THAT([] { WQRepos::SaveTune(L"Pipe", WQBL::Tune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " + pipe.string()));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

}  // namespace
