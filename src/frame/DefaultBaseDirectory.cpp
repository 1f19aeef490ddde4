// Compiled once per library variant: the installed library and the one the tests load differ
// only in this directory.
#include <WQCommon/Text.h>

#include "frame/Repository.h"

namespace WQRepos {

std::wstring DefaultBaseDirectory() {
  return WQCommon::WQNarrowToWideStr(WQREPOS_DEFAULT_BASE_DIR);
}

}  // namespace WQRepos
