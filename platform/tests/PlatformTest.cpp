#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <gmock/gmock.h>

#include <fstream>

#include "ScratchDirectory.h"

namespace {

using namespace wqplatformtest;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

using PlatformTest = ScratchDirectoryTest;

// Content larger than the save's buffer goes out in several writes. A failed one after the first
// (operation 3, after creating the temporary file) fails the save at Commit with its own error,
// and the earlier file stays.
TEST_F(PlatformTest, LargeContentIsWrittenWholeOrNotAtAll) {
  std::string large(300000, 'x');
  for (std::size_t i = 0; i < large.size(); i += 7) large[i] = static_cast<char>('a' + i % 26);
  Save(Path("a.kem"), large);
  EXPECT_EQ(ReadBytes(Path("a.kem")), large);
  WQPlatformTesting::FaultInjector injector(3, WQPlatformTesting::Fault::NoSpace,
                                            WQPlatformTesting::Mode::Once);
  WQPlatform::ScopedFileOps seam(injector);
  WQPlatform::AtomicFile file(Path("a.kem"));
  for (const char character : std::string(200000, 'y')) file.Stream().put(character);
  EXPECT_THAT([&] { file.Commit(); },
              ThrowsMessage<WQPlatform::SaveError>("Cannot write " + Path("a.kem") +
                                                   ": No space left on device"));
  EXPECT_EQ(injector.FirstStruck(), "Write");
  EXPECT_EQ(ReadBytes(Path("a.kem")), large);
  EXPECT_EQ(EntryCount(), 1u);
}

// File operations that report every file smaller than it is, as if it grew after its fstat.
class GrowingFileOps : public WQPlatform::FileOps {
 public:
  int Status(int descriptor, WQPlatform::FileStatus& status) override {
    const int result = FileOps::Status(descriptor, status);
    status.size = 1;
    return result;
  }
};

// The read past the size the file had when opened goes on to its end, and no further than the
// limit of its kind.
TEST_F(PlatformTest, ReadTakesAFileThatGrewWholeUpToTheLimit) {
  const std::string content(100000, 'g');
  Save(Path("grown.pref"), content);
  GrowingFileOps growing;
  WQPlatform::ScopedFileOps seam(growing);
  EXPECT_EQ(WQPlatform::ReadFile(Path("grown.pref")), content);
  EXPECT_EQ(WQPlatform::ReadFile(Path("grown.pref"), content.size()), content);
  EXPECT_THAT([this] { WQPlatform::ReadFile(Path("grown.pref"), 99999); },
              ThrowsMessage<WQPlatform::ReadError>(
                  "Cannot read " + Path("grown.pref") +
                  ": it grew beyond the 99999 bytes that a file of its kind can hold"));
}

// A save in progress is hidden from listings and is not stale while its process lives; a save
// never committed leaves nothing.
TEST_F(PlatformTest, OnlyTemporariesOfEndedProcessesAreRemoved) {
  // No process can have this id: it is above the largest the kernel hands out.
  const char* stale = ".a.kem.wqtmp-99999999-Ab12Cd";
  std::ofstream(Path(stale)) << "half a method";
  // Stored files whose names merely look like temporaries.
  const char* kept[] = {".notes.wqtmp-keep", ".keep.wqtmp-99999999-1.kem",
                        ".keep.wqtmp-99999999-Ab12Cd.kem"};
  for (const char* name : kept) std::ofstream(Path(name)) << "a method";
  Save(Path("b.kem"), "b");
  EXPECT_TRUE(fs::exists(Path(stale))) << "a save scans no directory";
  {
    WQPlatform::AtomicFile pending(Path("c.kem"));
    pending.Stream() << "never";
    EXPECT_THAT(WQPlatform::ListDirectory(scratch.Path().string(), "*.kem"),
                UnorderedElementsAre("b.kem", kept[1], kept[2]));
    WQPlatform::RemoveStaleTemporaries(scratch.Path().string());
    EXPECT_EQ(EntryCount(), 5u);
  }
  EXPECT_FALSE(fs::exists(Path(stale)));
  for (const char* name : kept) EXPECT_TRUE(fs::exists(Path(name))) << name;
  EXPECT_EQ(EntryCount(), 4u);
}

}  // namespace
