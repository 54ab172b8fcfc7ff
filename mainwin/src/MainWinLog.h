#pragma once

#include "platform/system/EventLog.h"

// The main window's channel: its event-log lines read "mainwin: ...".
inline const platform::LogChannel kMainWinLog("mainwin");
