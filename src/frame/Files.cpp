#include "frame/Files.h"

#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Exception.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "frame/Repository.h"
#include "history/Record.h"

namespace WQRepos {

void SaveFile(const std::wstring& path, const std::string& failure,
              const std::function<void(std::ostream&)>& write, bool replace, std::uint64_t limit) {
  std::unique_ptr<WQPlatform::AtomicFile> file;
  try {
    file = std::make_unique<WQPlatform::AtomicFile>(NativePath(path), replace, limit);
  } catch (const WQPlatform::SaveError& error) {
    throw FileError(failure, error.what());
  }
  write(file->Stream());
  try {
    file->Commit();
  } catch (const WQPlatform::SaveError& error) {
    throw FileError(failure, error.what());
  }
  RecordChange("save", {path});
}

bool LoadXMLDocument(WQCommon::XMLParser& parser, const std::wstring& path) {
  try {
    return parser.LoadFile(path);
  } catch (const std::runtime_error&) {
    return false;
  }
}

namespace {

// Why the file at `native` cannot be read, asked again after a load failed: another workstation
// may have moved or replaced it since, so that it reads whole now.
std::string UnreadableNow(const std::string& native) {
  if (const auto reason = WQPlatform::UnreadableReason(native)) return *reason;
  try {
    if (!WQPlatform::ReadFile(native)) return std::strerror(errno);
  } catch (const WQPlatform::ReadError& error) {
    const std::string prefix = "Cannot read " + native + ": ";
    const std::string message = error.what();
    return message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : message;
  }
  return "it was missing or changing when it was read and is whole now, as when another "
         "workstation moves or replaces it meanwhile";
}

}  // namespace

void ThrowOpenFailure(const std::string& failure, const std::wstring& path) {
  const std::string native = NativePath(path);
  throw FileError(failure, native + ": " + UnreadableNow(native));
}

void SaveBinaryFile(const std::wstring& path, const std::string& failure,
                    const std::function<void(WQCommon::BinaryWriter&)>& write) {
  SaveFile(path, failure, [&write](std::ostream& stream) {
    WQCommon::BinaryWriter writer(stream);
    write(writer);
  });
}

namespace {

using Clock = std::chrono::steady_clock;

// How long a file found missing or cut short is read again although no save of it shows, where a
// network client may serve the size of the file's earlier content for a moment after a save that
// another computer made, whose temporary file this computer never saw. A local file system tells
// the size at once: there a file cut short without a save in flight is cut short indeed.
constexpr std::chrono::milliseconds kLaggingViewWait{200};

// Sleeps a little and gives true until `deadline`.
bool WaitUntil(Clock::time_point deadline, std::chrono::milliseconds& pause) {
  if (Clock::now() >= deadline) return false;
  std::this_thread::sleep_for(pause);
  pause = std::min(2 * pause, std::chrono::milliseconds(50));
  return true;
}

// Sleeps a little and gives true while a save of `path` may be in flight and `deadline` has not
// passed: where replacing is not atomic, or a network client remembers a file's earlier size, a
// load may find the file missing or cut short for a moment. The first failure is read again at
// once in any case, as the save may have ended before its temporary file was looked for.
bool WaitForSave(const std::string& path, Clock::time_point deadline,
                 std::chrono::milliseconds& pause) {
  if (pause.count() == 0) {
    pause = std::chrono::milliseconds(1);
    return true;
  }
  return Clock::now() < deadline && WQPlatform::SaveInFlight(path) && WaitUntil(deadline, pause);
}

// The whole content of the file at `path`; nothing when it cannot be opened, or is a special file
// or one larger than a stored file can be, which callers report as a file they cannot open.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  try {
    return WQPlatform::ReadFile(path);
  } catch (const WQPlatform::ReadError&) {
    return std::nullopt;
  }
}

// Decodes the file at `path` through `read` straight from the bytes read; false when the file
// cannot be opened. The toolkit's errors leave as they are, the file nested in them. A file missing
// or cut short while a save of it is in flight is read again until the save is over, or for
// WQPlatform::kInterruptedSaveWait at most; one missing or cut short on a network file system is
// read again for kLaggingViewWait even when no save shows: a FUSE client hides a file open on it by
// renaming it away just before another of its programs replaces it, and its peers may not list
// the save's temporary file yet. A file still missing then is restored from a complete
// save that never took its place. A template, as loads are frequent and small: no std::function per
// layer.
template <typename Read>
bool DecodeFile(const std::wstring& path, const Read& read, Rest rest) {
  const std::string native = NativePath(path);
  const Clock::time_point deadline = Clock::now() + WQPlatform::kInterruptedSaveWait;
  const Clock::time_point laggingViewDeadline = Clock::now() + kLaggingViewWait;
  std::chrono::milliseconds pause(0);
  bool lastTry = false;
  for (;;) {
    if (const auto content = ReadWholeFile(native)) {
      WQCommon::BinaryReader reader(content->data(), content->size());
      try {
        read(reader);
        if (rest == Rest::Refused) reader.RequireEnd();
        return true;
      } catch (const WQCommon::StreamError& error) {
        if (!WaitForSave(native, deadline, pause) &&
            !(WQPlatform::ViewMayLag(native) && WaitUntil(laggingViewDeadline, pause)))
          WQCommon::ThrowWithContext(error, "Cannot read " + native);
      }
    } else if (!WaitForSave(native, deadline, pause) &&
               !(WQPlatform::ViewMayLag(native) && WaitUntil(laggingViewDeadline, pause))) {
      // A last try: the save may have ended since, or left its complete file out of place.
      if (lastTry) return false;
      lastTry = true;
      if (!WQPlatform::PathExists(native)) WQPlatform::RestoreInterruptedSave(native);
    }
  }
}

}  // namespace

bool ReadBinaryFile(const std::wstring& path,
                    const std::function<void(WQCommon::BinaryReader&)>& read, Rest rest) {
  return DecodeFile(path, read, rest);
}

bool ReadVersionedFile(const std::wstring& path, FileVersions accepted,
                       const std::function<std::string(std::uint32_t version)>& versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read,
                       Rest rest) {
  return DecodeFile(
      path,
      [&](WQCommon::BinaryReader& reader) {
        std::uint32_t version = 0;
        reader >> version;
        if (version < accepted.Oldest || version > accepted.Newest)
          throw std::runtime_error(versionError(version));
        read(reader, version);
      },
      rest);
}

bool ReadVersionedFile(const std::wstring& path, FileVersions accepted, const char* versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read,
                       Rest rest) {
  return ReadVersionedFile(
      path, accepted, [versionError](std::uint32_t) { return std::string(versionError); }, read,
      rest);
}

}  // namespace WQRepos
