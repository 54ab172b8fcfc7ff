#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/gdi/Gdi.h"

// Persisted properties of the user controls, and the picture and font values they hold.
//
// A window's design data are its initialisation code: the host fills a PropertyBag with the
// values it designed (a caption, a picture, a style) and hands it to the control it creates,
// which reads it in its own order, applying its defaults for what the bag does not hold. Saving
// is the reverse: the control writes every persisted property into a bag, leaving out values
// equal to their defaults. A control tells its host that a persisted property changed through
// UserControl::PropertyChanged, which calls the host's handler with the property's name.

namespace controls {

// A picture: one bitmap, shared by whoever holds it (the control, the host, a property bag) and
// deleted with the last holder. Pictures are never changed after they are made.
class StdPicture {
 public:
  // Takes over the bitmap; nothing for 0.
  static std::shared_ptr<const StdPicture> FromBitmap(platform::HBITMAP bitmap);
  // A bitmap resource ("BITMAP" id); nothing when there is none.
  static std::shared_ptr<const StdPicture> LoadRes(int id);

  ~StdPicture();
  StdPicture(const StdPicture&) = delete;
  StdPicture& operator=(const StdPicture&) = delete;

  platform::HBITMAP Handle() const { return m_bitmap.get(); }
  int Width() const { return m_width; }    // pixels
  int Height() const { return m_height; }  // pixels
  // The picture's size in HiMetric units (0.01 mm), as a picture object reports it: pixels at
  // 96 dots per inch, rounded to whole units.
  std::int32_t HiMetricWidth() const;
  std::int32_t HiMetricHeight() const;

 private:
  explicit StdPicture(platform::HBITMAP bitmap);
  platform::OwnedBitmap m_bitmap;
  int m_width = 0;
  int m_height = 0;
};
using Picture = std::shared_ptr<const StdPicture>;

// HiMetric units of a length in pixels at 96 dots per inch (2540 per inch), rounded half away
// from zero.
std::int32_t PixelsToHiMetric(int pixels);

// A font as a property: face, size in points and style.
struct StdFont {
  std::string Name;  // "" = the desktop's UI font
  double Size = 9.0;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  friend bool operator==(const StdFont&, const StdFont&) = default;
};
// The logical font for a StdFont at logPixels dots per inch (the screen's, GetDeviceCaps).
platform::LOGFONT ToLogFont(const StdFont& font, int logPixels = 96);

// What a property bag holds for one key. Numbers of every width (16-bit modes, 32-bit colours
// and handles) are held as 32-bit integers.
using PropertyValue =
    std::variant<std::monostate, bool, std::int32_t, std::string, Picture, StdFont>;

class PropertyBag {
 public:
  // One access, in the order it happened (for checking the orders the controls keep).
  struct Access {
    bool write = false;
    std::string name;
    friend bool operator==(const Access&, const Access&) = default;
  };

  // The stored value, or `defaultValue` when the key is not stored. Typed reads convert
  // between Boolean and integer (true is -1) and otherwise fall back to the default when the
  // stored value has another type.
  PropertyValue ReadProperty(std::string_view name, const PropertyValue& defaultValue = {}) const;
  bool ReadBool(std::string_view name, bool defaultValue) const;
  std::int32_t ReadInt(std::string_view name, std::int32_t defaultValue) const;
  std::string ReadString(std::string_view name, const std::string& defaultValue) const;
  Picture ReadPicture(std::string_view name, const Picture& defaultValue = {}) const;
  StdFont ReadFont(std::string_view name, const StdFont& defaultValue) const;

  // Stores the value (an empty value removes the key).
  void WriteProperty(std::string_view name, const PropertyValue& value);
  // Stores the value unless it equals the default; then the key is removed.
  void WriteProperty(std::string_view name, const PropertyValue& value,
                     const PropertyValue& defaultValue);

  bool Contains(std::string_view name) const;
  std::size_t Count() const { return m_entries.size(); }
  // Keys in the order they were first written.
  std::vector<std::string> Keys() const;

  const std::vector<Access>& Accesses() const { return m_accesses; }
  void ClearAccesses() { m_accesses.clear(); }

 private:
  struct Entry {
    std::string name;
    PropertyValue value;
  };
  const Entry* Find(std::string_view name) const;
  void Store(std::string_view name, const PropertyValue& value);

  std::vector<Entry> m_entries;
  mutable std::vector<Access> m_accesses;
};

}  // namespace controls
