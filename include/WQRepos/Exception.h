// The module's exception types: for errors whose message is wide text, and for file operations
// whose message is fixed but whose file and reason callers may show as well.
#pragma once

#include <WQRepos/Export.h>

#include <stdexcept>
#include <string>

namespace WQRepos {

// Carries a wide message. what() gives "QMV Exception with wide string. " followed by the message
// as UTF-8. Each exception owns its text, so what() stays valid as long as the exception does.
class WQREPOS_EXPORT QMVException : public std::runtime_error {
 public:
  explicit QMVException(const std::wstring& message);
  ~QMVException() override;
  const char* what() const noexcept override;
  const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
  std::string text_;
};

// A save or load whose message is fixed text ("Unable to create evaluation method file."):
// what() is that text, exactly; Detail() names the file and gives the system's reason
// ("Cannot create a temporary file for /d/EvalMethod/x.sem: No such file or directory"). The
// saves of the module's binary files (methods, tunes, evaluation methods, preferences, calibrants,
// the naming record) throw it when the file cannot be written, and the loads of methods, tunes and
// evaluation methods when it cannot be opened.
class WQREPOS_EXPORT FileError : public std::runtime_error {
 public:
  FileError(const std::string& message, std::string detail);
  ~FileError() override;
  const std::string& Detail() const noexcept { return detail_; }

 private:
  std::string detail_;
};

}  // namespace WQRepos
