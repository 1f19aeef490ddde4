// A directory of its own for each test of the platform layer, removed afterwards, and the
// smallest whole save.
#pragma once

#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace wqplatformtest {

namespace fs = std::filesystem;
using WQPlatformTesting::ReadBytes;

class ScratchDirectoryTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (scratch.Path() / name).string(); }
  std::size_t EntryCount() const {
    return std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator());
  }

  WQPlatformTesting::ScratchDirectory scratch;
};

inline void Save(const std::string& target, const std::string& content) {
  WQPlatform::AtomicFile file(target);
  file.Stream() << content;
  file.Commit();
}

}  // namespace wqplatformtest
