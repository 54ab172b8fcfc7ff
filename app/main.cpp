// The client's entry point: the start-up order as far as it is built.

#include <cstdio>
#include <memory>

#include "app/COrvDownLoadFile.h"
#include "app/CheckUpdate.h"
#include "platform/MessageLoop.h"

int main(int argc, char** argv) {
  if (!platform::InitToolkit(argc, argv)) {
    std::fprintf(stderr, "Zorvik_talmar2: cannot open display\n");
    return 1;
  }
  // The startup window's download object; the check may end the process.
  std::unique_ptr<COrvDownLoadFile> downloader;
  CheckUpdate(StartupMode, downloader);
  return 0;
}
