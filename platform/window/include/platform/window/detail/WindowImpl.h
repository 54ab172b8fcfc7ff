#pragma once

// The window registry shared by the core (handles, procedures, messages, timers) and the
// toolkit backend (widgets, native events). Private to platform/.

#include <map>
#include <string>
#include <vector>

#include "platform/window/Window.h"

typedef struct _GtkWidget GtkWidget;

namespace platform::detail {

enum : DWORD {
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_INVALID_WINDOW_HANDLE = 1400,
  ERROR_INVALID_INDEX = 1413,
};

struct NativeWindow;  // the backend's part of a window

struct WindowRecord {
  HWND hwnd = 0;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = 0;        // for WS_CHILD windows
  HWND owner = 0;         // for top-level windows
  WNDPROC proc = 0;       // current procedure
  WNDPROC classProc = 0;  // the window's own procedure, released with the window
  LONG_PTR userData = 0;
  std::uint32_t backColor = 0x00FFFFFF;
  bool messageOnly = false;
  bool foreign = false;
  DWORD processId = 0;
  unsigned long foreignId = 0;
  bool destroying = false;
  bool keyPreview = false;     // SetKeyPreview
  std::vector<HWND> children;  // in creation order
  NativeWindow* native = nullptr;
};

WindowRecord* Find(HWND hwnd);
// CreateWindowEx for a child window that hosts a foreign widget (nullptr: as CreateWindowEx).
HWND CreateWindowHosting(const CreateWindowArgs& args, GtkWidget* hosted);
// Every live window, in creation order.
std::vector<HWND> AllWindows();

// Backend entry points, implemented by the toolkit layer. None is called for message-only or
// foreign windows.
// `hosted`: a foreign widget the new child window stands for (nullptr: a window of our own).
bool NativeCreate(WindowRecord& rec, const CreateWindowArgs& args, GtkWidget* hosted);
void NativeDestroy(WindowRecord& rec);
void NativeStyleChanged(WindowRecord& rec, DWORD oldStyle, DWORD oldExStyle);
void NativeOwnerChanged(WindowRecord& rec);
void NativeTitleChanged(WindowRecord& rec);
void NativeParentChanged(WindowRecord& rec, HWND oldParent);
// Capture and timers are the core's; the backend drops the capture when its window goes.
void NativeReleaseCaptureOf(HWND hwnd);
// Natively the default for a message (move drag, ...); returns true when it handled it.
bool NativeDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// The window has left the registry: its hook chain (WindowSubclass.cpp) goes too.
void ForgetSubclassChain(HWND hwnd);

}  // namespace platform::detail
