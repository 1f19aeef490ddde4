// Small services of the machine.
#pragma once

#include <WQCommon/Export.h>

#include <string>

namespace WQCommon {

// True when anything, file or directory, exists at `path`.
WQCOMMON_EXPORT bool FileExists(const std::wstring& path);
// The name of the user running the process; empty when the system cannot tell.
WQCOMMON_EXPORT std::wstring WQGetUserName();

}  // namespace WQCommon
