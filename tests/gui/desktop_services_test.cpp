// The desktop services end to end on a plain test window: the tray icon with a real XEmbed tray
// (trayer) and with a StatusNotifierWatcher of our own driven by gdbus, the F10 hot key with
// real key presses while another program has the focus, and the execute service with gdbus and
// the client's --open switch.

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "DesktopImpl.h"
#include "DesktopTestSupport.h"
#include "common/SharedRoutines.h"
#include "mainwin/COrvNotifyIcon.h"
#include "mainwin/DdeLink.h"
#include "mainwin/MainHook.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/desktop/SessionService.h"
#include "platform/desktop/Tray.h"

using namespace wintest;

namespace {

::testing::Environment* const kToolkit =
    ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

constexpr UINT kCmdRefresh = 101, kCmdToggle = 102, kCmdOff = 103;

std::vector<MenuItem> TestMenu() {
  return {{kCmdRefresh, "&Refresh"},
          {0, "", true},
          {kCmdToggle, "Hide/Show"},
          {kCmdOff, "Not now", false, false}};
}

HICON TestIcon(int size) {
  const std::string path = GetTempDir() + "test.ico";
  SaveResToFile(101, "ICON", path);
  return LoadIconFromFile(path, size);
}

int Count(const Recorder& rec, HWND h, UINT msg) {
  return static_cast<int>(std::count_if(rec.all.begin(), rec.all.end(),
                                        [&](const Msg& m) { return m.hwnd == h && m.msg == msg; }));
}

bool SawCommand(const Recorder& rec, HWND h, UINT id) {
  return std::any_of(rec.all.begin(), rec.all.end(), [&](const Msg& m) {
    return m.hwnd == h && m.msg == WM_COMMAND && LOWORD(m.wParam) == static_cast<int>(id);
  });
}

bool NameHasOwner(const std::string& name) {
  const CommandResult r = RunWhilePumping(
      "gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus "
      "--method org.freedesktop.DBus.NameHasOwner " +
      name);
  return r.output.find("true") != std::string::npos;
}

// The screen centre of a menu item of the open pop-up menu.
bool MenuItemCentre(int index, POINT* pt) {
  GtkWidget* menu = platform::detail::CurrentPopupMenu();
  if (menu == nullptr) return false;
  GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
  GtkWidget* item = static_cast<GtkWidget*>(g_list_nth_data(items, index));
  g_list_free(items);
  if (item == nullptr || gtk_widget_get_window(item) == nullptr) return false;
  GtkAllocation a;
  gtk_widget_get_allocation(item, &a);
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(item), &x, &y);
  pt->x = x + a.x + a.width / 2;
  pt->y = y + a.y + a.height / 2;
  return a.height > 1;
}

// The mapped windows of the panel program, where the X server has them.
std::vector<RECT> PanelWindows() {
  std::istringstream lines(
      Output("for w in $(xdotool search --onlyvisible --class xfce4-panel); do "
             "xdotool getwindowgeometry --shell $w | tr '\\n' ' '; echo; done 2>/dev/null"));
  std::vector<RECT> out;
  for (std::string line; std::getline(lines, line);) {
    int x, y, w, h;
    const auto at = line.find("X=");
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at, "X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &w, &h) == 4) {
      out.push_back(RECT{x, y, x + w, y + h});
    }
  }
  return out;
}

struct HookedWindow {
  Recorder rec;
  HWND w = 0;
  explicit HookedWindow(const std::string& title) {
    w = TopLevel(rec, 80, 300, 320, 200, 0x0000A0FF, title);
    EXPECT_TRUE(ShowAndWait(rec, w));
    SetWindowMenu(w, TestMenu());
    StartMainHook(w);
  }
  ~HookedWindow() {
    StopMainHook(w);
    DestroyWindow(w);
  }
};

}  // namespace

TEST(DesktopServices, TrayIconInAnXEmbedTrayTogglesTheWindowAndOpensItsMenu) {
  ASSERT_FALSE(NameHasOwner("org.kde.StatusNotifierWatcher"));
  Background trayer({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                     "--height", "24", "--transparent", "false"});
  HookedWindow t("tray xembed test");
  COrvNotifyIcon icon;
  ASSERT_TRUE(icon.AddNotifyIcon(t.w, TestIcon(16), "ZorvikTalmar2客户端"));
  EXPECT_EQ(TrayPath::XEmbed, GetTrayIconPath(t.w, COrvNotifyIcon::kIconId));
  RECT r;
  ASSERT_TRUE(WaitFor([&] { return GetTrayIconRect(t.w, COrvNotifyIcon::kIconId, &r); }, 10000))
      << "the icon never got a place in the tray";
  const std::string at =
      std::to_string(r.left + r.Width() / 2) + " " + std::to_string(r.top + r.Height() / 2);

  // A left click toggles on the release, once per click.
  Xdotool("mousemove " + at + " click 1");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(t.w); }));
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(t.w); }));
  EXPECT_EQ(2, Count(t.rec, t.w, WM_TRAYNOTIFY));

  // A right click opens the window's menu at the pointer and leaves the window as it is.
  Xdotool("click 3");
  ASSERT_TRUE(WaitFor([] { return IsPopupMenuOpen(); }));
  EXPECT_TRUE(IsWindowVisible(t.w));
  POINT item;
  ASSERT_TRUE(WaitFor([&] { return MenuItemCentre(2, &item); }));
  EXPECT_LT(std::abs(item.x - (r.left + r.right) / 2), 250);
  EXPECT_LT(std::abs(item.y - (r.top + r.bottom) / 2), 150);
  Xdotool("mousemove " + std::to_string(item.x) + " " + std::to_string(item.y));
  Settle(150);
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return SawCommand(t.rec, t.w, kCmdToggle); }));
  EXPECT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));

  EXPECT_TRUE(icon.DeleteNotifyIcon());
  EXPECT_EQ(TrayPath::None, GetTrayIconPath(t.w, COrvNotifyIcon::kIconId));
}

TEST(DesktopServices, StatusNotifierItemAnswersHostsAndFollowsTheWatcher) {
  HookedWindow t("tray sni test");
  auto watcher =
      std::make_unique<Background>(std::vector<std::string>{TRAY_WATCHER, "--notifications"});
  ASSERT_TRUE(watcher->WaitForLine("ready"));

  // 50 three-byte characters: the tip is cut to 42 of them (126 bytes), not inside one.
  std::string tip;
  for (int i = 0; i < 50; ++i) tip += "客";
  auto icon = std::make_unique<COrvNotifyIcon>();
  ASSERT_TRUE(icon->AddNotifyIcon(t.w, 0, tip));
  // The icon may come before the news that the watcher is there: it moves over when it comes.
  ASSERT_TRUE(WaitFor(
      [&] { return GetTrayIconPath(t.w, COrvNotifyIcon::kIconId) == TrayPath::StatusNotifier; }));
  const std::string bus = GetTrayIconBusName(t.w, COrvNotifyIcon::kIconId);
  EXPECT_EQ(0u, bus.find("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-"));
  EXPECT_TRUE(watcher->WaitForLine(" " + bus + "\n"));

  const std::string item =
      "gdbus call --session --dest " + bus + " --object-path /StatusNotifierItem ";
  auto method = [&](const std::string& m) {
    return RunWhilePumping(item + "--method org.kde.StatusNotifierItem." + m);
  };
  auto property = [&](const std::string& p) {
    return RunWhilePumping(
               item + "--method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem " +
               p)
        .output;
  };

  EXPECT_EQ(0, method("Activate 10 10").status);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(t.w); }));
  method("Activate 10 10");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(t.w); }));

  std::string cut;
  for (int i = 0; i < 42; ++i) cut += "客";
  const std::string toolTip = property("ToolTip");
  EXPECT_NE(std::string::npos, toolTip.find("'" + cut + "'")) << toolTip;
  EXPECT_NE(std::string::npos, property("IconPixmap").find("@a(iiay) []"));  // icon without image
  EXPECT_NE(std::string::npos, property("ItemIsMenu").find("false"));
  const std::string menuProp = property("Menu");
  const auto q = menuProp.find("'/");
  ASSERT_NE(std::string::npos, q) << menuProp;
  const std::string menuPath = menuProp.substr(q + 1, menuProp.find('\'', q + 1) - q - 1);

  // The host's context menu request opens the window's menu; the window stays as it is.
  Xdotool("mousemove 700 600");
  method("ContextMenu 10 10");
  EXPECT_TRUE(WaitFor([] { return IsPopupMenuOpen(); }));
  EXPECT_TRUE(IsWindowVisible(t.w));
  POINT first;
  ASSERT_TRUE(WaitFor([&] { return MenuItemCentre(0, &first); }));
  EXPECT_TRUE(first.x > 700 && first.x < 900 && first.y > 600 && first.y < 640)
      << first.x << "," << first.y;  // opened at the pointer, to its lower right
  Xdotool("key Escape");
  EXPECT_TRUE(WaitFor([] { return !IsPopupMenuOpen(); }));

  // Hosts that show the menu themselves run the same commands.
  const CommandResult layout =
      RunWhilePumping("gdbus call --session --dest " + bus + " --object-path " + menuPath +
                      " --method com.canonical.dbusmenu.GetLayout 0 'int32 -1' '@as []'");
  EXPECT_NE(std::string::npos, layout.output.find("'_Refresh'")) << layout.output;
  EXPECT_NE(std::string::npos, layout.output.find("'separator'"));
  RunWhilePumping("gdbus call --session --dest " + bus + " --object-path " + menuPath +
                  " --method com.canonical.dbusmenu.Event " + std::to_string(kCmdToggle) +
                  " clicked '<0>' 0");
  EXPECT_TRUE(WaitFor([&] { return SawCommand(t.rec, t.w, kCmdToggle); }));

  // A host calling Activate many times a second: every call is one click, none is lost, and
  // the window answers all along.
  const int before = Count(t.rec, t.w, WM_TRAYNOTIFY);
  const CommandResult flood =
      RunWhilePumping("for i in $(seq 20); do " + item +
                      "--method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null & done; wait");
  EXPECT_TRUE(WaitFor([&] { return Count(t.rec, t.w, WM_TRAYNOTIFY) == before + 20; }));
  EXPECT_TRUE(IsWindowVisible(t.w));

  // A modify keeps the window's clicks.
  const HICON image = TestIcon(16);
  EXPECT_TRUE(icon->ModifyNotifyIcon(t.w, image, "new tip"));
  EXPECT_NE(std::string::npos, property("ToolTip").find("'new tip'"));
  // The image at 16, 22 and 32 pixels, each pixel as A, R, G, B bytes.
  const std::string pixmaps = property("IconPixmap");
  const auto at16 = pixmaps.find("(16, 16, [byte ");
  ASSERT_NE(std::string::npos, at16) << pixmaps.substr(0, 200);
  std::vector<unsigned> bytes;
  for (std::size_t i = at16 + 15; bytes.size() < 16 * 16 * 4; i = pixmaps.find("0x", i + 1)) {
    ASSERT_NE(std::string::npos, i);
    bytes.push_back(static_cast<unsigned>(std::stoul(pixmaps.substr(i, 4), nullptr, 16)));
  }
  for (int x : {0, 5, 8, 15}) {
    const std::uint32_t px = IconPixel(image, x, 8);
    const unsigned* b = &bytes[(8 * 16 + x) * 4];
    EXPECT_EQ(px, b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]) << "pixel " << x << ",8";
  }
  EXPECT_NE(std::string::npos, pixmaps.find("(22, 22, ["));
  EXPECT_NE(std::string::npos, pixmaps.find("(32, 32, ["));
  method("Activate 0 0");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(t.w); }));
  ShowWindow(t.w, SW_SHOW);

  // Balloons are desktop notifications; hiding one closes it and keeps the icon.
  EXPECT_TRUE(icon->ShowBubble("Title", "Some text", NIIF_INFO));
  EXPECT_TRUE(watcher->WaitForLine("notify 1 Title|Some text"));
  // The record still holds the balloon: a later modify does not pop it up again.
  EXPECT_TRUE(icon->ModifyNotifyIcon(t.w, image, "new tip"));
  Settle(300);
  EXPECT_EQ(std::string::npos,
            watcher->Output().find("notify", watcher->Output().find("notify 1") + 1));
  EXPECT_TRUE(icon->HideBubble());
  EXPECT_TRUE(watcher->WaitForLine("close 1"));
  EXPECT_EQ(TrayPath::StatusNotifier, GetTrayIconPath(t.w, COrvNotifyIcon::kIconId));

  // The watcher leaves while the icon is shown: the icon moves to XEmbed, and back when a
  // watcher comes again.
  watcher->Stop();
  EXPECT_TRUE(
      WaitFor([&] { return GetTrayIconPath(t.w, COrvNotifyIcon::kIconId) == TrayPath::XEmbed; }));
  watcher = std::make_unique<Background>(std::vector<std::string>{TRAY_WATCHER});
  ASSERT_TRUE(watcher->WaitForLine("ready"));
  EXPECT_TRUE(WaitFor(
      [&] { return GetTrayIconPath(t.w, COrvNotifyIcon::kIconId) == TrayPath::StatusNotifier; }));
  EXPECT_TRUE(watcher->WaitForLine("registered"));

  // Releasing the object removes the icon and gives its name back.
  const std::string lastBus = GetTrayIconBusName(t.w, COrvNotifyIcon::kIconId);
  icon.reset();
  EXPECT_EQ(TrayPath::None, GetTrayIconPath(t.w, COrvNotifyIcon::kIconId));
  EXPECT_TRUE(WaitFor([&] { return !NameHasOwner(lastBus); }, 5000));
}

// The panel of a real desktop (xfce4-panel 4.18 with its status tray plugin) as the host.
TEST(DesktopServices, StatusNotifierItemInARealPanel) {
  const std::string config = std::string(std::getenv("TEST_ROOT")) + "/config";
  const std::string query = "XDG_CONFIG_HOME=" + config + " xfconf-query -c xfce4-panel -n ";
  for (const std::string& setting :
       {std::string("-p /panels -a -t int -s 1"),
        std::string("-p /panels/panel-1/plugin-ids -a -t int -s 1"),
        std::string("-p /panels/panel-1/position -t string -s 'p=8;x=800;y=985'"),
        std::string("-p /panels/panel-1/length -t uint -s 10"),
        std::string("-p /panels/panel-1/size -t uint -s 30"),
        std::string("-p /plugins/plugin-1 -t string -s systray")}) {
    ASSERT_EQ(0, RunWhilePumping(query + setting).status) << setting;
  }
  Background panel({"env", "XDG_CONFIG_HOME=" + config, "xfce4-panel", "--disable-wm-check"});
  ASSERT_TRUE(WaitFor([] { return NameHasOwner("org.kde.StatusNotifierWatcher"); }, 15000));

  // Where the panel is, and how it looks before the icon comes.
  RECT area;
  ASSERT_TRUE(WaitFor(
      [&] {
        // The largest of the panel's windows (the others are its leader and helpers).
        area = RECT{};
        for (const RECT& r : PanelWindows()) {
          if (r.Width() * r.Height() > area.Width() * area.Height()) area = r;
        }
        return area.Width() > 10 && area.Height() > 10;
      },
      10000));
  Settle(500);
  const Image before = Screenshot(area.left, area.top, area.Width(), area.Height());
  ASSERT_FALSE(before.IsNull());

  // The panel shows the item's menu on a right click only once it has read the menu (before
  // that it shows its own): count its requests for the menu's layout.
  static std::atomic<int> layoutRequests{0};
  const guint filter = g_dbus_connection_add_filter(
      platform::detail::SessionBus(),
      [](GDBusConnection*, GDBusMessage* m, gboolean incoming, gpointer) -> GDBusMessage* {
        if (incoming && g_strcmp0(g_dbus_message_get_member(m), "GetLayout") == 0) ++layoutRequests;
        return m;
      },
      nullptr, nullptr);

  HookedWindow t("tray panel test");
  COrvNotifyIcon icon;
  ASSERT_TRUE(icon.AddNotifyIcon(t.w, TestIcon(16), "ZorvikTalmar2客户端"));
  ASSERT_TRUE(WaitFor(
      [&] { return GetTrayIconPath(t.w, COrvNotifyIcon::kIconId) == TrayPath::StatusNotifier; }));

  // The panel shows our pixels once it has read the item: the centre of what changed.
  POINT at{-1, -1};
  ASSERT_TRUE(WaitForScreen(
      area.left, area.top, area.Width(), area.Height(),
      [&](const Image& shot) {
        long sx = 0, sy = 0, n = 0;
        for (int y = 0; y < area.Height(); ++y) {
          for (int x = 0; x < area.Width(); ++x) {
            if (!Near(shot.PixelAt(x, y), before.PixelAt(x, y) & 0xFFFFFF, 24)) {
              sx += x;
              sy += y;
              ++n;
            }
          }
        }
        if (n < 20) return false;
        at = POINT{area.left + static_cast<int>(sx / n), area.top + static_cast<int>(sy / n)};
        return true;
      },
      10000))
      << "the panel never showed the icon";

  Xdotool("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 1");
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(t.w); }));
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(t.w); }));

  // A right click: the panel shows the exported menu itself; its first item runs our command.
  ASSERT_TRUE(WaitFor([] { return layoutRequests > 0; }, 10000)) << "the panel never read the menu";
  Settle(500);
  g_dbus_connection_remove_filter(platform::detail::SessionBus(), filter);

  // The menu is the panel's own window: found on the screen as what changed near the icon.
  const RECT near{std::max(0, at.x - 300), std::max(0, at.y - 300), at.x + 300, at.y + 300};
  const Image quiet = Screenshot(near.left, near.top, near.Width(), near.Height());
  Xdotool("click 3");
  RECT menu;
  ASSERT_TRUE(WaitForScreen(
      near.left, near.top, near.Width(), near.Height(),
      [&](const Image& shot) {
        RECT box{near.Width(), near.Height(), 0, 0};
        for (int y = 0; y < near.Height(); ++y) {
          for (int x = 0; x < near.Width(); ++x) {
            if (Near(shot.PixelAt(x, y), quiet.PixelAt(x, y) & 0xFFFFFF, 24)) continue;
            box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
          }
        }
        menu = RECT{near.left + box.left, near.top + box.top, near.left + box.right,
                    near.top + box.bottom};
        return box.Height() > 40 && box.Width() > 40;
      },
      10000))
      << "the panel showed no menu";
  Settle(200);
  if (const char* shots = std::getenv("DESKTOP_TEST_SHOTS"))
    Shell(std::string("import -window root ") + shots);
  Xdotool("mousemove " + std::to_string(menu.left + menu.Width() / 2) + " " +
          std::to_string(menu.top + 16));
  Settle(150);
  Xdotool("click 1");
  EXPECT_TRUE(WaitFor([&] { return SawCommand(t.rec, t.w, kCmdRefresh); }));
  EXPECT_TRUE(IsWindowVisible(t.w));
}

TEST(DesktopServices, F10TogglesTheWindowFromAnotherProgramsFocus) {
  HookedWindow t("hot key test");
  ASSERT_TRUE(MainHotKeyRegistered());
  Background other({X_HELPER, "window", "other program"});
  ASSERT_TRUE(other.WaitForLine("mapped"));
  Xdotool("search --sync --name '^other program$' windowactivate --sync");

  struct Step {
    std::string keys;
    bool toggles;
  };
  const Step steps[] = {
      {"F10", true},
      {"F10", true},
      {"Caps_Lock F10 Caps_Lock", true},
      {"Num_Lock F10 Num_Lock", true},
      {"Caps_Lock Num_Lock F10 Num_Lock Caps_Lock", true},
      {"shift+F10", false},
      {"ctrl+F10", false},
  };
  for (const Step& s : steps) {
    const bool wasVisible = IsWindowVisible(t.w);
    Xdotool("key " + s.keys);
    if (s.toggles) {
      EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(t.w) != wasVisible; })) << s.keys;
    } else {
      Settle(400);
      EXPECT_EQ(wasVisible, IsWindowVisible(t.w)) << s.keys;
    }
  }
  EXPECT_EQ(5, Count(t.rec, t.w, WM_HOTKEY));

  // Once the hook is stopped, F10 belongs to the focused program again.
  StopMainHook(t.w);
  const bool visible = IsWindowVisible(t.w);
  Xdotool("key F10");
  Settle(400);
  EXPECT_EQ(visible, IsWindowVisible(t.w));
}

TEST(DesktopServices, F10HeldByAnotherProgramLeavesTheTrayWorkingAndGrabsNothing) {
  Background grabber({X_HELPER, "grab-f10"});
  ASSERT_TRUE(grabber.WaitForLine("grabbed"));
  HookedWindow t("hot key taken test");
  EXPECT_FALSE(MainHotKeyRegistered());

  SendMessage(t.w, WM_TRAYNOTIFY, COrvNotifyIcon::kIconId, WM_LBUTTONUP);
  EXPECT_FALSE(IsWindowVisible(t.w));
  SendMessage(t.w, WM_TRAYNOTIFY, COrvNotifyIcon::kIconId, WM_LBUTTONUP);
  EXPECT_TRUE(IsWindowVisible(t.w));

  // The lock-key variants that did succeed were given back: with the other program gone,
  // F10 with CapsLock on reaches nobody of ours.
  grabber.Stop();
  Xdotool("key Caps_Lock F10 Caps_Lock");
  Settle(400);
  EXPECT_TRUE(IsWindowVisible(t.w));
  EXPECT_EQ(0, Count(t.rec, t.w, WM_HOTKEY));
}

// On a Wayland session with the global-shortcuts portal, F10 is bound through the portal: no X
// grab is taken, and the portal's Activated toggles the window. When the portal binds nothing
// (it answers 0 but leaves the shortcut out of its list, as KDE's does), the X grab takes over.
// `portal` prints what it was asked to bind and answers SIGUSR1 with Activated, SIGUSR2 by
// binding nothing from then on.
namespace {
void F10ThroughThePortal(Background& portal) {
  ::setenv("XDG_SESSION_TYPE", "wayland", 1);
  {
    HookedWindow t("portal hot key test");
    ASSERT_TRUE(MainHotKeyRegistered());
    ASSERT_TRUE(portal.WaitForLine("bind hotkey-"));
    EXPECT_NE(portal.Output().find(" F10\n"), std::string::npos) << portal.Output();
    Background grabber({X_HELPER, "grab-f10"});
    EXPECT_TRUE(grabber.WaitForLine("grabbed")) << "the client holds an X grab of F10";
    grabber.Stop();
    for (bool visible : {false, true}) {
      portal.Signal(SIGUSR1);
      EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(t.w) == visible; }));
    }
    EXPECT_EQ(2, Count(t.rec, t.w, WM_HOTKEY));
  }
  portal.Signal(SIGUSR2);  // binds nothing from now on
  Settle(200);
  HookedWindow t("portal refused test");
  const auto bindsSoFar = [&] { return portal.Output().rfind("bind hotkey-"); };
  const std::size_t firstBind = bindsSoFar();
  ASSERT_TRUE(WaitFor([&] { return bindsSoFar() != firstBind; })) << "the new window binds again";
  EXPECT_TRUE(WaitFor([&] {
    Xdotool("key F10");
    Settle(200);
    return Count(t.rec, t.w, WM_HOTKEY) > 0;
  }));
  ::unsetenv("XDG_SESSION_TYPE");
}
}  // namespace

// The portal as a minimal stand-in of ours on the session bus.
TEST(DesktopServices, F10OnWaylandGoesThroughTheShortcutsPortal) {
  Background portal({SHORTCUTS_PORTAL});
  ASSERT_TRUE(portal.WaitForLine("ready"));
  F10ThroughThePortal(portal);
}

// The portal as a desktop offers it: Debian's front end (xdg-desktop-portal) on the session bus,
// with a back end of ours behind it in the place of the desktop's (KDE's or GNOME's need their
// running desktop).
TEST(DesktopServices, F10OnWaylandGoesThroughTheDesktopsPortalFrontEnd) {
  const std::string frontEnd = "/usr/libexec/xdg-desktop-portal";
  if (::access(frontEnd.c_str(), X_OK) != 0) {
    GTEST_SKIP() << frontEnd << " is missing (tools/install-deps.sh installs it)";
  }
  Background backend({SHORTCUTS_PORTAL, "--backend"});
  ASSERT_TRUE(backend.WaitForLine("ready"));
  const std::string dir = GetTempDir() + "portals";
  ::mkdir(dir.c_str(), 0700);
  std::ofstream(dir + "/talmartest.portal")
      << "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.talmartest\n"
         "Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;\nUseIn=talmartest\n";
  ::setenv("XDG_DESKTOP_PORTAL_DIR", dir.c_str(), 1);
  ::setenv("XDG_CURRENT_DESKTOP", "talmartest", 1);
  Background front({frontEnd, "--replace"});
  ::unsetenv("XDG_DESKTOP_PORTAL_DIR");
  ::unsetenv("XDG_CURRENT_DESKTOP");
  // Ready once the front end answers for the shortcuts' interface.
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(nullptr, bus);
  ASSERT_TRUE(WaitFor(
      [&] {
        GVariant* v = g_dbus_connection_call_sync(
            bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
            "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", "org.freedesktop.portal.GlobalShortcuts", "version"), nullptr,
            G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, nullptr);
        if (v != nullptr) g_variant_unref(v);
        return v != nullptr;
      },
      15000));
  g_object_unref(bus);
  F10ThroughThePortal(backend);
  EXPECT_NE(backend.Output().find("session /org/freedesktop/portal/desktop/session/"),
            std::string::npos)
      << backend.Output();
}

TEST(DesktopServices, ExecuteServiceAndTheOpenSwitch) {
  Recorder rec;
  std::vector<std::string> texts;
  rec.hook = [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT& r) {
    if (m != WM_DDE_EXECUTE) return false;
    const std::string& text = *reinterpret_cast<const std::string*>(l);
    texts.push_back(text);
    if (text.find("refuse") != std::string::npos) {
      SetDdeRefusal("not wanted here");
      r = 0;
    } else {
      r = 1;
    }
    return true;
  };
  const HWND w = TopLevel(rec, 80, 300, 200, 100, 0x00FFFFFF, "execute test");
  const std::string name = std::string(kDdeService) + "." + kDdeTopic;

  // Another process owns the name: the window cannot offer it.
  GDBusConnection* other = g_dbus_connection_new_for_address_sync(
      g_getenv("DBUS_SESSION_BUS_ADDRESS"),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, other);
  GVariant* owned = g_dbus_connection_call_sync(
      other, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", name.c_str(), 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
      nullptr);
  ASSERT_NE(nullptr, owned);
  g_variant_unref(owned);
  EXPECT_FALSE(StartDdeLink(w));
  GVariant* released = g_dbus_connection_call_sync(
      other, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
      g_variant_new("(s)", name.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  ASSERT_NE(nullptr, released);
  g_variant_unref(released);
  ASSERT_TRUE(StartDdeLink(w));
  // Now the other one cannot take it over, not even asking to replace the owner.
  GVariant* again = g_dbus_connection_call_sync(
      other, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", name.c_str(), 2u | 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
      5000, nullptr, nullptr);
  ASSERT_NE(nullptr, again);
  guint32 answer = 0;
  g_variant_get(again, "(u)", &answer);
  g_variant_unref(again);
  EXPECT_EQ(3u, answer);  // EXISTS

  const std::string exe = CLIENT_EXE;
  struct Case {
    std::string arg;
    int status;
    std::string said;  // part of the message
  };
  const Case cases[] = {
      {"'http://127.0.0.1:8/游戏/?a=1&b=2'", 0, ""},
      {"'http://refuse.example/'", 4, "not wanted here"},
      {"'javascript:alert(1)'", 4, "not an http or https address"},
      {"$'http://x/\\xff\\xfe'", 2, "UTF-8"},
      {"\"$(head -c 70000 /dev/zero | tr '\\0' a)\"", 2, "too long"},
      {"''", 2, "empty"},
      {"", 2, "usage"},
  };
  for (const Case& c : cases) {
    const CommandResult run = RunWhilePumping(exe + " --open " + c.arg);
    EXPECT_EQ(c.status, run.status) << c.arg << ": " << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.said)) << c.arg << ": " << run.output;
  }
  ASSERT_EQ(2u, texts.size());
  EXPECT_EQ("http://127.0.0.1:8/游戏/?a=1&b=2", texts[0]);

  // The service itself refuses what the window should never see.
  const std::string call =
      "gdbus call --session --dest " + name +
      " --object-path /net/zorvik/talmar2/VelmoraDDE --method net.zorvik.talmar2.DDE.Execute ";
  const CommandResult empty = RunWhilePumping(call + "''");
  EXPECT_NE(0, empty.status);
  EXPECT_NE(std::string::npos, empty.output.find("empty")) << empty.output;
  // 1 MB from another connection (too big for a command line).
  std::string error;
  bool answered = false;
  g_dbus_connection_call(
      other, name.c_str(), "/net/zorvik/talmar2/VelmoraDDE", "net.zorvik.talmar2.DDE", "Execute",
      g_variant_new("(s)", std::string(1 << 20, 'b').c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
      20000, nullptr,
      [](GObject* src, GAsyncResult* res, gpointer data) {
        GError* e = nullptr;
        GVariant* v = g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, &e);
        auto* out = static_cast<std::pair<std::string*, bool*>*>(data);
        *out->first = e != nullptr ? e->message : "accepted";
        *out->second = true;
        if (v != nullptr) g_variant_unref(v);
        if (e != nullptr) g_error_free(e);
        delete out;
      },
      new std::pair<std::string*, bool*>(&error, &answered));
  ASSERT_TRUE(WaitFor([&] { return answered; }, 20000));
  EXPECT_NE(std::string::npos, error.find("too long")) << error;
  EXPECT_EQ(2u, texts.size());
  g_object_unref(other);

  // No one offers the topic any more.
  StopDdeLink();
  const CommandResult none = RunWhilePumping(exe + " --open http://x/");
  EXPECT_EQ(3, none.status);
  EXPECT_NE(std::string::npos, none.output.find("no running client")) << none.output;
  DestroyWindow(w);
}

TEST(DesktopServices, StoppingTheHookUnderAnotherHookLeavesThatOneIntact) {
  HookedWindow t("hook order test");
  // Another hook goes on top of the main-window hook and stays when that one is stopped.
  std::vector<UINT> seenOnTop;
  WNDPROC below = 0;
  const WNDPROC onTop = RegisterWindowProc([&](HWND h, UINT m, WPARAM w, LPARAM l) {
    seenOnTop.push_back(m);
    return CallWindowProc(below, h, m, w, l);
  });
  below = SetWindowLongPtr(t.w, GWL_WNDPROC, onTop);
  StopMainHook(t.w);
  EXPECT_EQ(onTop, GetWindowLongPtr(t.w, GWL_WNDPROC));

  SendMessage(t.w, WM_TRAYNOTIFY, COrvNotifyIcon::kIconId, WM_LBUTTONUP);
  EXPECT_TRUE(IsWindowVisible(t.w));  // the stopped hook no longer toggles
  EXPECT_EQ(std::vector<UINT>{WM_TRAYNOTIFY}, seenOnTop);
  EXPECT_EQ(1, Count(t.rec, t.w, WM_TRAYNOTIFY));  // and the window still gets every message

  // Started again underneath, it acts again.
  StartMainHook(t.w);
  SendMessage(t.w, WM_TRAYNOTIFY, COrvNotifyIcon::kIconId, WM_LBUTTONUP);
  EXPECT_FALSE(IsWindowVisible(t.w));
  SetWindowLongPtr(t.w, GWL_WNDPROC, below);
  UnregisterWindowProc(onTop);
}
