#include <WQCommon/Text.h>
#include <WQRepos/Exception.h>

#include <utility>

namespace WQRepos {
namespace {
constexpr char kFixedText[] = "QMV Exception with wide string. ";
}

QMVException::QMVException(const std::wstring& message)
    : std::runtime_error(kFixedText),
      message_(message),
      text_(kFixedText + WQCommon::WQWideToNarrowStr(message)) {}

QMVException::~QMVException() = default;

const char* QMVException::what() const noexcept { return text_.c_str(); }

FileError::FileError(const std::string& message, std::string detail)
    : std::runtime_error(message), detail_(std::move(detail)) {}

FileError::~FileError() = default;

}  // namespace WQRepos
