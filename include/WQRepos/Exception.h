// The module's exception for errors whose message is wide text.
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

}  // namespace WQRepos
