#include "controls/PropertyBag.h"

#include <cmath>

namespace controls {

using namespace platform;

// ---- Pictures ------------------------------------------------------------------------------

StdPicture::StdPicture(HBITMAP bitmap) : m_bitmap(bitmap) {
  SIZE size;
  if (GetBitmapSize(bitmap, &size)) {
    m_width = size.cx;
    m_height = size.cy;
  }
}

StdPicture::~StdPicture() = default;

Picture StdPicture::FromBitmap(HBITMAP bitmap) {
  if (bitmap == 0) return {};
  return Picture(new StdPicture(bitmap));
}

Picture StdPicture::LoadRes(int id) { return FromBitmap(LoadBitmapResource(id)); }

std::int32_t PixelsToHiMetric(int pixels) {
  return static_cast<std::int32_t>(std::lround(pixels * 2540.0 / 96.0));
}

std::int32_t StdPicture::HiMetricWidth() const { return PixelsToHiMetric(m_width); }
std::int32_t StdPicture::HiMetricHeight() const { return PixelsToHiMetric(m_height); }

// ---- Fonts ---------------------------------------------------------------------------------

LOGFONT ToLogFont(const StdFont& font, int logPixels) {
  LOGFONT lf;
  lf.lfHeight = -static_cast<int>(std::lround(font.Size * logPixels / 72.0));
  lf.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font.Italic;
  lf.lfUnderline = font.Underline;
  lf.lfFaceName = font.Name;
  return lf;
}

// ---- The bag -------------------------------------------------------------------------------

const PropertyBag::Entry* PropertyBag::Find(std::string_view name) const {
  for (const Entry& e : m_entries) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

PropertyValue PropertyBag::ReadProperty(std::string_view name,
                                        const PropertyValue& defaultValue) const {
  m_accesses.push_back({false, std::string(name)});
  const Entry* e = Find(name);
  return e != nullptr ? e->value : defaultValue;
}

bool PropertyBag::ReadBool(std::string_view name, bool defaultValue) const {
  const PropertyValue v = ReadProperty(name, defaultValue);
  if (const bool* b = std::get_if<bool>(&v)) return *b;
  if (const std::int32_t* i = std::get_if<std::int32_t>(&v)) return *i != 0;
  return defaultValue;
}

std::int32_t PropertyBag::ReadInt(std::string_view name, std::int32_t defaultValue) const {
  const PropertyValue v = ReadProperty(name, defaultValue);
  if (const std::int32_t* i = std::get_if<std::int32_t>(&v)) return *i;
  if (const bool* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
  return defaultValue;
}

std::string PropertyBag::ReadString(std::string_view name, const std::string& defaultValue) const {
  const PropertyValue v = ReadProperty(name, defaultValue);
  if (const std::string* s = std::get_if<std::string>(&v)) return *s;
  return defaultValue;
}

Picture PropertyBag::ReadPicture(std::string_view name, const Picture& defaultValue) const {
  const PropertyValue v = ReadProperty(name, defaultValue);
  if (const Picture* p = std::get_if<Picture>(&v)) return *p;
  return defaultValue;
}

StdFont PropertyBag::ReadFont(std::string_view name, const StdFont& defaultValue) const {
  const PropertyValue v = ReadProperty(name, defaultValue);
  if (const StdFont* f = std::get_if<StdFont>(&v)) return *f;
  return defaultValue;
}

void PropertyBag::Store(std::string_view name, const PropertyValue& value) {
  for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
    if (it->name != name) continue;
    if (std::holds_alternative<std::monostate>(value)) {
      m_entries.erase(it);
    } else {
      it->value = value;
    }
    return;
  }
  if (!std::holds_alternative<std::monostate>(value))
    m_entries.push_back({std::string(name), value});
}

void PropertyBag::WriteProperty(std::string_view name, const PropertyValue& value) {
  m_accesses.push_back({true, std::string(name)});
  Store(name, value);
}

void PropertyBag::WriteProperty(std::string_view name, const PropertyValue& value,
                                const PropertyValue& defaultValue) {
  m_accesses.push_back({true, std::string(name)});
  Store(name, value == defaultValue ? PropertyValue{} : value);
}

bool PropertyBag::Contains(std::string_view name) const { return Find(name) != nullptr; }

std::vector<std::string> PropertyBag::Keys() const {
  std::vector<std::string> keys;
  for (const Entry& e : m_entries) keys.push_back(e.name);
  return keys;
}

}  // namespace controls
