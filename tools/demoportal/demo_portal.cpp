// The demo portal: a small HTTP server on 127.0.0.1 that serves what the real servers would,
// so the client can be run and tested without them.
//
//   demo-portal [--port N] [--version TEXT] [--manifest FILE]
//
// It prints "listening on http://127.0.0.1:PORT" once it accepts connections, then
// "request: METHOD PATH" for every request. Port 0 (the default) picks a free port.

#include <libsoup/soup.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Portal {
  std::string version = "1.1.0";
  std::string manifestFile;  // served as it is when given
};

void Send(SoupServerMessage* msg, int status, const char* type, const std::string& body) {
  soup_server_message_set_status(msg, status, nullptr);
  soup_server_message_set_response(msg, type, SOUP_MEMORY_COPY, body.data(), body.size());
}

std::string Page(const char* title, const char* body) {
  return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") + title +
         "</title></head><body>" + body + "</body></html>";
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
  if (p == "/gamehome/talmar2/update.txt") {
    if (!portal->manifestFile.empty()) {
      gchar* contents = nullptr;
      gsize size = 0;
      if (!g_file_get_contents(portal->manifestFile.c_str(), &contents, &size, nullptr)) {
        Send(msg, SOUP_STATUS_NOT_FOUND, "text/plain", "no manifest\n");
        return;
      }
      Send(msg, SOUP_STATUS_OK, "text/plain", std::string(contents, size));
      g_free(contents);
      return;
    }
    Send(msg, SOUP_STATUS_OK, "text/plain", "version=" + portal->version + "\r\n");
    return;
  }
  if (p == "/") {
    Send(msg, SOUP_STATUS_OK, "text/html; charset=utf-8",
         Page("Zorvik", "<h1>Zorvik</h1><p>The maker's home page.</p>"));
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
  std::fprintf(stderr, "usage: demo-portal [--port N] [--version TEXT] [--manifest FILE]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Portal portal;
  guint port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage();
    if (a == "--port") {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || v > 65535) Usage();
      port = static_cast<guint>(v);
    } else if (a == "--version") {
      portal.version = argv[++i];
    } else if (a == "--manifest") {
      portal.manifestFile = argv[++i];
    } else {
      Usage();
    }
  }

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
