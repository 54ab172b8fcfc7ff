#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Label.h"
#include "OrvProgressBar.h"
#include "common/COrvDownLoadFile.h"
#include "controls/BForm.h"
#include "controls/iButton.h"
#include "platform/window/Form.h"

// The updater's window: fetches every file the manifest lists into the client's directory,
// shows its progress, reports the end and opens what it installed last.
//
// Files are fetched to temporary names beside their targets and put in place only when every
// one of them arrived whole (the announced length, and the SHA-256 when the manifest gives it):
// the client's files belong together, so a failed, refused or cancelled file leaves the whole
// previous version in place, and the previous client is started again.
class UpdateFrm : public platform::Form {
 public:
  using BForm = controls::BForm;
  using iButton = controls::iButton;

  // The command-line text: the client's directory, "|", the client's executable.
  static void SetCommandLine(std::string text) { CommandLineText() = std::move(text); }

  std::unique_ptr<COrvDownLoadFile> m_downfile;
  bool m_bCancel = false;
  std::string m_LastFile;

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, int unloadMode) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  struct Fetched {
    std::string temp;
    std::string target;
  };

  static std::string& CommandLineText() {
    static std::string text;
    return text;
  }

  void Form_Resize();
  void closebtn_Click();
  void UpdateFiles();
  // Marks the run as failed: the label says why, the event log has the details.
  void Fail(const std::string& shown, const std::string& logged);
  void Install(std::vector<Fetched>& fetched);
  void OpenAtEnd();

  std::unique_ptr<BForm> BForm1;
  std::unique_ptr<iButton> closebtn;
  std::unique_ptr<Label> Label1;
  std::unique_ptr<OrvProgressBar> OrvProgressBar1;

  std::string m_Directory;   // piece 1, without a trailing "/"
  std::string m_Executable;  // piece 2; empty when the command line has none
  bool m_busy = false;       // the load step has not finished
  bool m_running = false;    // files are being fetched
  bool m_failed = false;
  bool m_readOnly = false;  // the client's directory cannot be written to at all
  std::set<std::string> m_installed;
};
