// The module's one way to save a file and one way to read a binary file.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace WQRepos {

// Replaces the file at `path` as a whole, or not at all, with what `write` puts into the stream.
// The file is created before `write` runs. When the file cannot be created, written or synced,
// throws FileError with the text `failure` and the platform's account of the file and the reason
// as its detail, and the earlier file stays as it was.
// Exceptions from `write` itself pass through, also leaving the earlier file. Without `replace`
// an existing file is kept and the save refused. Content of more than `limit` bytes is a failure
// alike, found before more than the limit is written: by default the most that the readers of a
// stored file read (StoredKind::SizeLimit), so that no save leaves a file its reader refuses. A
// file saved in a directory that the history keeps is recorded there.
void SaveFile(const std::wstring& path, const std::string& failure,
              const std::function<void(std::ostream&)>& write, bool replace = true,
              std::uint64_t limit = WQPlatform::kDocumentSizeLimit);

// SaveFile for binary content written through a BinaryWriter: a stored record.
void SaveBinaryFile(const std::wstring& path, const std::string& failure,
                    const std::function<void(WQCommon::BinaryWriter&)>& write);

// Loads the XML document at `path` into `parser`: false when it cannot be read for any reason
// (missing, not well-formed, a special file, or too large or too deep for the toolkit), which the
// module's readers of XML documents treat alike.
bool LoadXMLDocument(WQCommon::XMLParser& parser, const std::wstring& path);

// Throws FileError with the text `failure`, and the file and the reason it cannot be opened as its
// detail: for a load whose read found no file it could open at `path`.
[[noreturn]] void ThrowOpenFailure(const std::string& failure, const std::wstring& path);

// What a read makes of bytes after those its reader took.
enum class Rest {
  Refused,  // the file holds more than its content: a StreamError
  Ignored   // for readers that may stop short on their own, as the lenient preference records do
};

// Reads the file at `path` through `read`. Returns false, without calling `read`, when the file
// cannot be opened. A stream that ends early, holds an impossible count or an enumeration value
// outside its set, or (unless `rest` is Ignored) holds bytes after what `read` took, raises
// WQCommon::StreamError naming the file. While a save of the file is in flight (its temporary file
// lies beside it), a file missing or cut short is read again, for a few seconds at most, and
// `read` may be called more than once: it must start afresh each time. A file still missing then
// is restored from a save that was cut short after its content was complete.
bool ReadBinaryFile(const std::wstring& path,
                    const std::function<void(WQCommon::BinaryReader&)>& read,
                    Rest rest = Rest::Refused);

// The file versions that a reader accepts: Oldest to Newest, both included.
struct FileVersions {
  static FileVersions Only(std::uint32_t version) { return {version, version}; }
  std::uint32_t Oldest;
  std::uint32_t Newest;
};

// Reads a binary file that starts with its file version word: ReadBinaryFile, reading the version
// first and then, when it is one of `accepted`, the rest of the file through `read`, which is
// given the version. Any other version throws std::runtime_error with the text
// versionError(version), without calling `read`. Returns false when the file cannot be opened.
bool ReadVersionedFile(const std::wstring& path, FileVersions accepted,
                       const std::function<std::string(std::uint32_t version)>& versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read,
                       Rest rest = Rest::Refused);

// ReadVersionedFile with the same text, `versionError`, for every version it refuses.
bool ReadVersionedFile(const std::wstring& path, FileVersions accepted, const char* versionError,
                       const std::function<void(WQCommon::BinaryReader&, std::uint32_t)>& read,
                       Rest rest = Rest::Refused);

}  // namespace WQRepos
