// The client's message boxes on a real desktop with a window manager: each is a dialog of the
// client's window when one is on the screen (kept above it, centred on it, with its icon) and
// centred on the screen otherwise (with the program's icon); the window manager offers neither
// minimise nor maximise; the first button is the default for Enter, Escape answers as closing
// does; the text stands centred beside the icon. DESKTOP_TEST_SHOTS=DIR keeps a picture of each.

#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "WindowTestSupport.h"
// After the test framework: the X headers define names it uses.
#include <gdk/gdkx.h>
#include "common/SharedRoutines.h"
#include "platform/desktop/MessageBox.h"
#include "platform/gdi/Icon.h"
#include "platform/window/detail/WindowGtk.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

GtkWindow* OpenDialog() {
  GtkWindow* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l != nullptr; l = l->next) {
    if (GTK_IS_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) {
      found = GTK_WINDOW(l->data);
    }
  }
  g_list_free(all);
  return found;
}

// The centre of a widget on the screen.
POINT Centre(GtkWidget* w) {
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
  GtkAllocation a;
  gtk_widget_get_allocation(w, &a);
  if (!gtk_widget_get_has_window(w)) {
    x += a.x;
    y += a.y;
  }
  return {x + a.width / 2, y + a.height / 2};
}

// The dialog's image and label (the first of each kind inside it).
void Find(GtkWidget* w, GtkWidget** image, GtkWidget** label) {
  if (GTK_IS_IMAGE(w) && *image == nullptr) *image = w;
  if (GTK_IS_LABEL(w) && *label == nullptr &&
      gtk_widget_get_ancestor(w, GTK_TYPE_BUTTON) == nullptr)
    *label = w;
  if (GTK_IS_CONTAINER(w)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* c = children; c != nullptr; c = c->next) Find(GTK_WIDGET(c->data), image, label);
    g_list_free(children);
  }
}

struct Row {
  const char* shot;
  std::string text;
  const char* title;
  unsigned type;
  bool ownerGiven;  // passed to the call; otherwise the box finds the window
  bool ownerShown;  // the client's window is on the screen
  const char* key;
  int expected;
};

// What the running box showed.
struct Seen {
  bool ran = false;
  bool transient = false;
  bool centredOnOwner = false;
  bool centredOnScreen = false;
  std::string frame;
  std::string buttons;
  int icons = 0;
  int textBesideIcon = 999;  // vertical distance of the centres, pixels
  bool addressOnOneLine = true;  // a web address in the text stands on one line
  std::string keyResult;
};

TEST(MessageBoxes, AreDialogsOfTheClientsWindowAnsweredByEnterAndEscape) {
  Recorder rec;
  const HWND owner = TopLevel(rec, 300, 200, 900, 600, 0x00E0E0E0, "message box owner");
  ASSERT_TRUE(ShowAndWait(rec, owner));
  const std::string iconFile = GetTempDir() + "box-test.ico";
  SaveResToFile(101, "ICON", iconFile);
  const HICON small = LoadIconFromFile(iconFile, 16);
  const HICON big = LoadIconFromFile(iconFile, 32);
  SendMessage(owner, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(small));
  SendMessage(owner, WM_SETICON, ICON_BIG, static_cast<LPARAM>(big));
  const char* shots = std::getenv("DESKTOP_TEST_SHOTS");

  const Row rows[] = {
      {"box-cache-cleared", "缓存已清理完毕！", "缓存清理", MB_OK | MB_ICONINFORMATION, true, true,
       "Return", IDOK},
      {"box-up-to-date", "当前版本已是最新，无需更新！", "提示", MB_OK | MB_ICONINFORMATION, true,
       true, "Escape", IDOK},
      {"box-update-question", "发现有新版本，是否现在更新！", "提示", MB_YESNO | MB_ICONQUESTION,
       false, true, "Return", IDYES},
      {"box-update-question-escape", "发现有新版本，是否现在更新！", "提示",
       MB_YESNO | MB_ICONQUESTION, true, true, "Escape", IDNO},
      {"box-connection-notice", "未能连接到服务器，请检查网络连接是否正常！", "提示",
       MB_OK | MB_ICONEXCLAMATION, false, false, "Return", IDOK},
      {"box-no-browser", "未能打开默认浏览器，请手动访问：http://127.0.0.1:40831/games/talmar2/",
       "提示", MB_OK | MB_ICONEXCLAMATION, true, false, "Escape", IDOK},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.shot);
    ShowWindow(owner, r.ownerShown ? SW_SHOW : SW_HIDE);
    Settle(300);
    static Seen seen;
    static const Row* row = nullptr;
    static HWND ownerWindow = 0;
    static const char* shotDir = nullptr;
    seen = Seen{};
    row = &r;
    ownerWindow = owner;
    shotDir = shots;
    g_timeout_add(
        100,
        [](gpointer) -> gboolean {
          GtkWindow* box = OpenDialog();
          if (box == nullptr) return G_SOURCE_CONTINUE;
          Settle(400);  // placed and painted
          seen.ran = true;
          GtkWindow* parent = detail::GtkTopLevel(ownerWindow);
          seen.transient = gtk_window_get_transient_for(box) == parent;
          const POINT c = Centre(GTK_WIDGET(box));
          RECT o;
          GetWindowRect(ownerWindow, &o);
          seen.centredOnOwner = std::abs(c.x - (o.left + o.right) / 2) <= 2 &&
                                std::abs(c.y - (o.top + o.bottom) / 2) <= 30;
          seen.centredOnScreen = std::abs(c.x - GetSystemMetrics(SM_CXSCREEN) / 2) <= 2 &&
                                 std::abs(c.y - GetSystemMetrics(SM_CYSCREEN) / 2) <= 30;
          const auto xid = gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(box)));
          // The window manager draws no frame (so none of its buttons), and the box's own title
          // bar has only the close button.
          seen.frame = Output("xprop -id " + std::to_string(xid) + " _NET_FRAME_EXTENTS");
          GtkWidget* bar = gtk_window_get_titlebar(box);
          seen.buttons = bar != nullptr && GTK_IS_HEADER_BAR(bar)
                             ? gtk_header_bar_get_decoration_layout(GTK_HEADER_BAR(bar))
                             : "(the window manager's)";
          GList* icons = gtk_window_get_icon_list(box);
          seen.icons = static_cast<int>(g_list_length(icons));
          g_list_free(icons);
          GtkWidget* image = nullptr;
          GtkWidget* label = nullptr;
          Find(GTK_WIDGET(box), &image, &label);
          if (image != nullptr && label != nullptr) {
            seen.textBesideIcon = std::abs(Centre(image).y - Centre(label).y);
            const std::string text = gtk_label_get_text(GTK_LABEL(label));
            if (const auto at = text.find("http"); at != std::string::npos) {
              PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
              int first = 0, last = 0, x = 0;
              pango_layout_index_to_line_x(layout, static_cast<int>(at), FALSE, &first, &x);
              pango_layout_index_to_line_x(layout, static_cast<int>(text.size()), FALSE, &last, &x);
              seen.addressOnOneLine = first == last;
            }
          }
          if (shotDir != nullptr) {
            Shell(std::string("mkdir -p '") + shotDir + "' && import -window root '" + shotDir +
                  "/" + row->shot + ".png'");
          }
          Xdotool("windowactivate --sync " + std::to_string(xid) + " key --clearmodifiers " +
                  row->key);
          return G_SOURCE_REMOVE;
        },
        nullptr);
    const int answer = r.ownerGiven ? MessageBox(owner, r.text, r.title, r.type)
                                    : MessageBox(r.text, r.title, r.type);
    ASSERT_TRUE(seen.ran);
    EXPECT_EQ(r.expected, answer) << r.key;
    if (r.ownerShown) {
      EXPECT_TRUE(seen.transient);
      EXPECT_TRUE(seen.centredOnOwner);
    } else {
      EXPECT_FALSE(seen.transient);
      EXPECT_TRUE(seen.centredOnScreen);
    }
    EXPECT_NE(std::string::npos, seen.frame.find("= 0, 0, 0, 0")) << seen.frame;
    EXPECT_EQ(":close", seen.buttons);
    EXPECT_GT(seen.icons, 0) << "the client's icon";
    EXPECT_LE(seen.textBesideIcon, 1) << "the text is centred beside the icon";
    EXPECT_TRUE(seen.addressOnOneLine);
    EXPECT_EQ(nullptr, OpenDialog());
  }
  DestroyWindow(owner);
  DestroyIcon(small);
  DestroyIcon(big);
}

}  // namespace
