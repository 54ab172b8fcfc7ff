// The demo portal: a small HTTP server on 127.0.0.1 that serves what the real servers would,
// so the client can be run and tested without them.
//
//   demo-portal [--port N] [--version TEXT] [--serial N] [--manifest FILE] [--files DIR] [--rate
//   BYTES]
//               [--sign-key KEY.pem] [--refuse-login] [--auto-login] [--auto-login-after MS]
//               [--login-delay MS] [--login-trickle MS] [--manifest-delay MS] [--live DIR]
//
// --login-delay holds the login page back for MS milliseconds (the client's splash stays up
// that long: tools/screenshots.sh photographs it). --login-trickle sends it in small pieces
// spread over MS milliseconds, one every two seconds (a slow line that keeps arriving).
// --manifest-delay holds the update manifest back for MS milliseconds (a slow update server).
// --auto-login-after MS lets the login page enter the first server by itself MS milliseconds after
// it has loaded (every login screen stays up that long, to be photographed).
//
// It prints "listening on http://127.0.0.1:PORT" once it accepts connections, then
// "request: METHOD PATH" for every request. Port 0 (the default) picks a free port.
//
// Updates: "/gamehome/talmar2/files/NAME" serves the file NAME of --files DIR (at --rate bytes
// a second when given, so a download can be watched and interrupted); "update.txt.sig" is the
// manifest's signature with the key of --sign-key, by default the key this build made. Without
// --manifest the manifest announces --version, carries the game's product line, --serial
// (default 1) and an expiry a month ahead (what a client built with a key requires) and, with
// --files, lists every file of DIR with its SHA-256 and size, so accepting the update installs
// them for real.
//
// --live DIR (benchmarks) makes every game server a live game: "/games/talmar2/play/N" serves
// DIR/game.html, and "/games/talmar2/play/NAME.js" the script NAME.js of DIR.

#include <libsoup/soup.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UpdateSign.h"

namespace {

struct Portal {
  std::string version = "1.1.0";
  std::string serial = "1";
  std::string manifestFile;  // served as it is when given
  std::string filesDir;      // files of an update
  long rate = 0;             // bytes a second for those files; 0: as fast as it goes
  std::optional<updatesign::Key> key;
  bool refuseLogin = false;  // hang up on the login page (the client then sees an empty page)
  bool autoLogin = false;    // the login page enters the first server by itself (benchmarks)
  guint autoLoginAfterMs = 0;  // that late after its load
  guint loginDelayMs = 0;    // the login page is answered this late
  guint loginTrickleMs = 0;  // the login page arrives in pieces over this long
  guint manifestDelayMs = 0;  // the manifest is answered this late
  std::string liveDir;       // a live game's files (benchmarks): game.html and what it loads
};

std::optional<std::string> ReadWhole(const std::string& path) {
  gchar* contents = nullptr;
  gsize size = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &size, nullptr)) return {};
  std::string text(contents, size);
  g_free(contents);
  return text;
}

// A file of the live game's directory; nothing when the name is not a plain file name there.
std::optional<std::string> LiveFile(const Portal& portal, const std::string& name) {
  if (portal.liveDir.empty() || name.empty() || name.find('/') != std::string::npos ||
      name[0] == '.') {
    return {};
  }
  return ReadWhole(portal.liveDir + "/" + name);
}

bool PlainName(const std::string& name) {
  bool plain = !name.empty() && name[0] != '.';
  for (char c : name)
    plain =
        plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-');
  return plain;
}

// The regular files of the update, by name.
std::vector<std::string> UpdateFiles(const Portal& portal) {
  std::vector<std::string> names;
  if (portal.filesDir.empty()) return names;
  GDir* dir = g_dir_open(portal.filesDir.c_str(), 0, nullptr);
  if (dir == nullptr) return names;
  while (const gchar* name = g_dir_read_name(dir)) {
    const std::string path = portal.filesDir + "/" + name;
    if (PlainName(name) && g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR))
      names.emplace_back(name);
  }
  g_dir_close(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The manifest as served; nothing when its file cannot be read. `base` is the address the
// client used.
std::optional<std::string> Manifest(const Portal& portal, const std::string& base) {
  if (!portal.manifestFile.empty()) return ReadWhole(portal.manifestFile);
  std::string text =
      "version=" + portal.version + "\r\nproduct=talmar2\r\nserial=" + portal.serial + "\r\n";
  GDateTime* now = g_date_time_new_now_utc();
  GDateTime* expiry = g_date_time_add_days(now, 30);
  gchar* stamp = g_date_time_format(expiry, "%Y-%m-%dT%H:%M:%SZ");
  text += std::string("expires=") + stamp + "\r\n";
  g_free(stamp);
  g_date_time_unref(expiry);
  g_date_time_unref(now);
  for (const std::string& name : UpdateFiles(portal)) {
    const auto bytes = ReadWhole(portal.filesDir + "/" + name);
    if (!bytes) continue;
    text += name + "|" + base + "/gamehome/talmar2/files/" + name + "|" +
            updatesign::Sha256Hex(*bytes) + "|" + std::to_string(bytes->size()) + "\r\n";
  }
  return text;
}

// A file body sent a slice at a time from a timer, the message paused in between.
struct Trickle {
  SoupServerMessage* msg;
  std::string body;
  std::size_t sent = 0;
  std::size_t slice;
  bool finished = false;
};

// Sends `body` as the answer of `msg` in slices of `slice` bytes, one every `intervalMs`.
void StartTrickle(SoupServerMessage* msg, const char* type, std::string body, std::size_t slice,
                  guint intervalMs);

gboolean SendSlice(gpointer data) {
  auto* t = static_cast<Trickle*>(data);
  if (t->finished) {
    g_signal_handlers_disconnect_by_data(t->msg, t);
    g_object_unref(t->msg);
    delete t;
    return G_SOURCE_REMOVE;
  }
  const std::size_t n = std::min(t->slice, t->body.size() - t->sent);
  SoupMessageBody* body = soup_server_message_get_response_body(t->msg);
  soup_message_body_append(body, SOUP_MEMORY_COPY, t->body.data() + t->sent, n);
  t->sent += n;
  if (t->sent == t->body.size()) soup_message_body_complete(body);
  soup_server_message_unpause(t->msg);
  if (t->sent == t->body.size()) {
    t->finished = true;  // freed on the next tick, after libsoup has taken the last slice
  }
  return G_SOURCE_CONTINUE;
}

void ServeFile(SoupServerMessage* msg, const Portal& portal, const std::string& name) {
  // Plain names only: nothing outside the directory is ever served.
  const bool plain = PlainName(name);
  gchar* contents = nullptr;
  gsize size = 0;
  const std::string path = portal.filesDir + "/" + name;
  if (!plain || portal.filesDir.empty() ||
      !g_file_get_contents(path.c_str(), &contents, &size, nullptr)) {
    soup_server_message_set_status(msg, SOUP_STATUS_NOT_FOUND, nullptr);
    soup_server_message_set_response(msg, "text/plain", SOUP_MEMORY_COPY, "not found\n", 10);
    return;
  }
  std::string body(contents, size);
  g_free(contents);
  if (portal.rate <= 0 || body.empty()) {
    soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
    soup_server_message_set_response(msg, "application/octet-stream", SOUP_MEMORY_COPY, body.data(),
                                     body.size());
    return;
  }
  StartTrickle(msg, "application/octet-stream", std::move(body),
               std::max<std::size_t>(1, static_cast<std::size_t>(portal.rate / 20)), 50);
}

void StartTrickle(SoupServerMessage* msg, const char* type, std::string body, std::size_t slice,
                  guint intervalMs) {
  soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
  SoupMessageHeaders* headers = soup_server_message_get_response_headers(msg);
  soup_message_headers_set_content_type(headers, type, nullptr);
  soup_message_headers_set_encoding(headers, SOUP_ENCODING_CONTENT_LENGTH);
  soup_message_headers_set_content_length(headers, static_cast<goffset>(body.size()));
  auto* t = new Trickle{msg, std::move(body), 0, slice};
  g_object_ref(msg);
  g_signal_connect(msg, "finished", G_CALLBACK(+[](SoupServerMessage*, gpointer data) {
                     static_cast<Trickle*>(data)->finished = true;
                   }),
                   t);
  soup_server_message_pause(msg);
  g_timeout_add(intervalMs, SendSlice, t);
}

// Lets a paused answer go `ms` milliseconds from now.
void HoldBack(SoupServerMessage* msg, guint ms) {
  g_object_ref(msg);
  soup_server_message_pause(msg);
  g_timeout_add(
      ms,
      +[](gpointer data) -> gboolean {
        auto* held = static_cast<SoupServerMessage*>(data);
        soup_server_message_unpause(held);
        g_object_unref(held);
        return G_SOURCE_REMOVE;
      },
      msg);
}

void Send(SoupServerMessage* msg, int status, const char* type, const std::string& body) {
  soup_server_message_set_status(msg, status, nullptr);
  soup_server_message_set_response(msg, type, SOUP_MEMORY_COPY, body.data(), body.size());
}

std::string Page(const char* title, const char* body) {
  return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") + title +
         "</title></head><body>" + body + "</body></html>";
}

// The login page: the page-to-client commands as links and a form (the client sees those raw;
// a script navigation to an address with "|" would never reach it).
std::string LoginPage(const std::string& base, bool autoLogin, guint afterMs) {
  const std::string play = base + "/games/talmar2/play/";
  return std::string(R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>登录</title>
<style>
body{margin:0;font:14px "WenQuanYi Micro Hei",sans-serif;background:#eef3fb;color:#243b63}
.box{width:420px;margin:60px auto 0;padding:24px 32px;background:#fff;border:1px solid #b9c8e4;border-radius:8px}
h1{font-size:20px;margin:0 0 16px}
label{display:block;margin:10px 0 4px}
input[type=text],input[type=password]{width:100%;box-sizing:border-box;padding:6px;border:1px solid #9fb3d8;border-radius:4px}
button{margin-top:16px;width:100%;padding:8px;border:0;border-radius:4px;background:#2f6fd0;color:#fff;font-size:15px}
.servers{margin-top:14px}.servers a{margin-right:12px;color:#2f6fd0}
.foot{margin-top:14px;font-size:12px}.foot a{color:#777;margin-right:12px}
</style></head><body><div class="box"><h1>账号登录</h1>
<form id="login" method="get" action="app://loadgame|)") +
         play + R"(1">
<label for="user">账号</label><input type="text" id="user" name="user" value="demo">
<label for="pass">密码</label><input type="password" id="pass" value="demo">
<button type="submit" id="enter">登录游戏</button></form>
<div class="servers">快速进入：<a id="s1" href="app://loadgame|)" +
         play + R"(1">一区</a><a id="s2" href="app://loadgame|)" + play +
         R"(2">二区</a></div>
<div class="foot"><a id="min" href="app://minimize">最小化</a><a id="exit" href="app://exitgame">退出</a></div>
</div>)" +
         std::string(
             !autoLogin ? ""
             : afterMs == 0
                 ? R"(<script>addEventListener("load", () => document.getElementById("s1").click());</script>)"
                 : R"(<script>addEventListener("load", () => setTimeout(() => document.getElementById("s1").click(), )" +
                       std::to_string(afterMs) + "));</script>") +
         "</body></html>";
}

std::string GamePage(const std::string& base, const std::string& server) {
  std::string safe;
  for (char c : server) safe += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
  return std::string(R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>天域 )") + safe +
         R"( 区</title>
<style>body{margin:0;height:1200px;background:linear-gradient(#1b2f5a,#3d6bb3);color:#fff;
font:16px "WenQuanYi Micro Hei",sans-serif}h1{margin:0;padding:40px}a{color:#ffd66b}</style>
</head><body><h1>天域 )" +
         safe + R"( 区</h1><p style="padding:0 40px">游戏页面（演示）。
<a id="portal" target="_blank" href=")" +
         base + R"(/games/talmar2/">游戏官网</a></p></body></html>)";
}

void Handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer data) {
  const auto* portal = static_cast<const Portal*>(data);
  const char* method = soup_server_message_get_method(msg);
  if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "HEAD") != 0) {
    Send(msg, SOUP_STATUS_METHOD_NOT_ALLOWED, "text/plain", "method not allowed\n");
    return;
  }
  const std::string p(path);
  // One line per request, so scripts can tell what was asked and in which order.
  std::printf("request: %s %s\n", method, path);
  std::fflush(stdout);
  // The base address the client used, so that pages can name the game addresses in full.
  GUri* uri = soup_server_message_get_uri(msg);
  const std::string base = std::string(g_uri_get_scheme(uri)) + "://" + g_uri_get_host(uri) + ":" +
                           std::to_string(g_uri_get_port(uri));
  if (p == "/gamehome/talmar2/update.txt" || p == "/gamehome/talmar2/update.txt.sig") {
    const auto manifest = Manifest(*portal, base);
    if (!manifest || (p.ends_with(".sig") && !portal->key)) {
      Send(msg, SOUP_STATUS_NOT_FOUND, "text/plain", "no manifest\n");
      return;
    }
    Send(msg, SOUP_STATUS_OK, "text/plain",
         p.ends_with(".sig") ? portal->key->Sign(*manifest) + "\n" : *manifest);
    if (portal->manifestDelayMs > 0) HoldBack(msg, portal->manifestDelayMs);
    return;
  }
  if (p.rfind("/gamehome/talmar2/files/", 0) == 0) {
    ServeFile(msg, *portal, p.substr(24));
    return;
  }
  if (p == "/") {
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8",
         Page("Zorvik", "<h1>Zorvik</h1><p>The maker's home page.</p>"));
    return;
  }
  if (p == "/games/talmar2/dlq/") {
    if (portal->refuseLogin) {
      GIOStream* stream = soup_server_message_steal_connection(msg);
      g_io_stream_close(stream, nullptr, nullptr);
      g_object_unref(stream);
      return;
    }
    std::string page = LoginPage(base, portal->autoLogin, portal->autoLoginAfterMs);
    if (portal->loginTrickleMs > 0) {
      const std::size_t pieces = std::max<guint>(1, portal->loginTrickleMs / 2000);
      const std::size_t slice = (page.size() + pieces - 1) / pieces;
      StartTrickle(msg, "text/html; charset=utf-8", std::move(page), slice, 2000);
      return;
    }
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8", page);
    // The answer is ready; it leaves once the timer lets it go.
    if (portal->loginDelayMs > 0) HoldBack(msg, portal->loginDelayMs);
    return;
  }
  if (p.rfind("/games/talmar2/play/", 0) == 0 && p.size() > 20 && !portal->liveDir.empty()) {
    // With a live game every server is that game; the other names are its files. Other paths
    // below a server (a page's reports) are only printed, and answered 404.
    const std::string name = p.substr(20);
    const bool script = name.ends_with(".js");
    const bool page = !script && name.find('/') == std::string::npos;
    if (const auto body = LiveFile(*portal, page ? "game.html" : name)) {
      Send(msg, SOUP_STATUS_OK,
           script ? "text/javascript; charset=utf-8" : "text/html; charset=utf-8", *body);
    } else {
      Send(msg, SOUP_STATUS_NOT_FOUND, "text/plain", "not found\n");
    }
    return;
  }
  if (p.rfind("/games/talmar2/play/", 0) == 0 && p.size() > 20) {
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8", GamePage(base, p.substr(20)));
    return;
  }
  if (p == "/games/talmar2/churn") {
    // A heavy game page for the endurance benchmark: it fills and drops 200 MB, again and again.
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8",
         Page("churn",
              "<p id='n'>0</p><script>var n = 0; setInterval(function () {"
              "  var a = []; for (var i = 0; i < 200; ++i) {"
              "    var b = new Uint8Array(1 << 20); b.fill(i); a.push(b); }"
              "  a = null; document.getElementById('n').textContent = ++n; }, 500);"
              "</script>"));
    return;
  }
  if (p == "/games/talmar2/") {
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8",
         Page("Talmar2", "<h1>Talmar2</h1><p>The game's page on the portal.</p>"));
    return;
  }
  Send(msg, SOUP_STATUS_NOT_FOUND, "text/plain", "not found\n");
}

[[noreturn]] void Usage() {
  std::fprintf(
      stderr,
      "usage: demo-portal [--port N] [--version TEXT] [--serial N] [--manifest FILE] [--files "
      "DIR]\n"
      "                   [--rate BYTES] [--sign-key KEY.pem] [--refuse-login] [--auto-login]\n"
      "                   [--auto-login-after MS] [--login-delay MS] [--login-trickle MS]\n"
      "                   [--manifest-delay MS] [--live DIR]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Portal portal;
  guint port = 0;
  std::string keyPath = DEMO_UPDATE_KEY;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a != "--refuse-login" && a != "--auto-login" && i + 1 >= argc) Usage();
    if (a == "--port") {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || v > 65535) Usage();
      port = static_cast<guint>(v);
    } else if (a == "--serial") {
      portal.serial = argv[++i];
    } else if (a == "--version") {
      portal.version = argv[++i];
    } else if (a == "--refuse-login") {
      portal.refuseLogin = true;
    } else if (a == "--auto-login") {
      portal.autoLogin = true;
    } else if (a == "--manifest") {
      portal.manifestFile = argv[++i];
    } else if (a == "--files") {
      portal.filesDir = argv[++i];
    } else if (a == "--rate") {
      portal.rate = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--auto-login-after") {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || v > 600000) Usage();
      portal.autoLogin = true;
      portal.autoLoginAfterMs = static_cast<guint>(v);
    } else if (a == "--login-delay" || a == "--login-trickle" || a == "--manifest-delay") {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || v > 600000) Usage();
      (a == "--login-delay"     ? portal.loginDelayMs
       : a == "--login-trickle" ? portal.loginTrickleMs
                                : portal.manifestDelayMs) = static_cast<guint>(v);
    } else if (a == "--live") {
      portal.liveDir = argv[++i];
    } else if (a == "--sign-key") {
      keyPath = argv[++i];
    } else {
      Usage();
    }
  }

  portal.key = updatesign::Key::Load(keyPath);
  if (!portal.key)
    std::fprintf(stderr, "demo-portal: no signing key in %s; manifests go unsigned\n",
                 keyPath.c_str());

  SoupServer* server = soup_server_new("server-header", "demo-portal", nullptr);
  soup_server_add_handler(server, nullptr, Handle, &portal, nullptr);
  GError* error = nullptr;
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* address = g_inet_socket_address_new(loopback, port);
  g_object_unref(loopback);
  if (!soup_server_listen(server, address, static_cast<SoupServerListenOptions>(0), &error)) {
    std::fprintf(stderr, "demo-portal: cannot listen: %s\n", error->message);
    return 1;
  }
  g_object_unref(address);
  GSList* uris = soup_server_get_uris(server);
  const guint bound = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  std::printf("listening on http://127.0.0.1:%u\n", bound);
  std::fflush(stdout);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop);
  return 0;
}
