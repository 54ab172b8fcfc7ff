#pragma once

#include <memory>

#include "controls/BForm.h"
#include "controls/iButton.h"
#include "platform/window/Form.h"

// The exit question: a small skinned dialog, shown modally by the main window's close guard,
// that writes the answer into the main window's m_bExit and unloads itself. Closing it any
// other way (the window manager's close) leaves m_bExit as it was.
class MsgFrm : public platform::Form {
 public:
  using BForm = controls::BForm;
  using iButton = controls::iButton;

  static constexpr int kWidth = 242;
  static constexpr int kHeight = 140;
  static constexpr const char* kQuestion = "窗口即将关闭，确定要退出游戏？";

  MsgFrm();
  ~MsgFrm() override;

  BForm& BForm1() { return *m_BForm1; }
  iButton& closebtn() { return *m_closebtn; }
  iButton& iButton1() { return *m_iButton1; }
  iButton& iButton2() { return *m_iButton2; }
  platform::HWND Label1() const { return m_Label1; }

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  void Form_Resize();
  // Writes the answer and unloads the dialog.
  void Answer(bool exit);

  std::unique_ptr<BForm> m_BForm1;
  std::unique_ptr<iButton> m_closebtn;
  std::unique_ptr<iButton> m_iButton1;
  std::unique_ptr<iButton> m_iButton2;
  platform::HWND m_Label1 = 0;
};
