// A stand-in for the system's file operations that makes a chosen operation fail, for tests that
// prove a save never loses a file.
#pragma once

#include <WQPlatform/Platform.h>

#include <set>
#include <string>

namespace WQPlatformTesting {

// ENOSPC, EIO, EDQUOT, a write that takes only part of its bytes, and EINTR from a write.
enum class Fault { NoSpace, IOError, QuotaExceeded, ShortWrite, Interrupted };
inline constexpr Fault kAllFaults[] = {Fault::NoSpace, Fault::IOError, Fault::QuotaExceeded,
                                       Fault::ShortWrite, Fault::Interrupted};

// Only the chosen operation fails, or it and every later one.
enum class Mode { Once, FromThenOn };

// "ENOSPC once", "short write from then on", ...
std::string Name(Fault fault, Mode mode);
// True for the faults a save must ride out (short writes, interruptions).
bool IsTransient(Fault fault);

// Counts the operations of saves that `fault` applies to (creating, writing, syncing, closing,
// renaming, syncing the directory; writes only for the transient faults; reading is never counted,
// nor closing a file opened for reading), and the creation of a named scratch file, and fails the
// `failAt`-th of them (1-based), and in FromThenOn mode every later one. Removing files is never
// failed, so that a failed save can clean up. Interrupted writes in FromThenOn mode alternate with
// successful ones, as a signal storm would, so that a save can still progress.
class FaultInjector : public WQPlatform::FileOps {
 public:
  FaultInjector(int failAt, Fault fault, Mode mode) : failAt_(failAt), fault_(fault), mode_(mode) {}

  // The name of the first operation failed; empty when none was.
  const std::string& FirstStruck() const { return struck_; }

  int CreateTemporary(std::string& pathTemplate) override;
  long Write(int descriptor, const char* data, std::size_t size) override;
  int Sync(int descriptor) override;
  int Close(int descriptor) override;
  int Rename(const std::string& from, const std::string& to) override;
  int SyncDirectory(const std::string& directory) override;
  int CreateNamedScratch(std::string& pathTemplate) override;

 private:
  // Counts one operation named `operation` if the fault applies to it; true when it is to fail.
  bool Strikes(bool applies, const char* operation);
  int FailWithError();

  int failAt_;
  Fault fault_;
  Mode mode_;
  int count_ = 0;
  std::string struck_;
  std::set<int> saving_;  // descriptors of temporary files being written
  bool interruptThis_ = false;
};

}  // namespace WQPlatformTesting
