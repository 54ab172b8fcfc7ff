// Game pages in the main window's tabs as a player meets them: a page whose tab is not selected
// draws nothing (its animation frames stop) while its timers go on, and it shows its current
// picture at once when its tab is selected again with the real pointer.

#include <gtest/gtest.h>

#include <glib.h>

#include <chrono>
#include <string>

#include "DesktopImpl.h"
#include "LoopbackServer.h"
#include "MainWindow.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "mainwin/WebMainFrm.h"
#include "mainwin/WebUrl.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// A live page: counts its animation frames, its 100 ms timer's ticks and the messages of its
// web socket, and paints its whole body in one of four colours chosen by the tick count (a new
// one every half second), so that a picture tells which ticks it shows.
constexpr char kLivePage[] = R"(<!DOCTYPE html><html><head><meta charset='utf-8'>
<title>live</title></head><body style='margin:0'><script>
var frames = 0, ticks = 0, messages = 0;
var socket = new WebSocket('ws://' + location.host + '/socket');
socket.onmessage = function () { messages++; };
var colours = ['#ff0000', '#00ff00', '#0000ff', '#ffff00'];
function frame() { frames++; requestAnimationFrame(frame); }
requestAnimationFrame(frame);
setInterval(function () {
  ticks++;
  document.body.style.background = colours[Math.floor(ticks / 5) % 4];
}, 100);
</script></body></html>)";

// A page that plays a tone once the user has clicked it (the engine lets sound start only after
// a gesture of the user).
constexpr char kSoundPage[] = R"(<!DOCTYPE html><html><head><meta charset='utf-8'>
<title>tone</title></head><body><script>
var context = new AudioContext();
var tone = context.createOscillator();
tone.connect(context.destination);
tone.start();
document.onclick = function () { context.resume(); };
</script></body></html>)";

constexpr std::uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

// A web socket that sends a short message every 50 ms for at most 30 s.
void ServeSocket(const testsupport::Request& request, testsupport::Connection& c) {
  const std::string key =
      request.Header("Sec-WebSocket-Key") + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
  GChecksum* sha1 = g_checksum_new(G_CHECKSUM_SHA1);
  g_checksum_update(sha1, reinterpret_cast<const guchar*>(key.data()),
                    static_cast<gssize>(key.size()));
  guint8 digest[20];
  gsize length = sizeof digest;
  g_checksum_get_digest(sha1, digest, &length);
  g_checksum_free(sha1);
  gchar* accept = g_base64_encode(digest, length);
  const std::string head =
      std::string("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n") +
      "Connection: Upgrade\r\nSec-WebSocket-Accept: " + accept + "\r\n\r\n";
  g_free(accept);
  if (!c.SendRaw(head)) return;
  for (int i = 0; i < 600; ++i) {
    if (!c.SendRaw(std::string("\x81\x01x", 3)) || !c.Pause(std::chrono::milliseconds(50))) return;
  }
}

class TabPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    server.Route("/live", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}}, kLivePage);
    });
    server.Route("/socket", ServeSocket);
    server.Route("/sound", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/html; charset=utf-8"}}, kSoundPage);
    });
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    testsupport::UnloadMainWindow();
    DoEvents();
  }

  // The main window with two live tabs, the second selected, both pages counting.
  WebMainFrm& OpenTwo() {
    WebMainFrm& m = FormSlot<WebMainFrm>::Get();
    m.SetURL(server.Url("/live?1"));
    m.Show();
    m.SetURL(server.Url("/live?2"));
    EXPECT_TRUE(
        WaitFor([&] { return Value(m, 0, "ticks") > 0 && Value(m, 1, "frames") > 0; }, 20000));
    return m;
  }

  static WebKitWebView* View(WebMainFrm& m, int tab) {
    auto page =
        std::dynamic_pointer_cast<WebUrl>(m.WebuTab().TabItems().Item(Variant(tab))->Form());
    if (!page || page->Browser() == nullptr) return nullptr;
    return WEBKIT_WEB_VIEW(WebBrowserEngineWidget(*page->Browser()));
  }

  // A counter of the page in that tab; -1 when it cannot be read.
  static long Value(WebMainFrm& m, int tab, const std::string& name) {
    WebKitWebView* view = View(m, tab);
    if (view == nullptr) return -1;
    const std::string text =
        webtest::Eval(view, "typeof " + name + " == 'number' ? " + name + " : -1");
    return text.empty() || text.starts_with("error") || text == "timeout" ? -1 : std::stol(text);
  }

  static std::shared_ptr<WebUrl> Page(WebMainFrm& m, int tab) {
    return std::dynamic_pointer_cast<WebUrl>(m.WebuTab().TabItems().Item(Variant(tab))->Form());
  }

  // The screen point of a tab's part: x from the tab's left edge, y from the strip's top.
  static POINT OnTab(WebMainFrm& m, int tab, int x, int y) {
    RECT strip;
    GetWindowRect(m.WebuTab().hWnd(), &strip);
    return {strip.left + m.WebuTab().TabLeftSize() +
                m.WebuTab().TabItems().Item(Variant(tab))->Left() + x,
            strip.top + y};
  }

  // Right-clicks the tab with the real pointer and clicks the menu item with this caption.
  static void FromTabMenu(WebMainFrm& m, int tab, const std::string& caption) {
    const POINT at = OnTab(m, tab, 40, 12);
    Xdotool("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 3");
    ASSERT_TRUE(WaitFor([] { return IsPopupMenuOpen(); }));
    POINT item{};
    ASSERT_TRUE(WaitFor([&] {
      GtkWidget* menu = platform::detail::CurrentPopupMenu();
      if (menu == nullptr) return false;
      GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
      for (GList* i = items; i != nullptr; i = i->next) {
        GtkWidget* w = static_cast<GtkWidget*>(i->data);
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        int x = 0, y = 0;
        if (gtk_widget_get_window(w) == nullptr || a.height <= 1 ||
            caption != gtk_menu_item_get_label(GTK_MENU_ITEM(w))) {
          continue;
        }
        gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
        item = {x + a.x + a.width / 2, y + a.y + a.height / 2};
      }
      g_list_free(items);
      return item.y > 0;
    })) << caption;
    Xdotool("mousemove " + std::to_string(item.x) + " " + std::to_string(item.y));
    Settle(100);
    Xdotool("click 1");
    EXPECT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));
    Settle(100);
  }

  testsupport::LoopbackServer server;
};

TEST_F(TabPagesTest, AnUnselectedTabDrawsNothingButItsTimersRun) {
  WebMainFrm& m = OpenTwo();
  ASSERT_EQ(1, m.WebuTab().Selected());
  Settle(500);  // the switch has reached the engine
  const long frames0 = Value(m, 0, "frames");
  const long ticks0 = Value(m, 0, "ticks");
  const long messages0 = Value(m, 0, "messages");
  const long shown0 = Value(m, 1, "frames");
  Settle(2000);
  const long frames = Value(m, 0, "frames") - frames0;
  const long ticks = Value(m, 0, "ticks") - ticks0;
  const long messages = Value(m, 0, "messages") - messages0;
  const long shown = Value(m, 1, "frames") - shown0;
  EXPECT_LE(frames, 2) << "animation frames of the unselected tab in 2 s";
  EXPECT_GE(shown, 20) << "animation frames of the selected tab in 2 s";
  // Its game logic goes on at its own pace: 20 ticks of the 100 ms timer, 40 messages.
  EXPECT_GE(ticks, 15) << "timer ticks of the unselected tab in 2 s";
  EXPECT_GE(messages, 30) << "web socket messages of the unselected tab in 2 s";
  std::printf(
      "unselected tab over 2 s: %ld frames, %ld timer ticks (of 20), %ld messages (of 40);"
      " selected tab: %ld frames\n",
      frames, ticks, messages, shown);

  // Selected again with the real pointer, it shows its current picture from the first frame
  // on: never the one it had when it was hidden, never an empty page.
  const long hiddenBlock = ticks0 / 5;
  ASSERT_TRUE(WaitFor([&] { return (Value(m, 0, "ticks") / 5 - hiddenBlock) % 4 == 2; }, 5000));
  RECT strip;
  GetWindowRect(m.WebuTab().hWnd(), &strip);
  const int tabX = strip.left + 10 + m.WebuTab().TabItems().Item(Variant(0))->Left() + 30;
  Xdotool("mousemove " + std::to_string(tabX) + " " + std::to_string(strip.top + 12) + " click 1");
  ASSERT_TRUE(WaitFor([&] { return m.WebuTab().Selected() == 0; }));
  RECT page;
  GetWindowRect(m.pCnt(), &page);
  for (int shot = 0; shot < 4; ++shot) {
    const Image picture =
        Screenshot(page.left + page.Width() / 2, page.top + page.Height() / 2, 1, 1);
    const long block = Value(m, 0, "ticks") / 5;
    ASSERT_FALSE(picture.IsNull());
    const std::uint32_t pixel = picture.PixelAt(0, 0) & 0xFFFFFF;
    EXPECT_TRUE(Near(pixel, kColours[block % 4]) || Near(pixel, kColours[(block + 3) % 4]))
        << "shot " << shot << ": 0x" << std::hex << pixel << " where the page paints 0x"
        << kColours[block % 4] << std::dec << " (hidden at block " << hiddenBlock << ", now "
        << block << ")";
    Settle(30);
  }
}

TEST_F(TabPagesTest, SpeakerMarkAndTabMenuWithTheRealPointer) {
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  m.SetURL(server.Url("/sound"));
  m.Show();
  ASSERT_TRUE(WaitFor(
      [&] {
        return View(m, 0) != nullptr && webtest::Eval(View(m, 0), "typeof context") == "object";
      },
      20000));
  RECT page;
  GetWindowRect(m.pCnt(), &page);
  Xdotool("mousemove " + std::to_string(page.left + 200) + " " + std::to_string(page.top + 200) +
          " click 1");
  m.SetURL(server.Url("/live?2"));
  m.SetURL(server.Url("/live?3"));
  ASSERT_TRUE(WaitFor([&] { return Page(m, 0)->PlayingAudio(); }, 20000))
      << "no sound played: " << webtest::Eval(View(m, 0), "context.state");
  ASSERT_EQ(2, m.WebuTab().Selected());
  Settle(300);
  // The mark sits left of the close box: the speaker's dark pixels are on the screen.
  const tablayout::Box mark =
      tablayout::SoundMarkBox(1, m.WebuTab().TabItems().Item(Variant(0))->Left(),
                              m.WebuTab().TabItems().Item(Variant(0))->Width(), false);
  const POINT markAt =
      OnTab(m, 0, mark.x - m.WebuTab().TabItems().Item(Variant(0))->Left(), mark.y);
  const auto speakerShown = [&] {
    return WaitForScreen(markAt.x, markAt.y, mark.w, mark.h, [](const Image& shot) {
      for (int y = 0; y < shot.Height(); ++y) {
        if (Near(shot.PixelAt(1, y), 0x404040)) return true;
      }
      return false;
    });
  };
  EXPECT_TRUE(speakerShown());
  // A tab without sound has no mark.
  const tablayout::Box silent =
      tablayout::SoundMarkBox(1, m.WebuTab().TabItems().Item(Variant(1))->Left(),
                              m.WebuTab().TabItems().Item(Variant(1))->Width(), false);
  EXPECT_EQ(tablayout::Hit({1, false, false}),
            m.WebuTab().HitTest(static_cast<float>(m.WebuTab().TabLeftSize() + silent.x + 5),
                                static_cast<float>(silent.y + 5)));

  // A click on the mark mutes the page and leaves the selection; a second one unmutes it.
  Xdotool("mousemove " + std::to_string(markAt.x + 5) + " " + std::to_string(markAt.y + 5) +
          " click 1");
  EXPECT_TRUE(WaitFor([&] { return Page(m, 0)->Muted(); }));
  EXPECT_EQ(2, m.WebuTab().Selected());
  EXPECT_TRUE(speakerShown()) << "a muted tab keeps its mark";
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return !Page(m, 0)->Muted(); }));

  // The tab's menu: mute, unmute, refresh, close.
  FromTabMenu(m, 0, "静音");
  EXPECT_TRUE(Page(m, 0)->Muted());
  FromTabMenu(m, 0, "取消静音");
  EXPECT_FALSE(Page(m, 0)->Muted());
  std::size_t loads = 0;
  for (const auto& r : server.Requests()) loads += r.path == "/sound";
  FromTabMenu(m, 0, "刷新");
  EXPECT_TRUE(WaitFor(
      [&] {
        std::size_t n = 0;
        for (const auto& r : server.Requests()) n += r.path == "/sound";
        return n == loads + 1;
      },
      10000))
      << "the tab's page is loaded again";
  EXPECT_EQ(2, m.WebuTab().Selected());
  FromTabMenu(m, 1, "关闭");
  EXPECT_EQ(2, m.WebuTab().TabItems().Count());
  EXPECT_EQ(1, m.WebuTab().TabItems().FindItem(Variant("Game" + server.Url("/live?3"))));
  // A right click on the strip beside the tabs opens no menu.
  RECT strip;
  GetWindowRect(m.WebuTab().hWnd(), &strip);
  Xdotool("mousemove " + std::to_string(strip.right - 30) + " " + std::to_string(strip.top + 12) +
          " click 3");
  Settle(300);
  EXPECT_FALSE(IsPopupMenuOpen());
}

}  // namespace
