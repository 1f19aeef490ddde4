#include <WQPlatform/Platform.h>
#include <gmock/gmock.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest() {
    std::string pattern = (fs::temp_directory_path() / "wqplatform-XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  ~PlatformTest() override { fs::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
  static std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t EntryCount() const {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
  }

  fs::path dir;
};

// Fails the nth call of one file operation with an error number.
class FailingOps : public WQPlatform::FileOps {
 public:
  enum Step { kWrite, kSync, kClose, kRename };
  FailingOps(Step step, int error) : step_(step), error_(error) {}
  long Write(int fd, const char* data, std::size_t size) override {
    return step_ == kWrite ? Fail<long>() : FileOps::Write(fd, data, size);
  }
  int Sync(int fd) override { return step_ == kSync ? Fail<int>() : FileOps::Sync(fd); }
  int Close(int fd) override {
    // The descriptor is closed for real either way, as close() does even when it reports EIO.
    const int result = FileOps::Close(fd);
    return step_ == kClose ? Fail<int>() : result;
  }
  int Rename(const std::string& from, const std::string& to) override {
    return step_ == kRename ? Fail<int>() : FileOps::Rename(from, to);
  }

 private:
  template <typename T>
  T Fail() {
    errno = error_;
    return -1;
  }
  Step step_;
  int error_;
};

// Writes at most three bytes a call and is interrupted every other call.
class ChoppyOps : public WQPlatform::FileOps {
 public:
  long Write(int fd, const char* data, std::size_t size) override {
    if (interrupt_ = !interrupt_; interrupt_) {
      errno = EINTR;
      return -1;
    }
    return FileOps::Write(fd, data, std::min<std::size_t>(size, 3));
  }

 private:
  bool interrupt_ = false;
};

void Save(const std::string& target, const std::string& content) {
  WQPlatform::AtomicFile file(target);
  file.Stream() << content;
  file.Commit();
}

TEST_F(PlatformTest, SaveReplacesTheTargetWhole) {
  Save(Path("a.kem"), std::string(1000, 'x'));
  Save(Path("a.kem"), "new");
  EXPECT_EQ(Content(Path("a.kem")), "new");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(PlatformTest, FailedStepLeavesTheEarlierFileAndNoTemporary) {
  Save(Path("a.kem"), "old");
  for (auto step :
       {FailingOps::kWrite, FailingOps::kSync, FailingOps::kClose, FailingOps::kRename}) {
    for (int error : {ENOSPC, EIO, EDQUOT}) {
      FailingOps ops(step, error);
      WQPlatform::ScopedFileOps seam(ops);
      EXPECT_THROW(Save(Path("a.kem"), "new"), WQPlatform::SaveError) << step << " " << error;
      EXPECT_EQ(Content(Path("a.kem")), "old");
      EXPECT_EQ(EntryCount(), 1u);
    }
  }
}

TEST_F(PlatformTest, InterruptedAndShortWritesAreResumed) {
  ChoppyOps ops;
  WQPlatform::ScopedFileOps seam(ops);
  Save(Path("a.kem"), "0123456789abcdef");
  EXPECT_EQ(Content(Path("a.kem")), "0123456789abcdef");
}

TEST_F(PlatformTest, SaveIntoMissingDirectoryFailsBeforeAnythingIsWritten) {
  EXPECT_THAT([this] { WQPlatform::AtomicFile file(Path("missing/a.kem")); },
              ThrowsMessage<WQPlatform::SaveError>(HasSubstr(Path("missing/a.kem"))));
}

TEST_F(PlatformTest, DirectoryInPlaceOfTheTargetIsNotReplaced) {
  fs::create_directory(Path("a.kem"));
  EXPECT_THROW(WQPlatform::AtomicFile file(Path("a.kem")), WQPlatform::SaveError);
  EXPECT_TRUE(fs::is_directory(Path("a.kem")));
}

TEST_F(PlatformTest, UncommittedSaveLeavesNothing) {
  {
    WQPlatform::AtomicFile file(Path("a.kem"));
    file.Stream() << "never";
  }
  EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(PlatformTest, TemporariesNeverMatchTheTargetsExtensionAndAreCleared) {
  WQPlatform::AtomicFile pending(Path("a.kem"));
  EXPECT_THAT(WQPlatform::ListDirectory(dir.string(), "*.kem"), IsEmpty());
  EXPECT_EQ(EntryCount(), 1u);
  WQPlatform::RemoveStaleTemporaries(dir.string());
  EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(PlatformTest, ListingMatchesCaseSensitively) {
  for (const char* name : {"a.ket", "B.KET", "c.ket"}) Save(Path(name), "");
  EXPECT_THAT(WQPlatform::ListDirectory(dir.string(), "*.ket"),
              UnorderedElementsAre("a.ket", "c.ket"));
  EXPECT_THAT(WQPlatform::ListDirectory(Path("missing"), "*"), IsEmpty());
}

TEST_F(PlatformTest, ReadFileGivesTheWholeContentOrNothing) {
  Save(Path("big"), std::string(200000, 'q'));
  EXPECT_EQ(WQPlatform::ReadFile(Path("big")), std::string(200000, 'q'));
  EXPECT_FALSE(WQPlatform::ReadFile(Path("missing")));
  EXPECT_FALSE(WQPlatform::ReadFile(dir.string()));
}

TEST(PlatformNames, HostNameStopsBeforeTheFirstFullStop) {
  EXPECT_EQ(WQPlatform::HostName().find('.'), std::string::npos);
}

}  // namespace
