#include "Label.h"

#include "platform/gdi/Gdi.h"
#include "platform/window/Accessible.h"

Label::Label(const controls::UserControlArgs& args) {
  CreateControl(args);
}

Label::~Label() {
  DestroyControl();
}

void Label::OnInitialize() {
  BackColor(platform::RGB(255, 255, 255));
  ForeColor(platform::RGB(0x24, 0x3B, 0x63));
  Font(controls::StdFont{"", 9.0, false, false, false});
}

void Label::Caption(std::string value) {
  if (value == m_Caption) return;
  m_Caption = std::move(value);
  Redraw();
}

void Label::Redraw() {
  platform::AccessibleInfo info;
  info.role = platform::AccessibleRole::Label;
  info.name = m_Caption;
  info.focusable = false;
  platform::SetAccessible(hWnd(), info);
  Cls();
  CurrentY((ScaleHeight() - TextHeight(m_Caption.empty() ? "A" : m_Caption)) / 2.0);
  Print(m_Caption);
}
