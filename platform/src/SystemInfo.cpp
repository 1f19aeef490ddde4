// The machine, the user, the loaded library, the clock and the environment.
#include <WQPlatform/Platform.h>
#include <dlfcn.h>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "Internal.h"

namespace WQPlatform {

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string host(name);
  return host.substr(0, host.find('.'));
}

long ProcessId() { return static_cast<long>(getpid()); }

std::string UserName() {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return found->pw_name;
  return {};
}

std::string LibraryPathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  std::string resolved;
  return Ops().ResolvePath(info.dli_fname, resolved) == 0 ? resolved : info.dli_fname;
}

std::int64_t CurrentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return {};
  return std::string(value);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace WQPlatform
