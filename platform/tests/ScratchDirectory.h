// A directory of its own for each test of the platform layer, removed afterwards, and the
// smallest whole save.
#pragma once

#include <WQPlatform/Platform.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace wqplatformtest {

namespace fs = std::filesystem;

class ScratchDirectoryTest : public ::testing::Test {
 protected:
  ScratchDirectoryTest() {
    std::string pattern = (fs::temp_directory_path() / "wqplatform-XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  ~ScratchDirectoryTest() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  static std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::size_t EntryCount() const {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
  }

  fs::path dir;
};

inline void Save(const std::string& target, const std::string& content) {
  WQPlatform::AtomicFile file(target);
  file.Stream() << content;
  file.Commit();
}

}  // namespace wqplatformtest
