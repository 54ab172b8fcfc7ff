#include "mainwin/MainWindowHost.h"

MainWindowHost& TheMainWindowHost() {
  static MainWindowHost host;
  return host;
}
