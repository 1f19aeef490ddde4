#include "frame/Files.h"

#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>

#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/stream.hpp>
#include <memory>
#include <stdexcept>

#include "frame/Repository.h"

namespace WQRepos {

void SaveFile(const std::wstring& path, const std::string& failure,
              const std::function<void(std::ostream&)>& write) {
  std::unique_ptr<WQPlatform::AtomicFile> file;
  try {
    file = std::make_unique<WQPlatform::AtomicFile>(NativePath(path));
  } catch (const WQPlatform::SaveError&) {
    throw std::runtime_error(failure);
  }
  write(file->Stream());
  try {
    file->Commit();
  } catch (const WQPlatform::SaveError&) {
    throw std::runtime_error(failure);
  }
}

void SaveBinaryFile(const std::wstring& path, const std::string& failure,
                    const std::function<void(WQCommon::BinaryWriter&)>& write) {
  SaveFile(path, failure, [&write](std::ostream& stream) {
    WQCommon::BinaryWriter writer(stream);
    write(writer);
  });
}

bool ReadBinaryFile(const std::wstring& path,
                    const std::function<void(WQCommon::BinaryReader&)>& read) {
  const auto content = WQPlatform::ReadFile(NativePath(path));
  if (!content) return false;
  // Read in place, without a copy of the file's bytes.
  boost::iostreams::stream<boost::iostreams::array_source> stream(content->data(), content->size());
  WQCommon::BinaryReader reader(stream);
  try {
    read(reader);
  } catch (const WQCommon::StreamError& error) {
    throw WQCommon::StreamError("Cannot read " + NativePath(path) + ": " + error.what());
  }
  return true;
}

bool ReadVersionedFile(const std::wstring& path, FileVersions accepted,
                       const std::function<std::string(std::uint32_t version)>& versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read) {
  return ReadBinaryFile(path, [&](WQCommon::BinaryReader& reader) {
    std::uint32_t version = 0;
    reader >> version;
    if (version < accepted.Oldest || version > accepted.Newest)
      throw std::runtime_error(versionError(version));
    read(reader, version);
  });
}

bool ReadVersionedFile(const std::wstring& path, FileVersions accepted,
                       const std::string& versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read) {
  return ReadVersionedFile(
      path, accepted, [&versionError](std::uint32_t) { return versionError; }, read);
}

}  // namespace WQRepos
