#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>

namespace WQCommon {

bool FileExists(const std::wstring& path) {
  return WQPlatform::PathExists(WQWideToNarrowStr(path));
}

std::wstring WQGetUserName() { return WQNarrowToWideStr(WQPlatform::UserName()); }

}  // namespace WQCommon
