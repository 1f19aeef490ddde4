// Files that commands read, standard input among them: "-" is copied to a temporary file first,
// whose name messages then give as "standard input".
#include <WQPlatform/Platform.h>

#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

namespace wqtool {
namespace {

// The paths of the temporary copies of standard input.
std::vector<std::string>& InputCopies() {
  static std::vector<std::string> copies;
  return copies;
}

}  // namespace

struct InputFile::Copy {
  WQPlatform::TemporaryFile file;
};

InputFile::InputFile(const std::string& path) : path_(path) {
  if (path != "-") return;
  copy_.reset(new Copy{WQPlatform::TemporaryFile([](std::ostream& out) {
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0)
      out.write(buffer, std::cin.gcount());
  })});
  path_ = copy_->file.Path();
  InputCopies().push_back(path_);
}

InputFile::~InputFile() = default;

std::string WithInputNames(std::string message) {
  for (const std::string& copy : InputCopies()) {
    for (auto at = message.find(copy); at != std::string::npos; at = message.find(copy, at))
      message.replace(at, copy.size(), "standard input");
  }
  return message;
}

}  // namespace wqtool
