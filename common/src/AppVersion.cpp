// The version on its own, so that a program can be linked with another version than the one
// this build sets (the newer copy of the client that the self-update tests install).

#include "common/SharedRoutines.h"

std::string AppVersion() {
  return std::to_string(CLIENT_VERSION_MAJOR) + "." + std::to_string(CLIENT_VERSION_MINOR) + "." +
         std::to_string(CLIENT_VERSION_PATCH);
}
