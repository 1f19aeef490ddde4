// Errors that keep their own type and text and carry where they arose (which element of which
// document) as a nested exception: a caller that relies on the type and the text sees them as
// they are, and one that tells its user more can show the place too.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace WQCommon {

// Throws a copy of `error`, which catch clauses and what() see unchanged, with a
// std::runtime_error whose text is `context` nested in it (std::rethrow_if_nested finds it).
template <typename Error>
[[noreturn]] void ThrowWithContext(const Error& error, const std::string& context) {
  try {
    throw std::runtime_error(context);
  } catch (const std::runtime_error&) {
    std::throw_with_nested(error);
  }
}

// The text of the exception nested in `error`, as ThrowWithContext put it there; empty when none
// is.
inline std::string ContextOf(const std::exception& error) {
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& context) {
    return context.what();
  }
  return std::string();
}

}  // namespace WQCommon
