#pragma once

#include <memory>

#include "app/PngLayer.h"
#include "common/COrvDownLoadFile.h"
#include "platform/window/Form.h"

// The startup window: checks that the machine is online and runs the update check before its
// window exists, honours "/web", and shows the splash centred on the screen.
class LoadFrm : public platform::Form {
 public:
  // The creation step: the connectivity check and the update check (either may end the
  // process).
  LoadFrm();

  // The download object of this window's update check, made when first needed.
  std::unique_ptr<COrvDownLoadFile> m_Downloader;

 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;

 private:
  PngLayer m_Layer;
};
