// Bounds on what reading one spectrum of a run in an open format may cost, whatever the file
// holds. Internal to the data-file library.
#pragma once

#include <cstdint>

namespace WQDataFile::detail {

// The values that the arrays of one spectrum (m/z, intensities and any other) may declare or hold
// together: 2,097,152 points of m/z and intensity, 32 MiB as doubles.
constexpr std::uint64_t kMaxSpectrumValues = std::uint64_t{1} << 22;
// The longest XML node (a text, tag, comment or CDATA section): the base64 text of an array of
// all the values a spectrum may hold fits.
constexpr std::uint64_t kMaxNodeBytes = std::uint64_t{32} << 20;
// The longest line of an MGF file.
constexpr std::uint64_t kMaxLineBytes = std::uint64_t{1} << 20;
// The widest value an array holds, and the header that a compressed encoding (MS-Numpress) puts
// before its values.
constexpr std::uint64_t kValueBytes = 8;
constexpr std::uint64_t kEncodingHeaderBytes = 16;

}  // namespace WQDataFile::detail
