// The platform layer on the real file system, each test in a directory of its own, and against
// what a careless or hostile user may put at a path: special files, links, long names, foreign
// permissions and owners. Cases that need privileges the machine does not give are skipped.
#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/FaultInjector.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;
using WQPlatformTesting::ReadBytes;

class PlatformTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (scratch.Path() / name).string(); }
  std::size_t EntryCount() const {
    return std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator());
  }

  WQPlatformTesting::ScratchDirectory scratch;
};
using HostileFilesTest = PlatformTest;

void Save(const std::string& target, const std::string& content) {
  WQPlatform::AtomicFile file(target);
  file.Stream() << content;
  file.Commit();
}

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

// A file larger than its kind is refused before it is read. A file that grew after it was opened
// is read past that size to its end, and no further than the limit of its kind.
TEST_F(HostileFilesTest, ReadRefusesAFileLargerThanItsKindAndTakesOneThatGrewUpToTheLimit) {
  const std::string path = Path("sparse.pref");
  WQPlatformTesting::WriteBytes(path, "");
  fs::resize_file(path, std::uintmax_t{1} << 30);
  EXPECT_THAT([&] { WQPlatform::ReadFile(path); },
              ThrowsMessage<WQPlatform::ReadError>(
                  StrEq("Cannot read " + path +
                        ": it holds 1073741824 bytes, more than the 67108864 that a file of its "
                        "kind can hold")));
  fs::resize_file(path, 100);
  EXPECT_EQ(WQPlatform::ReadFile(path, 100)->size(), 100u);
  EXPECT_THROW(WQPlatform::ReadFile(path, 99), WQPlatform::ReadError);
  const std::string content(100000, 'g');
  Save(path, content);
  GrowingFileOps growing;
  WQPlatform::ScopedFileOps seam(growing);
  EXPECT_EQ(WQPlatform::ReadFile(path), content);
  EXPECT_EQ(WQPlatform::ReadFile(path, content.size()), content);
  EXPECT_THAT([&] { WQPlatform::ReadFile(path, 99999); },
              ThrowsMessage<WQPlatform::ReadError>(
                  StrEq("Cannot read " + path +
                        ": it grew beyond the 99999 bytes that a file of its kind can hold")));
}

}  // namespace
