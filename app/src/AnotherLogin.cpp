#include "app/AnotherLogin.h"

#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "platform/window/Form.h"

using namespace platform;

void ShowAnotherLogin() {
  ShowAccountLogin(0);
}

void ShowAccountLogin(int session) {
  // A login screen of another account gives way: a page belongs to one session for good.
  if (FormSlot<LoginFrm>::IsLoaded() && FormSlot<LoginFrm>::Get().Session() != session) {
    FormSlot<LoginBgFrm>::Unload();
  }
  const bool there = FormSlot<LoginFrm>::IsLoaded();
  if (!there) LoginFrm::SessionOfNextLoad(session);
  LoginFrm& login = FormSlot<LoginFrm>::Get();
  if (there) {
    const HWND bg = FormSlot<LoginBgFrm>::Get().hWnd();
    // Minimised by its page, it comes back as well.
    ShowWindow(bg, IsIconic(bg) ? SW_RESTORE : SW_SHOW);
    ShowWindow(login.hWnd(), SW_SHOW);
  }
}
