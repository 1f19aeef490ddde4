#include <WQPlatformTesting/FaultInjector.h>

#include <algorithm>
#include <cerrno>

namespace WQPlatformTesting {

std::string Name(Fault fault, Mode mode) {
  const char* const names[] = {"ENOSPC", "EIO", "EDQUOT", "short write", "EINTR"};
  return names[static_cast<int>(fault)] +
         std::string(mode == Mode::Once ? " once" : " from then on");
}

bool IsTransient(Fault fault) { return fault == Fault::ShortWrite || fault == Fault::Interrupted; }

bool FaultInjector::Strikes(bool applies, const char* operation) {
  if (!applies) return false;
  ++count_;
  const bool strikes = mode_ == Mode::Once ? count_ == failAt_ : count_ >= failAt_;
  if (strikes && struck_.empty()) struck_ = operation;
  return strikes;
}

int FaultInjector::FailWithError() {
  errno = fault_ == Fault::NoSpace ? ENOSPC : fault_ == Fault::IOError ? EIO : EDQUOT;
  return -1;
}

int FaultInjector::CreateTemporary(std::string& pathTemplate) {
  if (Strikes(!IsTransient(fault_), "CreateTemporary")) return FailWithError();
  const int descriptor = FileOps::CreateTemporary(pathTemplate);
  if (descriptor >= 0) saving_.insert(descriptor);
  return descriptor;
}

long FaultInjector::Write(int descriptor, const char* data, std::size_t size) {
  if (!Strikes(true, "Write")) return FileOps::Write(descriptor, data, size);
  switch (fault_) {
    case Fault::ShortWrite:
      return FileOps::Write(descriptor, data, std::max<std::size_t>(1, size / 2));
    case Fault::Interrupted:
      if (mode_ == Mode::FromThenOn && !(interruptThis_ = !interruptThis_))
        return FileOps::Write(descriptor, data, size);
      errno = EINTR;
      return -1;
    default:
      return FailWithError();
  }
}

int FaultInjector::Sync(int descriptor) {
  return Strikes(!IsTransient(fault_), "Sync") ? FailWithError() : FileOps::Sync(descriptor);
}

int FaultInjector::Close(int descriptor) {
  // The descriptor is released either way, as close() does when it reports an error.
  const bool saving = saving_.erase(descriptor) == 1;
  const int result = FileOps::Close(descriptor);
  return Strikes(saving && !IsTransient(fault_), "Close") ? FailWithError() : result;
}

int FaultInjector::Rename(const std::string& from, const std::string& to) {
  return Strikes(!IsTransient(fault_), "Rename") ? FailWithError() : FileOps::Rename(from, to);
}

int FaultInjector::SyncDirectory(const std::string& directory) {
  return Strikes(!IsTransient(fault_), "SyncDirectory") ? FailWithError()
                                                        : FileOps::SyncDirectory(directory);
}

int FaultInjector::CreateNamedScratch(std::string& pathTemplate) {
  return Strikes(!IsTransient(fault_), "CreateNamedScratch")
             ? FailWithError()
             : FileOps::CreateNamedScratch(pathTemplate);
}

}  // namespace WQPlatformTesting
