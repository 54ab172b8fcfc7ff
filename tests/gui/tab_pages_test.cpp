// Game pages in the main window's tabs as a player meets them: a page whose tab is not selected
// draws nothing (its animation frames stop) while its timers go on, and it shows its current
// picture at once when its tab is selected again with the real pointer.

#include <gtest/gtest.h>

#include <glib.h>

#include <chrono>
#include <string>

#include "LoopbackServer.h"
#include "WebTestSupport.h"
#include "WebViewGtk.h"
#include "WindowTestSupport.h"
#include "mainwin/WebMainFrm.h"
#include "mainwin/WebUrl.h"
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
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    if (FormSlot<WebMainFrm>::IsLoaded()) {
      FormSlot<WebMainFrm>::Get().m_bExit = true;
      FormSlot<WebMainFrm>::Unload();
    }
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

}  // namespace
