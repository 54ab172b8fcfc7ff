#include "tabstrip/CTabItem.h"

CTabItem::~CTabItem() {
  // The end of a tab is the end of its page, unless the page was taken out first.
  if (auto form = std::move(m_Form)) {
    try {
      form->Unload();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor must not throw; nobody to tell
    }
  }
}

void CTabItem::RedrawStrip() {
  if (m_strip != nullptr) m_strip->Redraw(true);
}

void CTabItem::Caption(std::string value) {
  m_Caption = std::move(value);
  RedrawStrip();
}

void CTabItem::Form(std::shared_ptr<ITabForm> value) {
  m_Form = std::move(value);
  if (!m_Form) return;
  // Keep a reference of our own across the calls: the page or the strip may reassign Form.
  const std::shared_ptr<ITabForm> form = m_Form;
  form->Initialize(m_strip, weak_from_this());
  if (m_strip != nullptr) m_strip->ChangeForm(*this, form);
}

void CTabItem::HideButton(bool value) {
  m_HideButton = value;
  RedrawStrip();
}

void CTabItem::LockSize(bool value) {
  m_LockSize = value;
  RedrawStrip();
}

void CTabItem::SessionMark(std::int32_t value) {
  m_SessionMark = value;
  RedrawStrip();
}
