// The names of a save's temporary files, and what a leftover's name tells of its writer.
#include <WQPlatform/Platform.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "Internal.h"

namespace WQPlatform {
namespace {

// A save writes its content into ".<target name>.wqtmp-<origin>-XXXXXX", and renames that to
// ".<target name>.wqnew-<origin>-XXXXXX" once the content is complete and synced, before it takes
// the target's name: hidden, never ending in a stored file's extension. The origin,
// "<host>-<process id>-<run>", tells who writes it: the run is a hash of the boot and the pid
// namespace of the writing process, the only ones in which its process id means anything. The
// target's name is cut short where the whole would not fit in a file name; such a save has no
// complete stage, as the target could not be told from it. Before origins were written, names
// were ".<target name>.wqtmp-<process id>-XXXXXX"; they are still recognised.
constexpr char kUnfinishedMark[] = ".wqtmp-";
constexpr char kCompleteMark[] = ".wqnew-";
constexpr std::size_t kMarkLength = sizeof kUnfinishedMark - 1;
static_assert(sizeof kCompleteMark == sizeof kUnfinishedMark);
constexpr std::size_t kRunLength = 16;
constexpr std::size_t kLongestHost = 32;

std::optional<std::string> FirstLineOf(const char* path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "re"), std::fclose);
  char line[128];
  if (!file || std::fgets(line, sizeof line, file.get()) == nullptr) return std::nullopt;
  return std::string(line, std::strcspn(line, "\n"));
}

// This computer's name as a temporary file's name carries it: letters, digits, '-' and '_' only.
std::string HostPart() {
  std::string host = HostName().substr(0, kLongestHost);
  for (char& c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
  return host.empty() ? "unknown" : host;
}

bool AllOf(std::string_view text, const char* allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr char kDigits[] = "0123456789";

}  // namespace

std::string CurrentRun() {
  static const std::optional<std::string> boot = FirstLineOf("/proc/sys/kernel/random/boot_id");
  char pidNamespace[64] = {};
  if (!boot || readlink("/proc/self/ns/pid", pidNamespace, sizeof pidNamespace - 1) <= 0)
    return kUnknownRun;
  // FNV-1a: a hash fixed for good, as the runs of other versions must compare equal.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : *boot + "/" + pidNamespace) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  char run[kRunLength + 1];
  std::snprintf(run, sizeof run, "%016llx", static_cast<unsigned long long>(hash | 1));
  return run;
}

std::optional<Leftover> LeftoverOf(std::string_view name) {
  if (name.size() < 2 + kMarkLength + 2 + kUniqueLength || name[0] != '.') return std::nullopt;
  const std::string_view unique = name.substr(name.size() - kUniqueLength);
  if (!AllOf(unique, kUniqueCharacters) || name[name.size() - kUniqueLength - 1] != '-')
    return std::nullopt;
  const std::string_view rest = name.substr(0, name.size() - kUniqueLength - 1);
  const std::size_t unfinished = rest.rfind(kUnfinishedMark);
  const std::size_t complete = rest.rfind(kCompleteMark);
  const bool isComplete = complete != std::string_view::npos &&
                          (unfinished == std::string_view::npos || complete > unfinished);
  const std::size_t mark = isComplete ? complete : unfinished;
  if (mark == std::string_view::npos || mark < 2) return std::nullopt;
  Leftover leftover;
  leftover.target = std::string(name.substr(1, mark - 1));
  leftover.complete = isComplete;
  std::string_view origin = rest.substr(mark + kMarkLength);
  std::string_view pid = origin;
  if (!AllOf(origin, kDigits)) {
    // "<host>-<process id>-<run>"
    const std::size_t runCut = origin.rfind('-');
    if (runCut == std::string_view::npos || origin.size() - runCut - 1 != kRunLength) return {};
    leftover.run = std::string(origin.substr(runCut + 1));
    if (!AllOf(leftover.run, "0123456789abcdef")) return std::nullopt;
    origin = origin.substr(0, runCut);
    const std::size_t pidCut = origin.rfind('-');
    if (pidCut == std::string_view::npos || pidCut == 0) return std::nullopt;
    pid = origin.substr(pidCut + 1);
  } else if (isComplete) {
    return std::nullopt;
  }
  if (!AllOf(pid, kDigits) || pid.size() > 9) return std::nullopt;
  leftover.pid = std::stol(std::string(pid));
  return leftover;
}

std::string TemporaryTemplateFor(const std::string& target, bool& whole) {
  const std::string suffix = kUnfinishedMark + HostPart() + "-" + std::to_string(getpid()) + "-" +
                             CurrentRun() + "-" + std::string(kUniqueLength, 'X');
  std::string name = NameOf(target);
  const std::size_t room = NAME_MAX - 1 - suffix.size();
  whole = name.size() <= room;
  if (!whole) {
    std::size_t cut = room;
    // Never cut inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return DirectoryOf(target) + kSeparator + "." + name + suffix;
}

std::string CompleteName(const std::string& temporary) {
  std::string complete = temporary;
  complete.replace(complete.rfind(kUnfinishedMark), kMarkLength, kCompleteMark);
  return complete;
}

bool IsTemporaryName(const std::string& name) { return LeftoverOf(name).has_value(); }

}  // namespace WQPlatform
