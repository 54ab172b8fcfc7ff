#pragma once

#include <memory>
#include <string>

#include "Label.h"
#include "OrvProgressBar.h"
#include "common/UpdateInstall.h"
#include "controls/BForm.h"
#include "controls/iButton.h"
#include "platform/window/Form.h"

// The updater's window: runs the update (UpdateInstall), shows its progress, asks before a
// cancel, reports the end and starts the client again (the new one or the previous one).
class UpdateFrm : public platform::Form {
 public:
  using BForm = controls::BForm;
  using iButton = controls::iButton;

  // The command-line text: the client's directory, "|", the client's executable.
  static void SetCommandLine(std::string text) { CommandLineText() = std::move(text); }

  std::unique_ptr<UpdateInstall> m_update;
  bool m_bCancel = false;

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, int unloadMode) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  static std::string& CommandLineText() {
    static std::string text;
    return text;
  }

  void Form_Resize();
  void closebtn_Click();

  std::unique_ptr<BForm> m_BForm1;
  std::unique_ptr<iButton> m_closebtn;
  std::unique_ptr<Label> m_Label1;
  std::unique_ptr<OrvProgressBar> m_OrvProgressBar1;

  bool m_busy = false;     // the load step has not finished
  bool m_running = false;  // files are being fetched
};
