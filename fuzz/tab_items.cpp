// The tab collection driven by arbitrary operations with arbitrary keys and positions (every
// kind of Variant: missing, numbers of any size, NaN, Booleans, strings, objects): only the
// collection's numbered errors may come out, and what it answers stays consistent.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tabstrip/CTabItem.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/TabErrors.h"

namespace {

class Page : public ITabForm {
 public:
  platform::HWND hWnd() override { return 0; }
  void Initialize(IuTab*, std::weak_ptr<CTabItem>) override {}
  void RefreshPage() override {}
  void Unload() override {}
};

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  bool Empty() const { return m_pos >= m_size; }
  std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  double Number() {
    switch (Byte() % 6) {
      case 0:
        return static_cast<double>(static_cast<std::int8_t>(Byte()));
      case 1:
        return NAN;
      case 2:
        return Byte() % 2 ? INFINITY : -INFINITY;
      case 3:
        return 2147483648.0 * (Byte() % 3 - 1.0);
      case 4:
        return Byte() / 7.0 - 3.0;
      default: {
        double d = 0;
        std::uint8_t b[sizeof d];
        for (auto& x : b) x = Byte();
        std::memcpy(&d, b, sizeof d);
        return d;
      }
    }
  }
  std::string Text() {
    const std::size_t n = Byte() % 6;
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(Byte()));
    return s;
  }
  Variant Value(const std::vector<std::shared_ptr<ITabForm>>& pages) {
    switch (Byte() % 6) {
      case 0:
        return Variant();
      case 1:
        return Variant(Number());
      case 2:
        return Variant(Byte() % 2 == 0);
      case 3:
        return Variant(Text());
      case 4:
        return Variant(std::to_string(static_cast<int>(Byte() % 12) - 2));
      default:
        return Variant(pages[Byte() % pages.size()]);
    }
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  std::vector<std::shared_ptr<ITabForm>> pages;
  for (int i = 0; i < 4; ++i) pages.push_back(std::make_shared<Page>());
  CTabItems items;
  for (int step = 0; step < 64 && !in.Empty(); ++step) {
    try {
      switch (in.Byte() % 5) {
        case 0:
          items.Add(in.Text(), pages[in.Byte() % pages.size()], in.Value(pages), in.Value(pages));
          break;
        case 1:
          items.Remove(in.Value(pages), in.Byte() % 2 == 0);
          break;
        case 2: {
          const std::int32_t at = items.FindItem(in.Value(pages));
          if (at < -1 || at >= items.Count()) std::abort();
          break;
        }
        case 3:
          items.Item(in.Value(pages));
          break;
        default:
          items.Clear();
          if (items.Count() != 0) std::abort();
          break;
      }
    } catch (const TabError&) {
      // The collection's numbered errors are its answer to bad arguments.
    }
    if (items.Count() < 0) std::abort();
  }
  return 0;
}
