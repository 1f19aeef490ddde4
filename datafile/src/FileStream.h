// An open file as a buffered, seekable input stream. Internal to the data-file library.
#pragma once

#include <WQPlatform/Platform.h>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>
#include <boost/iostreams/stream.hpp>
#include <cstddef>
#include <cstdint>
#include <ios>

namespace WQDataFile::detail {

// The buffer through which a file is read: a few scans' worth, whatever the length of the run.
constexpr std::size_t kReadBufferBytes = std::size_t{1} << 16;

// An open file as a seekable source of a buffered stream, so that a reader decodes a run from a
// bounded buffer instead of from the whole file in memory.
class FileSource {
 public:
  using char_type = char;
  struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag {};

  FileSource(const WQPlatform::ReadOnlyFile& file, std::uint64_t position)
      : file_(&file), position_(position) {}

  std::streamsize read(char* data, std::streamsize size) {
    const std::size_t got = file_->ReadAt(position_, data, static_cast<std::size_t>(size));
    position_ += got;
    return got == 0 ? -1 : static_cast<std::streamsize>(got);
  }

  std::streampos seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir way) {
    const std::uint64_t base = way == std::ios_base::beg   ? 0
                               : way == std::ios_base::cur ? position_
                                                           : file_->Size();
    if (offset < 0 && static_cast<std::uint64_t>(-offset) > base) {
      throw std::ios_base::failure("Seek before the start of " + file_->Path());
    }
    position_ = base + static_cast<std::uint64_t>(offset);
    return boost::iostreams::offset_to_position(static_cast<std::int64_t>(position_));
  }

 private:
  const WQPlatform::ReadOnlyFile* file_;
  std::uint64_t position_;
};

using FileStream = boost::iostreams::stream<FileSource>;

}  // namespace WQDataFile::detail
