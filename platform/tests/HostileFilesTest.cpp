// Saves and reads against what a careless or hostile user may put at a path: special files,
// links, long names, foreign permissions and owners. Run on the real file system; cases that need
// privileges the machine does not give are skipped.
#include <WQPlatform/Platform.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScratchDirectory.h"

namespace {

using namespace wqplatformtest;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

using HostileFilesTest = ScratchDirectoryTest;

// Owner and group only where the machine lets a process give a file away.
TEST_F(HostileFilesTest, ReplacedFileKeepsItsPermissionsAndOwner) {
  const std::string path = Path("a.kem");
  for (unsigned mode : {0600u, 0640u, 0664u}) {
    Save(path, "old");
    chmod(path.c_str(), mode);
    const bool foreign = geteuid() == 0 && chown(path.c_str(), 4321, 8765) == 0;
    Save(path, "new");
    struct stat status {};
    stat(path.c_str(), &status);
    EXPECT_EQ(status.st_mode & 07777, mode);
    if (foreign) {
      EXPECT_EQ(std::tie(status.st_uid, status.st_gid), std::make_tuple(4321u, 8765u));
    }
  }
}

// A save refuses them also through a link and leaves no temporary file; both the whole-file read
// and the positional reads of a run refuse them, and a FIFO without a writer keeps neither waiting.
TEST_F(HostileFilesTest, SpecialFilesAreNeitherSavedOverNorRead) {
  fs::create_directory(Path("directory"));
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  for (const std::string kind : {"directory", "fifo"}) {
    SCOPED_TRACE(kind);
    const auto type = fs::symlink_status(Path(kind)).type();
    EXPECT_THAT([&] { WQPlatform::AtomicFile file(Path(kind)); },
                ThrowsMessage<WQPlatform::SaveError>(HasSubstr("not a regular file")));
    fs::create_symlink(Path(kind), Path("link-to-" + kind));
    EXPECT_THROW(Save(Path("link-to-" + kind), "x"), WQPlatform::SaveError);
    EXPECT_EQ(fs::symlink_status(Path(kind)).type(), type);
  }
  EXPECT_EQ(EntryCount(), 4u) << "no temporary file is left";
  for (const std::string& path : {std::string("/dev/zero"), Path("directory"), Path("fifo")}) {
    const auto refused =
        ThrowsMessage<WQPlatform::ReadError>(StrEq("Cannot read " + path + ": not a regular file"));
    EXPECT_THAT([&] { WQPlatform::ReadFile(path); }, refused);
    EXPECT_THAT([&] { WQPlatform::ReadOnlyFile::Open(path); }, refused);
  }
}

// The link stays a link and the file it leads to is replaced; a link that leads nowhere is
// refused without making the directories it names.
TEST_F(HostileFilesTest, SaveThroughALinkReplacesTheFileItLeadsTo) {
  fs::create_directory(Path("shared"));
  Save(Path("shared/a.kem"), "old");
  fs::create_symlink("shared/a.kem", Path("link.kem"));
  Save(Path("link.kem"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.kem")));
  EXPECT_EQ(ReadBytes(Path("shared/a.kem")), "new");
  fs::create_symlink(Path("nowhere/a.kem"), Path("dangling.kem"));
  EXPECT_THAT([this] { Save(Path("dangling.kem"), "x"); },
              ThrowsMessage<WQPlatform::SaveError>(HasSubstr(Path("dangling.kem"))));
  EXPECT_TRUE(fs::is_symlink(Path("dangling.kem")));
  EXPECT_FALSE(fs::exists(Path("nowhere")));
  EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(HostileFilesTest, LongestFileNamesCanBeSavedAgainAndAgain) {
  // 255 bytes, the most a name may hold, and a name of two-byte characters.
  std::string utf8;
  while (utf8.size() + 2 <= 251) utf8 += "\xc3\xa9";
  for (const std::string& name : {std::string(251, 'n') + ".kem", utf8 + ".kem"}) {
    Save(Path(name), "first");
    Save(Path(name), "second");
    EXPECT_EQ(ReadBytes(Path(name)), "second");
  }
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(HostileFilesTest, ReadRefusesAFileLargerThanItsKindBeforeReadingIt) {
  WQPlatformTesting::WriteBytes(Path("sparse.pref"), "");
  fs::resize_file(Path("sparse.pref"), std::uintmax_t{1} << 30);
  EXPECT_THAT([this] { WQPlatform::ReadFile(Path("sparse.pref")); },
              ThrowsMessage<WQPlatform::ReadError>(StrEq(
                  "Cannot read " + Path("sparse.pref") +
                  ": it holds 1073741824 bytes, more than the 67108864 that a file of its kind "
                  "can hold")));
  fs::resize_file(Path("sparse.pref"), 100);
  EXPECT_EQ(WQPlatform::ReadFile(Path("sparse.pref"), 100)->size(), 100u);
  EXPECT_THROW(WQPlatform::ReadFile(Path("sparse.pref"), 99), WQPlatform::ReadError);
}

}  // namespace
