// The client's entry point: the startup window runs the start-up order.

#include <cstdio>

#include "app/LoadFrm.h"
#include "platform/Form.h"
#include "platform/MessageLoop.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
  if (!platform::InitToolkit(argc, argv)) {
    std::fprintf(stderr, "Zorvik_talmar2: cannot open display\n");
    return 1;
  }
  platform::SetCommandLine(argc, argv);
  platform::FormSlot<LoadFrm>::Get().Show();
  platform::RunMessageLoop();
  return 0;
}
