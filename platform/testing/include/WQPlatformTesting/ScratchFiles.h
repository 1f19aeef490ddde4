// Files for tests: a directory of their own, removed with everything in it, and whole files read
// and written in one call.
#pragma once

#include <filesystem>
#include <string>

namespace WQPlatformTesting {

class ScratchDirectory {
 public:
  // Creates a new, empty directory in the system's temporary directory. Throws std::runtime_error
  // when it cannot.
  ScratchDirectory();
  // Removes the directory and everything in it; errors are ignored.
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The bytes of the file at `path`. Throws std::runtime_error naming the file when it cannot be
// opened.
std::string ReadBytes(const std::filesystem::path& path);

// Replaces the file at `path` with `bytes`, in place. Throws std::runtime_error naming the file
// when it cannot be written.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace WQPlatformTesting
