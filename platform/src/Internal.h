// What the platform's source files share: the file operations in use, path parts, the names of
// a save's temporary files and the system's error messages.
#pragma once

#include <WQPlatform/Platform.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace WQPlatform {

// The file operations in use: the system's own, or those a test put in their place.
FileOps& Ops();

// The random part that ends a temporary file's name, and the characters it is made of.
inline constexpr std::size_t kUniqueLength = 6;
inline constexpr char kUniqueCharacters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

inline std::string DirectoryOf(const std::string& path) {
  const auto cut = path.rfind(kSeparator);
  if (cut == std::string::npos) return ".";
  if (cut == 0) return std::string(1, kSeparator);
  return path.substr(0, cut);
}

inline std::string NameOf(const std::string& path) {
  const auto cut = path.rfind(kSeparator);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

inline std::string SystemError(const std::string& action, const std::string& path, int error) {
  return action + " " + path + ": " + std::strerror(error);
}

// The run of a process whose boot or pid namespace cannot be told: never taken for anyone's own.
inline constexpr char kUnknownRun[] = "0000000000000000";

// The boot of this computer and the pid namespace of this process, as 16 hexadecimal digits.
// Read on every save: a process may have been forked into another namespace since the last one.
std::string CurrentRun();

// Who wrote a temporary file, and how far its save got.
struct Leftover {
  std::string target;  // the name of the file it was to replace, perhaps cut short
  bool complete = false;
  long pid = 0;
  std::string run;  // empty for the names written before origins were
};

// What the name `name` tells when it has exactly the form of a temporary file's name.
std::optional<Leftover> LeftoverOf(std::string_view name);

// The name pattern of the temporary file of a save to `target`, its unique part "XXXXXX";
// `whole` tells whether the target's name is whole in it, not cut short.
std::string TemporaryTemplateFor(const std::string& target, bool& whole);

// The name a complete save's temporary file `temporary` takes before it replaces its target.
std::string CompleteName(const std::string& temporary);

// Writes everything given, resuming short and interrupted writes; false, with errno telling why,
// when a write fails.
bool WriteAll(int descriptor, const char* data, std::size_t size);

// Removes the complete saves of `target` last modified before `before` (nanoseconds since 1970)
// whose writers have gone: a live one's save ends as it would have without this one.
void SupersedeCompleteSaves(const std::string& target, std::int64_t before);

}  // namespace WQPlatform
