// Saves and reads against what a careless or hostile user may put at a path: special files,
// links, long names, foreign permissions and owners, a full disk. Run on the real file system;
// cases that need privileges the machine does not give are skipped with a message.
#include <WQPlatform/Platform.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "ScratchDirectory.h"

namespace {

using namespace wqplatformtest;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class HostileFilesTest : public wqplatformtest::ScratchDirectoryTest {
 protected:
  ~HostileFilesTest() override {
    for (const char* mounted : {"small", "locked"}) umount2(Path(mounted).c_str(), MNT_DETACH);
  }
  static unsigned ModeOf(const std::string& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
  }
};

TEST_F(HostileFilesTest, NewFileTakesTheUmaskWhichNoSaveChanges) {
  const mode_t previous = umask(027);
  Save(Path("a.kem"), "a");
  EXPECT_EQ(umask(previous), 027u);
  EXPECT_EQ(ModeOf(Path("a.kem")), 0640u);
}

TEST_F(HostileFilesTest, ReplacedFileKeepsItsPermissions) {
  for (unsigned mode : {0600u, 0640u, 0664u}) {
    Save(Path("a.kem"), "old");
    chmod(Path("a.kem").c_str(), mode);
    Save(Path("a.kem"), "new");
    EXPECT_EQ(ModeOf(Path("a.kem")), mode);
  }
}

TEST_F(HostileFilesTest, ReplacedFileKeepsItsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another account needs root";
  Save(Path("a.kem"), "old");
  ASSERT_EQ(chown(Path("a.kem").c_str(), 4321, 8765), 0);
  Save(Path("a.kem"), "new");
  struct stat status {};
  stat(Path("a.kem").c_str(), &status);
  EXPECT_EQ(status.st_uid, 4321u);
  EXPECT_EQ(status.st_gid, 8765u);
}

// Makes a special file of each kind the machine allows at `path`; the kinds made.
std::vector<std::string> MakeSpecialFiles(const std::function<std::string(std::string)>& path) {
  std::vector<std::string> made;
  fs::create_directory(path("directory"));
  made.push_back("directory");
  if (mkfifo(path("fifo").c_str(), 0644) == 0) made.push_back("fifo");
  if (mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) made.push_back("device");
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = path("socket");
  if (socketPath.size() < sizeof address.sun_path) {
    socketPath.copy(address.sun_path, socketPath.size());
    if (bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
      made.push_back("socket");
  }
  close(listening);
  return made;
}

TEST_F(HostileFilesTest, SpecialFileAtTheTargetIsRefusedUntouched) {
  const auto kinds = MakeSpecialFiles([this](std::string name) { return Path(name); });
  for (const std::string& kind : kinds) {
    const auto type = fs::symlink_status(Path(kind)).type();
    EXPECT_THAT([&] { WQPlatform::AtomicFile file(Path(kind)); },
                ThrowsMessage<WQPlatform::SaveError>(HasSubstr("not a regular file")))
        << kind;
    EXPECT_EQ(fs::symlink_status(Path(kind)).type(), type) << kind;
    // Reached through a link, too.
    fs::create_symlink(Path(kind), Path("link-to-" + kind));
    EXPECT_THROW(Save(Path("link-to-" + kind), "x"), WQPlatform::SaveError) << kind;
    EXPECT_EQ(fs::symlink_status(Path(kind)).type(), type) << kind;
  }
  EXPECT_EQ(EntryCount(), 2 * kinds.size()) << "no temporary file is left";
}

TEST_F(HostileFilesTest, SaveThroughALinkReplacesTheFileItLeadsTo) {
  fs::create_directory(Path("shared"));
  Save(Path("shared/a.kem"), "old");
  fs::create_symlink("shared/a.kem", Path("link.kem"));
  Save(Path("link.kem"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("link.kem")));
  EXPECT_EQ(Content(Path("shared/a.kem")), "new");
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(HostileFilesTest, DanglingLinkIsRefused) {
  fs::create_symlink(Path("nowhere/a.kem"), Path("link.kem"));
  EXPECT_THAT([this] { Save(Path("link.kem"), "x"); },
              ThrowsMessage<WQPlatform::SaveError>(HasSubstr(Path("link.kem"))));
  EXPECT_TRUE(fs::is_symlink(Path("link.kem")));
  EXPECT_FALSE(fs::exists(Path("nowhere")));
}

TEST_F(HostileFilesTest, LinkIntoADirectoryTheUserCannotWriteIsRefused) {
  fs::create_directory(Path("locked"));
  const bool mounted =
      geteuid() == 0 && mount("wqtest", Path("locked").c_str(), "tmpfs", 0, "size=64k") == 0;
  Save(Path("locked/a.kem"), "old");
  // Root may write into every directory, but not into a read-only file system.
  if (mounted) {
    ASSERT_EQ(mount("wqtest", Path("locked").c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  } else if (geteuid() == 0) {
    GTEST_SKIP() << "this machine does not let root mount a tmpfs";
  } else {
    fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  }
  fs::create_symlink(Path("locked/a.kem"), Path("link.kem"));
  EXPECT_THROW(Save(Path("link.kem"), "new"), WQPlatform::SaveError);
  EXPECT_EQ(Content(Path("locked/a.kem")), "old");
}

TEST_F(HostileFilesTest, LongestFileNamesCanBeSavedAgainAndAgain) {
  // 255 bytes, the most a name may hold, and a name of two-byte characters.
  std::string utf8;
  while (utf8.size() + 2 <= 251) utf8 += "\xc3\xa9";
  for (const std::string& name : {std::string(251, 'n') + ".kem", utf8 + ".kem"}) {
    Save(Path(name), "first");
    Save(Path(name), "second");
    EXPECT_EQ(Content(Path(name)), "second");
  }
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(HostileFilesTest, FullDiskKeepsTheEarlierFile) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  fs::create_directory(Path("small"));
  if (mount("wqtest", Path("small").c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "this machine does not let root mount a tmpfs";
  Save(Path("small/a.kem"), "old");
  EXPECT_THROW(Save(Path("small/a.kem"), std::string(1 << 20, 'x')), WQPlatform::SaveError);
  EXPECT_EQ(Content(Path("small/a.kem")), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("small")), fs::directory_iterator()), 1);
}

// Both the whole-file read and the positional reads of a run refuse them; a socket cannot even be
// opened and reads as a file that is not there.
TEST_F(HostileFilesTest, ReadRefusesSpecialFilesWithoutWaiting) {
  const auto kinds = MakeSpecialFiles([this](std::string name) { return Path(name); });
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& kind : kinds) {
    const std::function<bool()> opens[] = {
        [&] { return bool(WQPlatform::ReadFile(Path(kind))); },
        [&] { return bool(WQPlatform::ReadOnlyFile::Open(Path(kind))); }};
    for (const auto& open : opens) {
      if (kind == "socket") {
        EXPECT_FALSE(open());
        continue;
      }
      EXPECT_THAT(open, ThrowsMessage<WQPlatform::ReadError>(
                            ::testing::StrEq("Cannot read " + Path(kind) + ": not a regular file")))
          << kind;
    }
  }
  EXPECT_THROW(WQPlatform::ReadFile("/dev/zero"), WQPlatform::ReadError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(HostileFilesTest, ReadRefusesAFileLargerThanItsKindBeforeReadingIt) {
  std::ofstream(Path("sparse.pref")).close();
  fs::resize_file(Path("sparse.pref"), std::uintmax_t{1} << 30);
  EXPECT_THAT([this] { WQPlatform::ReadFile(Path("sparse.pref")); },
              ThrowsMessage<WQPlatform::ReadError>(::testing::StrEq(
                  "Cannot read " + Path("sparse.pref") +
                  ": it holds 1073741824 bytes, more than the 67108864 that a file of its kind "
                  "can hold")));
  fs::resize_file(Path("sparse.pref"), 100);
  EXPECT_EQ(WQPlatform::ReadFile(Path("sparse.pref"), 100)->size(), 100u);
  EXPECT_THROW(WQPlatform::ReadFile(Path("sparse.pref"), 99), WQPlatform::ReadError);
}

}  // namespace
