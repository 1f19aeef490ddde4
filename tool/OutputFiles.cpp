// The rules for the files that commands write where the user names.
#include <WQPlatform/Platform.h>

#include <stdexcept>

#include "Commands.h"

namespace wqtool {

void RefuseToReplace(const std::string& path, bool force) {
  if (!force && WQPlatform::PathExists(path))
    throw std::runtime_error("Cannot write to " + path +
                             ": it exists (give --force to replace it)");
}

void RefuseToWriteOnto(const std::string& output, const std::string& input,
                       const std::string& done) {
  if (WQPlatform::SameFile(output, input))
    throw std::runtime_error("Cannot write to " + output + ": it is the data file being " + done);
}

}  // namespace wqtool
