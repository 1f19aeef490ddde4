#include "frame/Files.h"

#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/Exception.h>

#include <memory>
#include <stdexcept>

#include "frame/Repository.h"

namespace WQRepos {

void SaveFile(const std::wstring& path, const std::string& failure,
              const std::function<void(std::ostream&)>& write) {
  std::unique_ptr<WQPlatform::AtomicFile> file;
  try {
    file = std::make_unique<WQPlatform::AtomicFile>(NativePath(path));
  } catch (const WQPlatform::SaveError& error) {
    throw FileError(failure, error.what());
  }
  write(file->Stream());
  try {
    file->Commit();
  } catch (const WQPlatform::SaveError& error) {
    throw FileError(failure, error.what());
  }
}

void ThrowOpenFailure(const std::string& failure, const std::wstring& path) {
  const std::string native = NativePath(path);
  throw FileError(
      failure, native + ": " + WQPlatform::UnreadableReason(native).value_or("it cannot be read"));
}

void SaveBinaryFile(const std::wstring& path, const std::string& failure,
                    const std::function<void(WQCommon::BinaryWriter&)>& write) {
  SaveFile(path, failure, [&write](std::ostream& stream) {
    WQCommon::BinaryWriter writer(stream);
    write(writer);
  });
}

namespace {

// Decodes the file at `path` through `read` straight from the bytes read; false when the file
// cannot be opened. A template, as loads are frequent and small: no std::function per layer.
template <typename Read>
bool DecodeFile(const std::wstring& path, const Read& read, Rest rest) {
  const auto content = WQPlatform::ReadFile(NativePath(path));
  if (!content) return false;
  WQCommon::BinaryReader reader(content->data(), content->size());
  try {
    read(reader);
    if (rest == Rest::Refused) reader.RequireEnd();
  } catch (const WQCommon::StreamError& error) {
    throw WQCommon::StreamError("Cannot read " + NativePath(path) + ": " + error.what());
  }
  return true;
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
