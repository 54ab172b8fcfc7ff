#pragma once

// Other programs for the desktop service tests: commands run while the main loop keeps going
// (a command that calls back into this process needs it), and background programs whose
// output lines the test waits for.

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "WindowTestSupport.h"

namespace wintest {

struct CommandResult {
  int status = -1;  // exit code
  std::string output;
};

// Runs a shell command in the background and keeps the main loop running until it ends.
inline CommandResult RunWhilePumping(const std::string& command, int timeoutMs = 20000) {
  auto result = std::make_shared<CommandResult>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread([command, result, done] {
    const std::string line = command + " 2>&1";
    const char* argv[] = {"/bin/bash", "-c", line.c_str(), nullptr};
    gchar* out = nullptr;
    gint st = 0;
    if (g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                     &out, nullptr, &st, nullptr)) {
      result->output = out != nullptr ? out : "";
      result->status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    g_free(out);
    done->store(true);
  }).detach();
  if (!WaitFor([&] { return done->load(); }, timeoutMs)) {
    ADD_FAILURE() << "timed out: " << command;
    return CommandResult{};
  }
  return *result;
}

// A program in the background; its standard output is collected as it comes.
class Background {
 public:
  explicit Background(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int out = -1;
    if (g_spawn_async_with_pipes(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                                 nullptr, &m_pid, nullptr, &out, nullptr, nullptr)) {
      m_out = out;
      ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    }
  }
  ~Background() { Stop(); }
  bool Running() const { return m_pid > 0; }
  void Signal(int sig) const {
    if (m_pid > 0) ::kill(m_pid, sig);
  }
  void Stop() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
      m_pid = 0;
    }
    if (m_out >= 0) ::close(m_out);
    m_out = -1;
  }
  // Everything it printed so far.
  const std::string& Output() {
    char buf[4096];
    ssize_t n;
    while (m_out >= 0 && (n = ::read(m_out, buf, sizeof buf)) > 0) m_text.append(buf, n);
    return m_text;
  }
  bool WaitForLine(const std::string& part, int timeoutMs = 5000) {
    return WaitFor([&] { return Output().find(part) != std::string::npos; }, timeoutMs);
  }

 private:
  GPid m_pid = 0;
  int m_out = -1;
  std::string m_text;
};

}  // namespace wintest
