// Every call into the operating system that the libraries make goes through this layer: path
// separators, the machine's and user's names, the location of a loaded library, directory
// listing, whole-file reading and the atomic, durable save. Paths are narrow strings in the
// platform's own encoding (UTF-8 here).
#pragma once

#include <WQPlatform/Export.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace WQPlatform {

// The separator between the parts of a path.
constexpr char kSeparator = '/';

// The machine's host name up to its first full stop; empty when the system cannot tell.
WQPLATFORM_EXPORT std::string HostName();
// The login name of the user running the process; empty when the system cannot tell.
WQPLATFORM_EXPORT std::string UserName();
// The id of this process; a child made by fork has its own.
WQPLATFORM_EXPORT long ProcessId();
// The full path of the loaded library (or program) that holds `address`; empty when unknown.
WQPLATFORM_EXPORT std::string LibraryPathOf(const void* address);
// Seconds since 1 January 1970 UTC.
WQPLATFORM_EXPORT std::int64_t CurrentTime();
// The value of the environment variable `name`; nothing when it is not set.
WQPLATFORM_EXPORT std::optional<std::string> EnvironmentVariable(const std::string& name);

// True when anything, file or directory, exists under `path`.
WQPLATFORM_EXPORT bool PathExists(const std::string& path);
// Creates one directory level; false when it cannot.
WQPLATFORM_EXPORT bool MakeDirectory(const std::string& path);
// Removes a file; false when it cannot.
WQPLATFORM_EXPORT bool RemoveFile(const std::string& path);
// The names of the entries of `directory` that match the shell wildcard `pattern`
// (case-sensitively), in the order the directory yields them. Empty when the directory cannot be
// read.
WQPLATFORM_EXPORT std::vector<std::string> ListDirectory(const std::string& directory,
                                                         const std::string& pattern);
// ListDirectory without a copy of each name: calls `visit` with each matching name, which is
// valid during the call only. False when the directory cannot be opened, calling nothing, or
// cannot be read to its end, having called it for the names read before.
WQPLATFORM_EXPORT bool VisitDirectory(const std::string& directory, const std::string& pattern,
                                      const std::function<void(std::string_view name)>& visit);
// True when `path` is a directory, after following links, whether or not it may be listed.
WQPLATFORM_EXPORT bool IsDirectory(const std::string& path);
// True when `path` is a directory whose entries this process may list.
WQPLATFORM_EXPORT bool IsListableDirectory(const std::string& path);
// True when `path` itself is a symbolic link, wherever it leads.
WQPLATFORM_EXPORT bool IsSymbolicLink(const std::string& path);
// True when `first` and `second` both exist and, after following links, are the same file.
WQPLATFORM_EXPORT bool SameFile(const std::string& first, const std::string& second);
// True when `path` is a regular file, after following links.
WQPLATFORM_EXPORT bool IsRegularFile(const std::string& path);
// True when the process's standard error is a terminal.
WQPLATFORM_EXPORT bool StandardErrorIsTerminal();

// Removes the file (or link) `path`, never a directory, and syncs the directory that held it. The
// system's reason when it cannot ("No such file or directory"); nothing when it is removed.
WQPLATFORM_EXPORT std::optional<std::string> DeleteFile(const std::string& path);
// Renames the regular file `from` to `to` in one step and syncs the directories of both. A file
// at `to` is replaced only with `replace`; without it the call fails with "File exists" and
// changes nothing. A directory is neither moved nor replaced, nor is a file by another of its
// names or a link to it ("both names lead to the same file"). The system's reason when it cannot;
// nothing when it is renamed.
WQPLATFORM_EXPORT std::optional<std::string> MoveFile(const std::string& from,
                                                      const std::string& to, bool replace);

// Raised by ReadFile for a file that must not be read whole; the message names the file.
class WQPLATFORM_EXPORT ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest record or document file the libraries read whole: far beyond any they write.
constexpr std::size_t kDocumentSizeLimit = std::size_t{64} << 20;

// Why the file at `path` cannot be read as ReadFile reads it: the system's reason for not opening
// it ("No such file or directory", "Permission denied") or "not a regular file"; nothing when it
// is a regular file that can be opened.
WQPLATFORM_EXPORT std::optional<std::string> UnreadableReason(const std::string& path);

// The whole content of the file at `path`; nothing when it is missing or cannot be opened or
// read. Throws ReadError when `path` is not a regular file (a FIFO or device is refused without
// being waited on) or is larger than `limit` bytes, before reading any of it.
WQPLATFORM_EXPORT std::optional<std::string> ReadFile(const std::string& path,
                                                      std::size_t limit = kDocumentSizeLimit);

// A regular file open for reading at any offset, for files too large to read whole; closed when
// destroyed. It reads through the same file operations as ReadFile, and only the bytes the file
// held when it was opened: a file that grows meanwhile is read as it was.
class WQPLATFORM_EXPORT ReadOnlyFile {
 public:
  // Nothing when `path` is missing or cannot be opened. Throws ReadError when it is not a regular
  // file (a FIFO or device is refused without being waited on).
  static std::unique_ptr<ReadOnlyFile> Open(const std::string& path);
  // Data made on the fly and too large for memory, read back at any offset: what `fill` hands to
  // the writer it is given, kept in an unnamed file of the temporary directory (TMPDIR when set
  // and not empty, else /tmp) that is gone when the object is destroyed or the process ends.
  // Where the file system cannot make an unnamed file, a named one, readable by the user only, is
  // removed as soon as it is made, or when it is closed where an open file cannot be removed.
  // `name` stands for it in errors. Throws ReadError when the file
  // cannot be created or written, and what `fill` throws.
  using Writer = std::function<void(std::string_view bytes)>;
  static std::unique_ptr<ReadOnlyFile> Scratch(std::string name,
                                               const std::function<void(const Writer&)>& fill);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  const std::string& Path() const { return path_; }
  // The size in bytes when the file was opened.
  std::uint64_t Size() const { return size_; }
  // Reads up to `size` bytes from `offset` into `data` and gives how many it read: fewer only at
  // Size(). Safe to call from several threads at once. Throws ReadError, naming the file, when the
  // system cannot read it.
  std::size_t ReadAt(std::uint64_t offset, char* data, std::size_t size) const;

 private:
  ReadOnlyFile(std::string path, int descriptor, std::uint64_t size);

  std::string path_;
  int descriptor_;
  std::uint64_t size_;
  std::string removeOnClose_;  // a scratch file's name, where it could not be removed at once
};

// A regular file in the temporary directory (TMPDIR when set and not empty, else /tmp), readable by
// the user only, holding what `fill` writes to the stream it is given; removed when the object is
// destroyed. For data that a reader wants as a file, such as standard input. Throws ReadError when
// the file cannot be created or written, and what `fill` throws.
class WQPLATFORM_EXPORT TemporaryFile {
 public:
  explicit TemporaryFile(const std::function<void(std::ostream&)>& fill);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Raised by AtomicFile when a save cannot be made; the earlier file is then as it was.
class WQPLATFORM_EXPORT SaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces a file as a whole or not at all. When the target is a symbolic link, the file it leads
// to is replaced and the link kept. The constructor creates a temporary file in the directory of
// the file replaced, with the permissions a file created there directly would get or, when the
// file exists, with its permissions and (where the process may) its owner and group; the caller
// writes the new content into Stream(), which passes it through a buffer of bounded size into the
// temporary file, checking every write and resuming short or interrupted ones; Commit() writes
// the rest, reports the first failed write, syncs the file to the disk, renames it to its complete
// name, renames that over the target and syncs the directory. A failed fsync is never retried; a
// rename that another client's open file blocks (EBUSY, as SMB gives), or that finds a file hidden
// for a moment (ENOENT, as FUSE and network clients give), is tried again for a second.
// Anything short of a successful Commit() leaves the target as it was (or, when only the final
// directory sync fails, replaced but not known to be durable) and removes the temporary file, with
// one exception: where the file system replaces a file by removing it first (some network file
// systems do) and the replacement failed after that, the complete file is kept for
// RestoreInterruptedSave() or RecoverInterruptedSaves() to put in place. A successful Commit()
// removes the complete files of older saves to the target whose writers are known to have gone,
// so that none of them takes the place of this one later.
//
// Where the file system's locks hold among all its users (LocalFileSystem), the writer holds an
// exclusive flock on its temporary file from its creation until the save is over: others tell a
// live writer by it, in whatever pid namespace or container they run.
//
// Temporary files are named ".<target name>.wqtmp-<host>-<process id>-<run>-XXXXXX", and complete
// ones ".<target name>.wqnew-..." with the rest alike: hidden, and never ending in an extension.
// The host is this computer's name (letters, digits, '-' and '_', at most 32); the run, 16
// hexadecimal digits, tells the boot and pid namespace in which the process id holds. The target's
// name is cut short where the whole would be too long, and a save of such a name goes straight
// from its temporary name to the target's.
class WQPLATFORM_EXPORT AtomicFile {
 public:
  // Throws SaveError, before anything is written, when the temporary file cannot be created, when
  // the target is a link that leads nowhere, or when the target exists and must not be replaced
  // (not a regular file, or a file the user may not write). Without `replace`, the save only
  // creates: an existing target is refused here ("Cannot create <target>: File exists"), and a
  // target that appears meanwhile is kept and fails Commit() alike, so that of two such saves at
  // once only one is made. A save of more than `limit` bytes fails Commit(), the target untouched,
  // and writes no byte past the limit: a store bounds what it writes by what its reader accepts.
  explicit AtomicFile(std::string target, bool replace = true,
                      std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // After a failed write the stream is bad and takes nothing more; Commit reports the failure.
  std::ostream& Stream() { return stream_; }
  // Throws SaveError, after removing the temporary file, when any step fails.
  void Commit();

 private:
  class Output;
  void Discard();
  void ReleaseLock();

  std::string target_;
  bool replace_;
  std::uint64_t limit_;
  bool replacing_ = false;  // the target existed when the save began
  std::string temporary_;
  std::string complete_;  // the complete name; empty for a target name cut short
  int descriptor_ = -1;
  int lock_ = -1;  // holds the writer's lock on the temporary file, where locks hold
  std::unique_ptr<Output> output_;
  std::ostream stream_{nullptr};
};

// True when the file name `name` has exactly the form of AtomicFile's temporary files, complete
// or not, today's or those of versions before the host and run were written; whether or not the
// process that writes it still runs.
WQPLATFORM_EXPORT bool IsTemporaryName(const std::string& name);

// True when a temporary file of a save to `target` (a path) lies beside it: a save may be in
// flight. Writers on other computers count, as far as this computer's view of the directory shows
// them.
WQPLATFORM_EXPORT bool SaveInFlight(const std::string& target);

// When nothing exists at `target`, gives it the newest complete temporary file of a save to it,
// whoever wrote it, when that is a regular file (not a link or folder) and its writer is not known
// to run; true when it did. A file that appears at `target` meanwhile is never replaced. The
// caller has waited for a save in flight: a live save leaves its target missing only for a moment,
// where replacing is not atomic.
WQPLATFORM_EXPORT bool RestoreInterruptedSave(const std::string& target);

// Removes the complete files of saves to `target` (a path) that lie beside it, but for those whose
// writer is known to run, so that none takes its place later: for a file that is deleted or renamed
// away. A writer on another computer cannot be asked: its save, should it run still, fails. Gives
// how many were removed.
WQPLATFORM_EXPORT int RetireInterruptedSaves(const std::string& target);

// True where what this computer is told of `path` and its folder may lag for a moment what another
// computer did there (a network client may serve a replaced file's earlier size, and a listing it
// remembers): on any file system but the local ones (FileOps::LocalFileSystem).
WQPLATFORM_EXPORT bool ViewMayLag(const std::string& path);

// How long a target must stay missing beside a complete save of it, written elsewhere, before the
// complete file is put in its place: far longer than a live save leaves it missing.
constexpr std::chrono::milliseconds kInterruptedSaveWait{2000};

// How long a file found missing or cut short is read again although no save of it shows, where a
// network client may serve the size of the file's earlier content for a moment after a save that
// another computer made, whose temporary file this computer never saw. A local file system tells
// the size at once: there a file cut short without a save in flight is cut short indeed.
constexpr std::chrono::milliseconds kLaggingViewWait{200};

// The waits of one load of the file at `path` that finds it missing or cut short: where replacing
// is not atomic, or a network client remembers a file's earlier size, a load may meet a save in
// flight. Made as the load begins.
class WQPLATFORM_EXPORT LoadWait {
 public:
  explicit LoadWait(std::string path);
  // After a read that found the file missing or cut short: true, having slept a little, while it
  // is to be read again. The first failure is read again at once, as the save may have ended
  // before its temporary file was looked for; later ones while a save of the file is in flight,
  // for kInterruptedSaveWait at most, and on a network file system for kLaggingViewWait even when
  // no save shows: a FUSE client hides a file open on it by renaming it away just before another
  // of its programs replaces it, and its peers may not list the save's temporary file yet.
  bool Again();
  // After Again() gave false for a file that could not be opened: the first time, puts a complete
  // save that never took its place in the place of a missing file and gives true, for a last read;
  // false after that.
  bool LastTry();

 private:
  // Sleeps a little and gives true until `deadline`.
  bool SleepUntil(std::chrono::steady_clock::time_point deadline);

  std::string path_;
  std::chrono::steady_clock::time_point deadline_;
  std::chrono::steady_clock::time_point laggingViewDeadline_;
  std::chrono::milliseconds pause_{0};
  bool lastTry_ = false;
};

// The temporary files of a save outlive it only when the save was cut short. Files whose age
// passes this many seconds are taken for abandoned, whoever wrote them; see
// RecoverInterruptedSaves.
constexpr std::int64_t kDefaultTemporaryAgeLimit = 24 * 60 * 60;

// What RecoverInterruptedSaves did.
struct CleanUp {
  int restored = 0;  // complete files put in the place of their missing target
  int removed = 0;   // temporary files removed
  int kept = 0;      // temporary files left: maybe in use, or needed
};

// Tidies the temporary files of saves in `directories` and their sub-folders (links to folders
// are not followed, nor folders more than 8 levels down). A temporary file is abandoned, whatever
// its age, when its writer is known to have gone: where locks hold among all users of the file
// system, when no one holds the writer's lock on it; elsewhere, when it was written in the same
// boot and pid namespace as this process and no process of its writer's id runs. Any other (a
// writer on another computer, or in another container on a network file system, or of a version
// that did not write its origin, cannot be asked) is abandoned when it was last modified more than
// `ageLimit` seconds ago by this computer's clock; one whose writer is known to run, never.
// Where the target of a complete temporary file is missing, the newest complete one takes its
// place: at once when it is abandoned, otherwise after kInterruptedSaveWait, if the target is
// missing still. Then abandoned files are removed, but for complete ones whose target is still
// missing. Only names of the exact temporary form are touched.
WQPLATFORM_EXPORT CleanUp RecoverInterruptedSaves(const std::vector<std::string>& directories,
                                                  std::int64_t ageLimit);

// What the file operations tell of an open file.
struct FileStatus {
  bool regular = false;    // a regular file, not a directory, device, FIFO or socket
  std::uint64_t size = 0;  // in bytes
  unsigned mode = 0;       // the permission bits
  unsigned owner = 0;      // user id
  unsigned group = 0;      // group id
  bool directory = false;
  bool link = false;          // a symbolic link, told only where links are not followed
  std::int64_t modified = 0;  // nanoseconds since 1970, by the file system's clock
  std::uint64_t links = 0;    // names that lead to the file; 0 once it is removed
  std::uint64_t device = 0;   // the file system that holds the file
  std::uint64_t inode = 0;    // the file's number on that file system
};

// What a directory listing tells of the kind of an entry, where the file system tells it.
enum class EntryKind { Directory, Other, Unknown };

// The file operations under every file call of this layer, replaceable by tests to inject faults.
// Each returns what its POSIX namesake returns and sets errno the same way.
class WQPLATFORM_EXPORT FileOps {
 public:
  virtual ~FileOps();
  // Creates a new file for writing, as open(O_CREAT | O_EXCL, 0666) does, under a name made by
  // replacing the "XXXXXX" that `pathTemplate` ends in; `pathTemplate` receives the name made.
  virtual int CreateTemporary(std::string& pathTemplate);
  // Gives the open file `descriptor` the owner and group of `like` where the process may, and
  // its permissions (fchown, fchmod); fails only when the permissions cannot be set.
  virtual int Adopt(int descriptor, const FileStatus& like);
  virtual long Write(int descriptor, const char* data, std::size_t size);
  virtual int Sync(int descriptor);
  virtual int Close(int descriptor);
  virtual int Rename(const std::string& from, const std::string& to);
  // Renames `from` to `to` unless a file is there (EEXIST), as renameat2(RENAME_NOREPLACE) does;
  // where the file system cannot, by link and unlink, and where it has no links either, by a
  // rename after a look, which leaves a moment in which another process may create `to`.
  virtual int RenameNoReplace(const std::string& from, const std::string& to);
  // stat and lstat of a path.
  virtual int PathStatus(const std::string& path, FileStatus& status);
  virtual int LinkStatus(const std::string& path, FileStatus& status);
  virtual int Access(const std::string& path, int mode);
  // realpath: `resolved` receives the absolute path of `path` without links, "." or "..".
  virtual int ResolvePath(const std::string& path, std::string& resolved);
  // mkdir(path, 0777).
  virtual int CreateDirectory(const std::string& path);
  // opendir and readdir: calls `visit` with the name (valid during the call, followed by a null
  // character) and kind of each entry of `directory`, "." and ".." among them, in the order the
  // directory yields them, until `visit` returns false. -1 when the directory cannot be opened, or
  // cannot be read to its end.
  using EntryVisitor = std::function<bool(std::string_view name, EntryKind kind)>;
  virtual int ReadDirectory(const std::string& directory, const EntryVisitor& visit);
  // kill: with `signal` 0, whether a process of id `pid` runs (ESRCH when none does).
  virtual int Signal(long pid, int signal);
  virtual int SyncDirectory(const std::string& directory);
  virtual int Unlink(const std::string& path);
  // Creates an unnamed file for reading and writing in `directory`, readable by the user only, as
  // open(O_TMPFILE | O_RDWR, 0600) does.
  virtual int CreateScratch(const std::string& directory);
  // Creates a new file for reading and writing, readable by the user only, under a name made by
  // replacing the "XXXXXX" that `pathTemplate` ends in, as mkostemp(O_CLOEXEC) does.
  virtual int CreateNamedScratch(std::string& pathTemplate);
  // open for reading, never waiting on a FIFO.
  virtual int OpenForReading(const std::string& path);
  // fstat, asking a network file system for the file's present state rather than what this
  // computer remembers of it.
  virtual int Status(int descriptor, FileStatus& status);
  virtual long Read(int descriptor, char* data, std::size_t size);
  // pread.
  virtual long ReadAt(int descriptor, char* data, std::size_t size, std::uint64_t offset);
  // True where `path` lies on a file system that this computer's kernel keeps (ext2 to ext4, XFS,
  // Btrfs, F2FS, ZFS, tmpfs, ramfs, overlay): a file's size is told exactly at once, and flocks
  // hold among all the processes that reach it, in any pid namespace or container. False for
  // network and FUSE clients and any file system not known to be local.
  virtual bool LocalFileSystem(const std::string& path);
  // A second descriptor of the open file `descriptor` holding an exclusive flock on it, which
  // outlives closing `descriptor`; -1 when the lock cannot be taken.
  virtual int HoldLock(int descriptor);
  // Opens `path` and takes a shared flock on it without waiting: -1 with EWOULDBLOCK while another
  // holds an exclusive one.
  virtual int ProbeLock(const std::string& path);
};

// What lstat tells of `path`, through the file operations in use; nothing when it cannot be told.
WQPLATFORM_EXPORT std::optional<FileStatus> PathLinkStatus(const std::string& path);

// Puts `ops` in place of the system's file operations until it is destroyed. For tests only; not
// safe to use while other threads are saving.
class WQPLATFORM_EXPORT ScopedFileOps {
 public:
  explicit ScopedFileOps(FileOps& ops);
  ~ScopedFileOps();
  ScopedFileOps(const ScopedFileOps&) = delete;
  ScopedFileOps& operator=(const ScopedFileOps&) = delete;

 private:
  FileOps* previous_;
};

}  // namespace WQPlatform
