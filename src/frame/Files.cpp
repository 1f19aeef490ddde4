#include "frame/Files.h"

#include <WQCommon/ErrorContext.h>
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Exception.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>

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
// or cut short is read again while a save of it may be in flight (WQPlatform::LoadWait), and one
// still missing then is restored from a complete save that never took its place. A template, as
// loads are frequent and small: no std::function per layer.
template <typename Read>
bool DecodeFile(const std::wstring& path, const Read& read, Rest rest) {
  const std::string native = NativePath(path);
  WQPlatform::LoadWait wait(native);
  for (;;) {
    if (const auto content = ReadWholeFile(native)) {
      WQCommon::BinaryReader reader(content->data(), content->size());
      try {
        read(reader);
        if (rest == Rest::Refused) reader.RequireEnd();
        return true;
      } catch (const WQCommon::StreamError& error) {
        if (!wait.Again()) WQCommon::ThrowWithContext(error, "Cannot read " + native);
      }
    } else if (!wait.Again() && !wait.LastTry()) {
      return false;
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
