#include <WQRepos/Version.h>

namespace WQRepos {

const char* QVersion() { return WQREPOS_VERSION_STRING; }

}  // namespace WQRepos
