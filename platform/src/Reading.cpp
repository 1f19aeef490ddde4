// Whole-file reading, and files read at any offset.
#include <WQPlatform/Platform.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Internal.h"

namespace WQPlatform {
namespace {

// Closes a descriptor opened through the file operations when the reading is over.
class ReadingDescriptor {
 public:
  explicit ReadingDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~ReadingDescriptor() {
    if (descriptor_ >= 0) Ops().Close(descriptor_);
  }
  ReadingDescriptor(const ReadingDescriptor&) = delete;
  ReadingDescriptor& operator=(const ReadingDescriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

}  // namespace

std::optional<std::string> UnreadableReason(const std::string& path) {
  const ReadingDescriptor descriptor(Ops().OpenForReading(path));
  if (descriptor.get() < 0) return std::string(std::strerror(errno));
  FileStatus status;
  if (Ops().Status(descriptor.get(), status) != 0) return std::string(std::strerror(errno));
  if (!status.regular) return std::string("not a regular file");
  return std::nullopt;
}

std::optional<std::string> ReadFile(const std::string& path, std::size_t limit) {
  const ReadingDescriptor descriptor(Ops().OpenForReading(path));
  if (descriptor.get() < 0) return std::nullopt;
  FileStatus status;
  if (Ops().Status(descriptor.get(), status) != 0) return std::nullopt;
  if (!status.regular) throw ReadError("Cannot read " + path + ": not a regular file");
  if (status.size > limit) {
    throw ReadError("Cannot read " + path + ": it holds " + std::to_string(status.size) +
                    " bytes, more than the " + std::to_string(limit) +
                    " that a file of its kind can hold");
  }
  // One byte more than the file held: a read that comes back short has met the end of a regular
  // file, so no second read is needed to find it. A full one means the file has grown since its
  // fstat; the rest is read as it comes, no further than the limit.
  std::string content(static_cast<std::size_t>(status.size) + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) {
      if (filled > limit) {
        throw ReadError("Cannot read " + path + ": it grew beyond the " + std::to_string(limit) +
                        " bytes that a file of its kind can hold");
      }
      content.resize(std::min(2 * filled, limit + 1));
    }
    const long got = Ops().Read(descriptor.get(), content.data() + filled, content.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    filled += static_cast<std::size_t>(got);
    if (filled < content.size()) break;
  }
  content.resize(filled);
  return content;
}

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path) {
  const int descriptor = Ops().OpenForReading(path);
  if (descriptor < 0) return nullptr;
  std::unique_ptr<ReadOnlyFile> file(new ReadOnlyFile(path, descriptor, 0));
  FileStatus status;
  if (Ops().Status(descriptor, status) != 0) return nullptr;
  if (!status.regular) throw ReadError("Cannot read " + path + ": not a regular file");
  file->size_ = status.size;
  return file;
}

ReadOnlyFile::ReadOnlyFile(std::string path, int descriptor, std::uint64_t size)
    : path_(std::move(path)), descriptor_(descriptor), size_(size) {}

ReadOnlyFile::~ReadOnlyFile() {
  Ops().Close(descriptor_);
  if (!removeOnClose_.empty()) Ops().Unlink(removeOnClose_);
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  if (offset >= size_) return 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
  std::size_t done = 0;
  while (done < size) {
    const long got = Ops().ReadAt(descriptor_, data + done, size - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ReadError("Cannot read " + path_ + ": " + std::strerror(errno));
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

namespace {

// A file for reading and writing in `directory` that no name leads to: unnamed where the file
// system can make one so, else named and removed at once, or, where an open file cannot be
// removed (SMB), named `removeOnClose` until it is closed. -1, with errno set, when it cannot.
int ScratchIn(const std::string& directory, std::string& removeOnClose) {
  const int unnamed = Ops().CreateScratch(directory);
  if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return unnamed;
  std::string path = directory + kSeparator + ".wqscratch-" + std::string(kUniqueLength, 'X');
  const int named = Ops().CreateNamedScratch(path);
  if (named < 0 || Ops().Unlink(path) == 0) return named;
  if (errno == EBUSY) {
    removeOnClose = path;
    return named;
  }
  const int error = errno;
  Ops().Close(named);
  Ops().Unlink(path);
  errno = error;
  return -1;
}

}  // namespace

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Scratch(
    std::string name, const std::function<void(const Writer&)>& fill) {
  std::string directory = EnvironmentVariable("TMPDIR").value_or("");
  if (directory.empty()) directory = "/tmp";
  std::string removeOnClose;
  const int descriptor = ScratchIn(directory, removeOnClose);
  if (descriptor < 0) {
    throw ReadError("Cannot create a temporary file for " + name + " in " + directory + ": " +
                    std::strerror(errno));
  }
  std::unique_ptr<ReadOnlyFile> file(new ReadOnlyFile(std::move(name), descriptor, 0));
  file->removeOnClose_ = std::move(removeOnClose);
  fill([&file](std::string_view bytes) {
    if (!WriteAll(file->descriptor_, bytes.data(), bytes.size())) {
      throw ReadError("Cannot write the temporary file for " + file->path_ + ": " +
                      std::strerror(errno));
    }
    file->size_ += bytes.size();
  });
  return file;
}

}  // namespace WQPlatform
