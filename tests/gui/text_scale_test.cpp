// The main window at a desktop text scale: the skinned captions (title bar, tabs, portal
// buttons) and the program menu grow with the desktop's text, and each still fits its box. The
// text scale is read when the toolkit starts, so the window is measured by a probe in a process
// of its own, once at 96 dpi, once for each way a desktop sets 144 dpi (the X resource
// Xft.dpi, GDK_DPI_SCALE) and once at twice the text.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include <unistd.h>

#include "DesktopImpl.h"
#include "LoopbackServer.h"
#include "WindowTestSupport.h"
#include "common/Settings.h"
#include "controls/BForm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Form.h"
#include "tabstrip/TabLayout.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

constexpr const char* kProbeVariable = "TEXT_SCALE_PROBE";

RECT Rect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return r;
}

// The text's size in this font.
SIZE Extent(const std::string& text, HFONT font) {
  const OwnedDc dc(CreateCompatibleDC(0));
  const SelectedObject selected(dc.get(), font);
  SIZE size{};
  GetTextExtentPoint32(dc.get(), text, &size);
  return size;
}

void Report(const std::string& key, long value) {
  std::cout << "probe " << key << " " << value << std::endl;
}

// Measures the main window of this process and writes "probe <key> <value>" lines: the text
// heights, and for each place whether its text fits its box (1) or not (0).
TEST(TextScaleProbe, Measure) {
  if (std::getenv(kProbeVariable) == nullptr) GTEST_SKIP() << "run by TextScale.*";
  testsupport::LoopbackServer server;
  for (int i = 1; i <= 3; ++i) {
    server.Route(
        "/play/" + std::to_string(i), [i](const testsupport::Request&, testsupport::Connection& c) {
          c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}},
                         "<!DOCTYPE html><html><head><meta charset='utf-8'><title>天域 " +
                             std::to_string(i) + " 区</title></head><body>game</body></html>");
        });
  }
  FormRuntime::SetLastFormUnloadedHandler([] {});
  PointerAway();
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/play/1"));
  m.Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(m.hWnd()); }));
  m.SetURL(server.Url("/play/2"));
  m.SetURL(server.Url("/play/3"));
  auto& items = m.WebuTab().TabItems();
  ASSERT_TRUE(WaitFor(
      [&] {
        if (items.Count() != 3) return false;
        for (std::int32_t i = 0; i < 3; ++i) {
          if (items.Item(Variant(i))->Caption().find("天域") == std::string::npos) return false;
        }
        return true;
      },
      15000));
  Settle(300);
  LOGFONT stock;
  GetObject(GetStockObject(DEFAULT_GUI_FONT), &stock);
  Report("font", -stock.lfHeight);

  // The title caption: below the bar's top, above its bottom, and ending before the tab strip.
  const HWND me = m.hWnd();
  const RECT caption = m.WebBForm().CaptionBox();
  const RECT strip = Rect(m.WebuTab().hWnd());
  const int stripLeft = PixelsToTwips(strip.left - Rect(me).left);
  Report("title_h", TwipsToPixels(caption.bottom - caption.top));
  Report("title_fits", caption.top >= 0 && caption.bottom <= controls::bform::kBarHeight &&
                           caption.right <= stripLeft);

  // Each tab's caption, in the selected tab's bold font (the wider one), inside its box.
  const HFONT bold = m.WebuTab().CaptionFont(true);
  const SIZE tabText = Extent(items.Item(Variant(0))->Caption(), bold);
  Report("tab_h", tabText.cy);
  bool tabsFit = true;
  for (std::int32_t i = 0; i < items.Count(); ++i) {
    const auto item = items.Item(Variant(i));
    const SIZE text = Extent(item->Caption(), bold);
    const tablayout::Box box =
        tablayout::PaintTab(1, item->Left(), item->Width(), item->HideButton(), true, false, 0)
            .caption;
    tabsFit = tabsFit && text.cx <= box.w && text.cy <= box.h;
  }
  Report("tabs_fit", tabsFit);

  // The portal buttons hold their captions and stay clear of the tab strip's last tab.
  bool buttonsFit = true;
  for (const controls::iButton* b : {&m.OtherUserBtn(), &m.GameSpaceBtn()}) {
    buttonsFit = buttonsFit && b->CaptionWidth() <= b->Width() && b->CaptionHeight() <= b->Height();
  }
  Report("buttons_fit", buttonsFit);

  // The program menu's first item: its label inside the item.
  Xdotool("mousemove 1 1");
  const RECT tool = Rect(m.web_tool().hWnd());
  Xdotool("mousemove " + std::to_string((tool.left + tool.right) / 2) + " " +
          std::to_string((tool.top + tool.bottom) / 2) + " click 1");
  GtkWidget* first = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    GtkWidget* menu = detail::CurrentPopupMenu();
    if (menu == nullptr) return false;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    first = children != nullptr ? static_cast<GtkWidget*>(children->data) : nullptr;
    g_list_free(children);
    return first != nullptr && gtk_widget_get_allocated_height(first) > 1;
  }));
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(first));
  int labelWidth = 0, labelHeight = 0;
  pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label)), &labelWidth, &labelHeight);
  Report("menu_h", labelHeight);
  Report("menu_fits", labelWidth <= gtk_widget_get_allocated_width(label) &&
                          labelHeight <= gtk_widget_get_allocated_height(first));
  gtk_menu_shell_cancel(GTK_MENU_SHELL(detail::CurrentPopupMenu()));
  EXPECT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));

  m.m_bExit = true;
  FormSlot<WebMainFrm>::Unload();
  DoEvents();
}

// Runs the probe in a process of its own with the environment given in front.
std::map<std::string, long> Probe(const std::string& environment) {
  const std::string out =
      Output(environment + " " + kProbeVariable + "=1 /proc/" + std::to_string(::getpid()) +
             "/exe --gtest_filter=TextScaleProbe.Measure 2>/dev/null");
  std::map<std::string, long> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string tag, key;
    long value = 0;
    if (words >> tag >> key >> value && tag == "probe") values[key] = value;
  }
  return values;
}

TEST(TextScale, CaptionsAndTheMenuGrowWithTheDesktopsTextAndFitTheirBoxes) {
  const auto base = Probe("GDK_DPI_SCALE=1");
  ASSERT_TRUE(base.count("menu_fits")) << "the probe at 96 dpi did not finish";
  for (const char* fits : {"title_fits", "tabs_fit", "buttons_fit", "menu_fits"}) {
    EXPECT_EQ(1, base.at(fits)) << fits << " at 96 dpi";
  }
  // 144 dpi: from the X resources, as a desktop's font settings set it, then from the toolkit's
  // own variable.
  Shell("xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER 'Xft.dpi: 144'");
  const auto xft = Probe("");
  Shell("xprop -root -remove RESOURCE_MANAGER");
  const auto variable = Probe("GDK_DPI_SCALE=1.5");
  // Twice the text: the tab captions stop growing where they still fit the tab pieces.
  const auto twice = Probe("GDK_DPI_SCALE=2");
  struct Run {
    const char* how;
    const std::map<std::string, long>& scaled;
    double factor;
  };
  for (const Run& run : {Run{"Xft.dpi 144", xft, 1.5}, Run{"GDK_DPI_SCALE=1.5", variable, 1.5},
                         Run{"GDK_DPI_SCALE=2", twice, 2.0}}) {
    SCOPED_TRACE(run.how);
    const auto& scaled = run.scaled;
    ASSERT_TRUE(scaled.count("menu_fits")) << "the probe did not finish";
    EXPECT_EQ(std::lround(base.at("font") * run.factor), scaled.at("font"));
    for (const char* height : {"title_h", "tab_h", "menu_h"}) {
      EXPECT_GT(scaled.at(height), base.at(height)) << height;
    }
    for (const char* fits : {"title_fits", "tabs_fit", "buttons_fit", "menu_fits"}) {
      EXPECT_EQ(1, scaled.at(fits)) << fits;
    }
  }
}

}  // namespace
