#pragma once

#include <string>

#include "platform/gdi/Image.h"

// Routines that several windows of the client (and the updater) share.

// The user's private temporary directory for the client's files; ends with "/".
// Throws std::system_error when no private directory can be had.
std::string GetTempDir();

// Writes the embedded resource `resType` `resId` to `filePath`, replacing whatever was there
// (a longer old file leaves no trailing bytes). Throws std::system_error when the file cannot
// be written and std::runtime_error when there is no such resource.
void SaveResToFile(int resId, const std::string& resType, const std::string& filePath);

// The client's version as "major.minor.revision" ("1.1.0").
std::string AppVersion();

// The embedded image "PNG" `resId`, decoded; a null image when it is missing or broken.
platform::Image LoadPngResource(int resId);
