// The atomic, durable save: content into a temporary file, synced, then renamed into place.
#include <WQPlatform/Platform.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "Internal.h"

namespace WQPlatform {
namespace {

// True when a look at a path failed because nothing is there, or because its folder may not be
// searched, where creating the temporary file then fails with the same reason.
bool Missing(int error) { return error == ENOENT || error == ENOTDIR || error == EACCES; }

// The file a save to `target` replaces: the final target of a symbolic link, so that the link
// stays a link and a file shared through it stays shared. A look that fails for another reason
// is refused: the target might be a link that a plain file would replace.
std::string ReplacedFile(const std::string& target) {
  FileStatus status;
  if (Ops().LinkStatus(target, status) != 0) {
    if (Missing(errno)) return target;
    throw SaveError(SystemError("Cannot look at", target, errno));
  }
  if (!status.link) return target;
  std::string resolved;
  if (Ops().ResolvePath(target, resolved) != 0)
    throw SaveError(SystemError("Cannot follow the link", target, errno));
  return resolved;
}

// The status of the file that `target` names, when one exists. Throws SaveError for anything a
// save must not replace: a directory, device, FIFO or socket, or a file the user may not write;
// and when the file cannot be looked at, so that its owner and permissions are never lost.
std::optional<FileStatus> ReplaceableFile(const std::string& target) {
  FileStatus status;
  if (Ops().PathStatus(target, status) != 0) {
    if (Missing(errno)) return std::nullopt;
    throw SaveError(SystemError("Cannot replace", target, errno));
  }
  if (!status.regular) {
    throw SaveError(SystemError("Cannot replace", target, status.directory ? EISDIR : EINVAL) +
                    " (not a regular file)");
  }
  // Another client may rename the file away between the two looks: then there is none to replace.
  if (Ops().Access(target, W_OK) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw SaveError(SystemError("Cannot replace", target, errno));
  }
  return status;
}

}  // namespace

bool WriteAll(int descriptor, const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const long done = Ops().Write(descriptor, data + written, size - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return false;
    }
    written += static_cast<std::size_t>(done);
  }
  return true;
}

// The stream buffer of an AtomicFile: content goes into the temporary file as it comes, a buffer
// at a time, so that a save holds no more than one buffer of it. The first failed write is kept,
// and nothing is written after it.
class AtomicFile::Output : public std::streambuf {
 public:
  Output(int descriptor, std::uint64_t limit) : descriptor_(descriptor), left_(limit) {
    setp(buffer_, buffer_ + kSize);
  }

  // Writes what the buffer holds; false, with errno set to the first failed write's error, once
  // any write has failed.
  bool Flush() {
    if (error_ == 0 && !Write(pbase(), static_cast<std::size_t>(pptr() - pbase()))) error_ = errno;
    setp(buffer_, buffer_ + kSize);
    errno = error_;
    return error_ == 0;
  }
  // Whether more than the limit was to be written.
  bool TooLarge() const { return tooLarge_; }

 protected:
  int_type overflow(int_type character) override {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(character);
      pbump(1);
    }
    return traits_type::not_eof(character);
  }

  // Large pieces go to the file directly instead of through the buffer.
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    if (size < static_cast<std::streamsize>(kSize)) return std::streambuf::xsputn(data, size);
    if (!Flush()) return 0;
    if (!Write(data, static_cast<std::size_t>(size))) {
      error_ = errno;
      return 0;
    }
    return size;
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Write(const char* data, std::size_t size) {
    if (size > left_) {
      tooLarge_ = true;
      errno = EFBIG;
      return false;
    }
    left_ -= size;
    return WriteAll(descriptor_, data, size);
  }

  static constexpr std::size_t kSize = 64 * 1024;
  int descriptor_;
  std::uint64_t left_;  // the bytes that may still be written
  bool tooLarge_ = false;
  int error_ = 0;
  char buffer_[kSize];
};

namespace {

// A size in mebibytes when it is a whole number of them, else in bytes.
std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kMebibyte = std::uint64_t{1} << 20;
  return bytes % kMebibyte == 0 ? std::to_string(bytes / kMebibyte) + " MiB"
                                : std::to_string(bytes) + " bytes";
}

// Creates the temporary file at a name made from `path`, which receives it; where `locking`, also
// takes the lock its writer holds until the save is over, through `lock`. A cleaner that found the
// file unlocked in the moment before has removed it, holding the lock meanwhile: then another is
// made. -1, with errno set, when none can be.
int CreateTemporaryFile(std::string& path, bool locking, int& lock) {
  const std::string pattern = path;
  for (int attempt = 0;; ++attempt) {
    path = pattern;
    const int descriptor = Ops().CreateTemporary(path);
    if (descriptor < 0 || !locking) return descriptor;
    lock = Ops().HoldLock(descriptor);
    FileStatus status;
    int error = lock < 0 ? errno : 0;
    if (error == 0 && Ops().Status(descriptor, status) != 0) error = errno;
    const bool removed = error == 0 && status.links == 0;
    if (error == 0 && !removed) return descriptor;
    if (lock >= 0) Ops().Close(lock);
    lock = -1;
    Ops().Close(descriptor);
    if (!removed || attempt == 10) {
      Ops().Unlink(path);
      errno = removed ? ENOENT : error;
      return -1;
    }
  }
}

// Renames `from` to `to`, trying again for up to a second while the file system refuses because
// another client has either file open for a moment, as SMB does (EBUSY; EEXIST where it removes
// the target first and cannot), or hides or moves an open file meanwhile, as FUSE and network
// clients do (ENOENT). Returns what the last rename returned.
int RenameWhenFree(const std::string& from, const std::string& to) {
  auto pause = std::chrono::milliseconds(1);
  for (auto waited = std::chrono::milliseconds(0);; waited += pause, pause *= 2) {
    const int result = Ops().Rename(from, to);
    if (result == 0 || (errno != EBUSY && errno != EEXIST && errno != ENOENT) ||
        waited >= std::chrono::seconds(1))
      return result;
    std::this_thread::sleep_for(pause);
  }
}

}  // namespace

AtomicFile::AtomicFile(std::string target, bool replace, std::uint64_t limit)
    : target_(ReplacedFile(target)), replace_(replace), limit_(limit) {
  const std::optional<FileStatus> existing = ReplaceableFile(target_);
  replacing_ = existing.has_value();
  if (replacing_ && !replace_) throw SaveError(SystemError("Cannot create", target_, EEXIST));
  bool whole = false;
  temporary_ = TemporaryTemplateFor(target_, whole);
  descriptor_ = CreateTemporaryFile(temporary_, Ops().LocalFileSystem(DirectoryOf(target_)), lock_);
  if (descriptor_ < 0) {
    const int error = errno;
    temporary_.clear();
    throw SaveError(SystemError("Cannot create a temporary file for", target_, error));
  }
  if (whole) complete_ = CompleteName(temporary_);
  // The new file takes the place of the old one: it keeps the old one's owner and permissions.
  if (existing && Ops().Adopt(descriptor_, *existing) != 0) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError("Cannot give the permissions of", target_, error));
  }
  output_ = std::make_unique<Output>(descriptor_, limit_);
  stream_.rdbuf(output_.get());
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (descriptor_ >= 0) Ops().Close(descriptor_);
  descriptor_ = -1;
  if (!temporary_.empty()) Ops().Unlink(temporary_);
  temporary_.clear();
  ReleaseLock();
}

void AtomicFile::ReleaseLock() {
  if (lock_ >= 0) Ops().Close(lock_);
  lock_ = -1;
}

void AtomicFile::Commit() {
  const auto fail = [this](const std::string& action) {
    const int error = errno;
    Discard();
    throw SaveError(SystemError(action, target_, error));
  };
  if (!output_->Flush()) {
    if (!output_->TooLarge()) fail("Cannot write");
    Discard();
    throw SaveError("Cannot write " + target_ + ": it would be larger than " + SizeText(limit_) +
                    ", the most that is read back");
  }
  // A failed fsync is never retried: the kernel may already have dropped the dirty pages.
  if (Ops().Sync(descriptor_) != 0) fail("Cannot sync");
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (Ops().Close(descriptor) != 0) fail("Cannot close");
  // From here on the content is whole: should the replacement below be cut short where it is not
  // atomic, a load or Initialize() puts the complete file in the target's place.
  if (!complete_.empty()) {
    if (RenameWhenFree(temporary_, complete_) != 0) fail("Cannot complete the save of");
    temporary_ = complete_;
  }
  if (!replace_ && Ops().RenameNoReplace(temporary_, target_) != 0) fail("Cannot create");
  if (replace_ && RenameWhenFree(temporary_, target_) != 0) {
    // A file system that replaces by removing first may have lost the earlier file already.
    const int error = errno;
    if (replacing_ && !complete_.empty() && !PathExists(target_)) temporary_.clear();
    errno = error;
    fail("Cannot replace");
  }
  temporary_.clear();
  ReleaseLock();
  // A save cut short before this one leaves nothing that could take this one's place later.
  FileStatus saved;
  if (!complete_.empty() && Ops().PathStatus(target_, saved) == 0)
    SupersedeCompleteSaves(target_, saved.modified);
  if (Ops().SyncDirectory(DirectoryOf(target_)) != 0) {
    const int error = errno;
    throw SaveError(SystemError("Cannot sync the directory of", target_, error));
  }
}

}  // namespace WQPlatform
