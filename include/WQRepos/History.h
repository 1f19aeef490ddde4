// The history of the stored items: every change to a method, tune, evaluation method, preference,
// the reference calibrants, the system configuration or an autotune document is kept as one
// commit of a bare git repository beside the kinds' directories (Config::QHistoryDirectory()),
// whose tree is the whole set of stored items after the change. Plain git reads it
// (git -C <history> log) and can push it elsewhere.
//
// Items are named by their path under the base data directory, with '/' between the parts:
// "AcqMethod/Scan.kem", "Prefs/GenTIC.pref", "Calibration/RefCals.cal". The directories kept are
// AcqMethod, EvalMethod, Tunes, Calibration, Prefs and Autotune; Data and Log are not, nor the
// temporary files of saves in flight.
//
// Recording never fails a change: the change is made first, exactly as without a history, and
// then recorded. When the record cannot be made (the repository is damaged, read-only, a link or
// a file, the disk is full), the failure is logged to the logger "app" as a warning and the change
// stands; the next record takes in every change since the last one, and VerifyHistory() reports
// the gap meanwhile. A file that changed without the module (another program, a copy by hand) is
// recorded by the next record, before that record's own change, as a record of the operation
// "outside".
#pragma once

#include <WQRepos/Config.h>
#include <WQRepos/Export.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace WQRepos {

// Raised by the queries below when the history cannot be read or has no such record; the message
// names the action and the repository.
class WQREPOS_EXPORT HistoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a record says of its change, from the commit's trailers.
struct HistoryRecord {
  std::string Id;                   // the commit id: 40 hexadecimal digits
  std::int64_t Time = 0;            // seconds since 1 January 1970 UTC
  std::string Operation;            // save, delete, rename, import, restore or outside
  std::vector<std::wstring> Items;  // the items changed; a rename's new name first, then the old
  std::string User;                 // the operating system's user
  std::string Operator;             // the system configuration's user name; empty when it had none
  std::string Host;                 // the computer
  std::string Version;              // the module's version
};

// The item of the stored file `name` + `extension` of `kind`: "AcqMethod/" + name + ".kem".
// Throws FileError when the name cannot name a stored item, as the kinds' own operations do.
WQREPOS_EXPORT std::wstring QHistoryItem(Config::DirTypes kind, const std::wstring& name,
                                         const std::wstring& extension);

// The records of `item`, or of every item when it is empty, newest first. Empty when the history
// is off or was never written. Throws HistoryError when the repository cannot be read.
WQREPOS_EXPORT std::vector<HistoryRecord> QHistoryRecords(const std::wstring& item = L"");

// The bytes of `item` as the record `record` left it (an id, an abbreviation of one, or any
// revision that git understands, such as "main~2"); nothing when the item was not stored then.
// Throws HistoryError when the record cannot be found.
WQREPOS_EXPORT std::optional<std::string> QHistoryContent(const std::wstring& item,
                                                          const std::string& record);

// Stores again the bytes that `item` had at `record`, replacing the stored file whole, as a save
// recorded with the operation "restore". Throws HistoryError when the record cannot be found or
// the item was not stored then, and FileError when the file cannot be saved.
WQREPOS_EXPORT void RestoreHistoryItem(const std::wstring& item, const std::string& record);

// What VerifyHistory() found.
struct HistoryVerification {
  bool Enabled = true;  // false when ConfigClient.xml turned the history off: nothing was checked
  // Why the repository is not whole or cannot be used ("<path>: not a git repository", "object
  // ... is damaged"); empty when it is.
  std::string Damage;
  // The items whose stored file differs from their last record: changed, added or removed since,
  // by the module while recording failed, or without it.
  std::vector<std::wstring> Unrecorded;
  bool Whole() const { return Damage.empty() && Unrecorded.empty(); }
};

// Reads every object of the repository and compares each stored file with the last record.
// Writes nothing. A missing repository is whole while no item is stored.
WQREPOS_EXPORT HistoryVerification VerifyHistory();

// The operation that the saves made while an object of this class lives are recorded as, on the
// thread that made it, in place of "save": "import" for records read from outside, for example.
class WQREPOS_EXPORT ScopedHistoryOperation {
 public:
  explicit ScopedHistoryOperation(const char* operation);
  ~ScopedHistoryOperation();
  ScopedHistoryOperation(const ScopedHistoryOperation&) = delete;
  ScopedHistoryOperation& operator=(const ScopedHistoryOperation&) = delete;

 private:
  const char* previous_;
};

}  // namespace WQRepos
