// The real file operations as a network or FUSE client would give them: sizes and listings that
// may lag, and locks that do not hold among all the workstations that reach a file.
#pragma once

#include <WQPlatform/Platform.h>

#include <string>

namespace WQPlatformTesting {

class NetworkClient : public WQPlatform::FileOps {
 public:
  bool LocalFileSystem(const std::string&) override { return false; }
};

}  // namespace WQPlatformTesting
