#pragma once

#include <cstdint>

#include "controls/UserControl.h"

// A progress bar: shows Value between Min and Max as a filled bar. Counts are 64-bit, so the
// bar follows files of any size.
class OrvProgressBar final : public controls::UserControl {
 public:
  explicit OrvProgressBar(const controls::UserControlArgs& args);
  ~OrvProgressBar() override;

  std::int64_t Min() const { return m_Min; }
  void Min(std::int64_t value);
  std::int64_t Max() const { return m_Max; }
  void Max(std::int64_t value);
  std::int64_t Value() const { return m_Value; }
  void Value(std::int64_t value);

  // The filled part's width in pixels for a bar `width` pixels wide (pure, for the drawing).
  static int FilledWidth(int width, std::int64_t min, std::int64_t max, std::int64_t value);

 protected:
  void OnResize() override { Redraw(); }
  void Describe();

 private:
  void Redraw();

  std::int64_t m_Min = 0;
  std::int64_t m_Max = 100;
  std::int64_t m_Value = 0;
  int m_drawnFill = -1;
};
