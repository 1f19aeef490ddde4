// The module's one way to save a file and one way to read a binary file.
#pragma once

#include <WQCommon/Binary.h>

#include <functional>
#include <ostream>
#include <string>

namespace WQRepos {

// Replaces the file at `path` as a whole, or not at all, with what `write` puts into the stream.
// The file is created before `write` runs. When the file cannot be created, written or synced,
// throws std::runtime_error with the text `failure`, and the earlier file stays as it was.
// Exceptions from `write` itself pass through, also leaving the earlier file.
void SaveFile(const std::wstring& path, const std::string& failure,
              const std::function<void(std::ostream&)>& write);

// SaveFile for binary content written through a BinaryWriter.
void SaveBinaryFile(const std::wstring& path, const std::string& failure,
                    const std::function<void(WQCommon::BinaryWriter&)>& write);

// Reads the file at `path` through `read`. Returns false, without calling `read`, when the file
// cannot be opened. A stream that ends early or holds an impossible count raises
// WQCommon::StreamError naming the file.
bool ReadBinaryFile(const std::wstring& path,
                    const std::function<void(WQCommon::BinaryReader&)>& read);

}  // namespace WQRepos
