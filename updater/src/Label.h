#pragma once

#include <string>

#include "controls/UserControl.h"

// A line of text on the window's white: the updater's label.
class Label final : public controls::UserControl {
 public:
  explicit Label(const controls::UserControlArgs& args);
  ~Label() override;

  const std::string& Caption() const { return m_Caption; }
  void Caption(std::string value);
  // The height of a line of text in the label's font, twips.
  int LineHeight() const { return TextHeight("正在下载"); }

 protected:
  void OnInitialize() override;
  void OnResize() override { Redraw(); }

 private:
  void Redraw();
  std::string m_Caption;
};
