// What the save's temporary names and the system's file operations share.
#pragma once

#include <cstddef>

namespace WQPlatform {

// The random part that ends a temporary file's name, and the characters it is made of.
inline constexpr std::size_t kUniqueLength = 6;
inline constexpr char kUniqueCharacters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

}  // namespace WQPlatform
