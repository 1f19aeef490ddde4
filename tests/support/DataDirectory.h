// Test support for the module: a fresh data directory per test, configured through the
// ConfigClient.xml beside the library that the tests load.
#pragma once

#include <WQBL/Method.h>
#include <WQCommon/ErrorContext.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <WQRepos/Exception.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace wqtest {

namespace fs = std::filesystem;

using WQPlatformTesting::ReadBytes;
using WQPlatformTesting::ScratchDirectory;
using WQPlatformTesting::WriteBytes;

// The folder of the library under test, where it looks for ConfigClient.xml.
inline fs::path LibraryFolder() { return WQREPOS_TESTLIB_DIR; }

// Writes `content` as the ConfigClient.xml beside the library, or removes it when empty, and
// removes it again when destroyed.
class ConfigClientFile {
 public:
  explicit ConfigClientFile(const std::string& content);
  ~ConfigClientFile() { fs::remove(LibraryFolder() / "ConfigClient.xml"); }
};

// The text of a ConfigClient.xml that names these three settings.
std::string ConfigClientXml(const std::string& host, const std::string& port,
                            const std::string& baseDir);

// Each test gets an initialised module whose base data directory is a fresh temporary one.
class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  fs::path Base() const { return temp_.Path() / "WQData"; }
  fs::path Dir(const char* name) const { return Base() / name; }

 private:
  ScratchDirectory temp_;
};

// A DataDirectoryTest whose module keeps no history: for the tests of the saves themselves, which
// make hundreds of them, where each record would only add its wait for the disk.
class UnrecordedDataDirectoryTest : public DataDirectoryTest {
 protected:
  void SetUp() override;
};

// Little-endian encodings for hand-made files.
std::string U32(std::uint32_t value);
std::string I64(std::int64_t value);

// Matches a call that throws WQRepos::QMVException with the message `message`.
inline auto ThrowsQMVException(const std::wstring& message) {
  return ::testing::Throws<WQRepos::QMVException>(
      ::testing::Property(&WQRepos::QMVException::Message, message));
}

// Matches a call that throws WQRepos::FileError whose what() is `message` exactly and whose
// Detail() is `detail`.
inline auto ThrowsFileError(const std::string& message, const std::string& detail) {
  return ::testing::Throws<WQRepos::FileError>(
      ::testing::AllOf(::testing::Property(&WQRepos::FileError::what, ::testing::StrEq(message)),
                       ::testing::Property(&WQRepos::FileError::Detail, detail)));
}

// Matches an exception whose what() is `text` and that carries `context` nested in it, as
// WQCommon::ThrowWithContext throws it.
MATCHER_P2(IsErrorWithContext, text, context, "") {
  return std::string(arg.what()) == text && WQCommon::ContextOf(arg) == context;
}

// The temporary files of saves under `directory`, however deep.
std::size_t TemporaryFiles(const fs::path& directory);

// A method of `value` + 1 empty time periods, knowing tune 1.
WQBL::Method MethodOf(int value);

}  // namespace wqtest
