// The updater's entry point. It is started by the client with one argument, the client's
// directory and executable ("D|D/E"). Until its window exists it only reports what it was
// given: on standard error, and to the file named by UPDATER_RECORD_ARGS when that is set.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Files.h"

int main(int argc, char** argv) {
  const std::string commandLine = platform::CommandLineText(argc, argv);
  if (commandLine.empty()) return 0;
  std::fprintf(stderr, "Update: started for %s\n", commandLine.c_str());
  if (const char* record = std::getenv("UPDATER_RECORD_ARGS"); record != nullptr && *record) {
    std::string text;
    for (int i = 1; i < argc; ++i) text += std::string(argv[i]) + "\n";
    platform::ReplaceFileContent(
        record, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
  return 0;
}
