// What the platform's tests share: a directory of their own for each test, a whole save, and a
// look for the one temporary file a save leaves.
#pragma once

#include <WQPlatform/Platform.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace PlatformTests {

namespace fs = std::filesystem;

class PlatformTest : public ::testing::Test {
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

// The one temporary file in `directory`.
inline std::string OnlyTemporaryIn(const fs::path& directory) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(directory))
    if (WQPlatform::IsTemporaryName(entry.path().filename().string()))
      found.push_back(entry.path().filename().string());
  EXPECT_EQ(found.size(), 1u);
  return found.empty() ? "" : found[0];
}

}  // namespace PlatformTests
