#pragma once

// Shared by the tests of the web views: script run in a page, with its answer.

#include <glib.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <string>

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
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!result.done && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return result.done ? result.value : std::string("timeout");
}

}  // namespace webtest
