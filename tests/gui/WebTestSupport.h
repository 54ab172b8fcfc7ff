#pragma once

// Shared by the tests of the web views: script run in a page, with its answer; a default
// browser that writes down what it is given.

#include <glib.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "MainLoop.h"

namespace webtest {

// Runs script in the page and returns its value as text ("error:..." when it threw, "timeout"
// when no answer came). Also a barrier: everything the page sent before the answer has been
// handled when this returns.
inline std::string Eval(WebKitWebView* view, const std::string& script,
                        std::chrono::seconds limit = std::chrono::seconds(30)) {
  struct Result {
    bool done = false;
    std::string value;
  } result;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<Result*>(data);
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &error);
        if (value != nullptr) {
          gchar* text = jsc_value_to_string(value);
          r->value = text != nullptr ? text : "";
          g_free(text);
          g_object_unref(value);
        } else {
          r->value = std::string("error:") + (error != nullptr ? error->message : "");
        }
        if (error != nullptr) g_error_free(error);
        r->done = true;
      },
      &result);
  testsupport::RunUntil([&] { return result.done; },
                        std::chrono::duration_cast<std::chrono::milliseconds>(limit));
  return result.done ? result.value : std::string("timeout");
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The addresses handed to the default browser, one per line.
inline std::string BrowserLog() {
  return std::string(std::getenv("TEST_ROOT")) + "/browser.log";
}

// Makes a program that appends its argument to BrowserLog() the default browser for http and
// https, the way a desktop records it.
inline void InstallFakeBrowser() {
  namespace fs = std::filesystem;
  const std::string root = std::getenv("TEST_ROOT");
  const std::string script = root + "/browser.sh";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\necho \"$1\" >> '" << BrowserLog() << "'\n";
  }
  fs::permissions(script, fs::perms::owner_all);
  const std::string apps = std::string(std::getenv("XDG_DATA_HOME")) + "/applications";
  fs::create_directories(apps);
  {
    std::ofstream out(apps + "/test-browser.desktop");
    out << "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" << script
        << " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
  }
  std::ofstream out(std::string(std::getenv("XDG_CONFIG_HOME")) + "/mimeapps.list");
  out << "[Default Applications]\nx-scheme-handler/http=test-browser.desktop\n"
         "x-scheme-handler/https=test-browser.desktop\n";
}

}  // namespace webtest
