#include "UpdateFrm.h"

#include <algorithm>
#include <exception>

#include "common/Settings.h"
#include "common/UpdateHandOver.h"
#include "controls/PropertyBag.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/EventLog.h"

using namespace platform;

namespace {

constexpr int kClientWidth = 305;
constexpr int kClientHeight = 144;
constexpr int kCloseFromRight = 730;  // twips

}  // namespace

CreateWindowArgs UpdateFrm::Design() {
  CreateWindowArgs args;
  args.title = "更新";
  args.style = WS_POPUP;
  args.width = kClientWidth;
  args.height = kClientHeight;
  args.x = (GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
  args.y = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
  args.backColor = RGB(255, 255, 255);
  return args;
}

void UpdateFrm::Form_Load() {
  m_busy = true;

  const int width = PixelsToTwips(kClientWidth);
  {
    controls::PropertyBag design;
    design.WriteProperty("Caption", std::string("更新"));
    design.WriteProperty("frmHwnd", static_cast<std::int32_t>(hWnd()));
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.width = width;
    a.height = controls::bform::kBarHeight;
    a.properties = &design;
    m_BForm1 = std::make_unique<BForm>(a);
  }
  {
    controls::PropertyBag design;
    design.WriteProperty("BackPicture", controls::StdPicture::LoadRes(103));
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = width - kCloseFromRight;
    a.top = 0;  // the strip's art continues the title bar's top rows
    a.width = PixelsToTwips(43);
    a.height = PixelsToTwips(18);
    a.properties = &design;
    m_closebtn = std::make_unique<iButton>(a);
    m_closebtn->Click = [this] { closebtn_Click(); };
  }
  {
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = PixelsToTwips(20);
    a.top = PixelsToTwips(56);
    a.width = PixelsToTwips(kClientWidth - 40);
    a.height = PixelsToTwips(20);
    m_Label1 = std::make_unique<Label>(a);
  }
  {
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = PixelsToTwips(20);
    a.top = PixelsToTwips(88);
    a.width = PixelsToTwips(kClientWidth - 40);
    a.height = PixelsToTwips(16);
    m_OrvProgressBar1 = std::make_unique<OrvProgressBar>(a);
  }
  // At a desktop text scale a line is taller than the label's designed 20 pixels: the label,
  // and the bar and the window below it, grow by the difference.
  if (const int extra = std::max(0, TwipsToPixels(m_Label1->LineHeight()) - 20); extra > 0) {
    m_Label1->Height(m_Label1->Height() + PixelsToTwips(extra));
    m_OrvProgressBar1->Top(m_OrvProgressBar1->Top() + PixelsToTwips(extra));
    RECT r;
    GetWindowRect(hWnd(), &r);
    SetWindowPos(hWnd(), 0, r.left, r.top - extra / 2, r.Width(), r.Height() + extra,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  m_BForm1->Width(width);
  Form_Resize();
  Show();

  std::string manifestPath;
  try {
    manifestPath = KeptManifestPath();
  } catch (const std::exception& e) {
    kUpdaterLog.Event(e.what());
  }
  UpdateInstall::View view;
  view.caption = [this](const std::string& text) { m_Label1->Caption(text); };
  view.fileSize = [this](std::int64_t size) { m_OrvProgressBar1->Max(size); };
  view.loaded = [this](std::int64_t loaded) { m_OrvProgressBar1->Value(loaded); };
  m_update = std::make_unique<UpdateInstall>(ParseUpdaterCommandLine(CommandLineText()),
                                             manifestPath, UpdatePublicKey(), std::move(view));
  m_running = true;
  const UpdateInstall::Outcome outcome = m_update->Run();
  m_running = false;

  switch (outcome) {
    case UpdateInstall::Outcome::Cancelled:
      break;
    case UpdateInstall::Outcome::ReadOnly:
      MessageBox("程序目录无法写入，更新未能完成！", "提示", MB_OK | MB_ICONEXCLAMATION);
      break;
    case UpdateInstall::Outcome::Failed:
      MessageBox("更新未能完成，已保留原有版本！", "提示", MB_OK | MB_ICONEXCLAMATION);
      break;
    case UpdateInstall::Outcome::Installed:
      MessageBox("软件已升至最新版本！", "提示", MB_OK | MB_ICONINFORMATION);
      break;
  }
  // Whatever the end, a client runs again: the new one, or the previous one.
  if (const std::string client = m_update->ClientToStart(); !client.empty()) {
    if (!StartProgram(client, "")) kUpdaterLog.Event("cannot start " + client);
  }
  m_busy = false;
  RequestUnload(kUnloadByCode);
}

void UpdateFrm::Form_QueryUnload(bool& cancel, int unloadMode) {
  // The load step runs the whole update and unloads the window itself at its end; until then
  // the user's close request is the close button's question while files arrive, and waits
  // otherwise (the end message is up).
  if (m_busy && unloadMode == kUnloadByUser) {
    cancel = true;
    if (m_running) closebtn_Click();
  }
}

LRESULT UpdateFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = Form::FormProc(msg, wParam, lParam);
  if (msg == WM_SIZE && m_BForm1) Form_Resize();
  return result;
}

void UpdateFrm::Form_Resize() {
  RECT client;
  if (!GetClientRect(hWnd(), &client)) return;
  SetWindowRgn(hWnd(), CreateRoundRectRgn(0, 0, client.Width(), client.Height(), 6, 6), true);
  m_BForm1->Printform(hWnd());
  m_closebtn->Left(PixelsToTwips(client.Width()) - kCloseFromRight);
}

void UpdateFrm::closebtn_Click() {
  if (MessageBox("您是否要退出更新！", "提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_bCancel = true;
  m_update->Cancel();
}
