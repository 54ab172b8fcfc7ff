#include "platform/system/Process.h"

#include "platform/system/Files.h"

namespace platform {

namespace {
std::string& Text() {
  static std::string text;
  return text;
}
}  // namespace

void SetCommandLine(int argc, char** argv) {
  Text() = CommandLineText(argc, argv);
}
const std::string& Command() {
  return Text();
}

}  // namespace platform
