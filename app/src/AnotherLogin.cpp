#include "app/AnotherLogin.h"

#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "platform/window/Form.h"

using namespace platform;

void ShowAnotherLogin() {
  const bool there = FormSlot<LoginFrm>::IsLoaded();
  LoginFrm& login = FormSlot<LoginFrm>::Get();
  if (there) {
    const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
    // Minimised by its page, it comes back as well.
    ShowWindow(bg, IsIconic(bg) ? SW_RESTORE : SW_SHOW);
    ShowWindow(login.hWnd(), SW_SHOW);
  }
}
