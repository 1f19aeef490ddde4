// The checksum of the centroid document: a CRC-32 over the UTF-16LE form of each spectrum's text,
// which the export holds as UTF-8.
#pragma once

#include <cstdint>
#include <string_view>

namespace WQRepos {

// The CRC-32 (that of zlib, PNG and boost::crc_32_type) of `crc`'s input followed by the UTF-16
// code units of `utf8`, each low byte first; `crc` is 0 for no input. An invalid UTF-8 sequence
// counts as U+FFFD, as a document's text is read.
std::uint32_t Utf16Crc32(std::uint32_t crc, std::string_view utf8);

// `crc` continued over one spectrum as the document's checksum takes it: the text that a builder
// holding only the spectrum's element gives as QXML, less its last two characters (">" and a line
// feed). `elementText` is the element as StickFigureData::ElementText gives it.
std::uint32_t SpectrumCrc32(std::uint32_t crc, std::string_view elementText);

}  // namespace WQRepos
