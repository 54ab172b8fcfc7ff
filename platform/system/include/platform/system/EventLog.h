#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

// The client's one log helper, with two kinds of output.
//
// The application's event log: one error entry per line, always written, with its control
// characters escaped (EscapeControls) on the way to every output. The default sink
// writes to the system log and, when standard error is a terminal, there as well (a desktop
// without a system log daemon loses what only goes to syslog). Tests replace the sink to read
// what was written.
//
// Diagnostic channels: one per module ("webview", "tabstrip", "controls", ...), silent unless
// the environment variable CLIENT_DEBUG names the channel (CLIENT_DEBUG=tabstrip,webview) or
// says "all". Their lines go to standard error. The channels need nothing but this header, so
// the web module, which links none of platform/, uses them too. A module's event-log lines go
// through its channel as well (Event), which puts the module's name in front of them.

namespace platform {

// `text` with every control character written out as an escape, so that text from outside (a
// page's address or command, a server's answer) can neither start a line of its own in a log nor
// send a terminal an escape sequence: bytes below 0x20 and 0x7F become "\x1b" and the like, and
// the C1 controls U+0080 to U+009F (which some terminals obey as well) "\u009b" and the like.
// Every other byte stays as it is, so UTF-8 text (Chinese captions, addresses) reads as it was.
inline std::string EscapeControls(std::string_view text) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 0xF];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

using EventLogSink = std::function<void(std::string_view line)>;

void LogEvent(std::string_view line);

// A line meant for the user who started the program from a terminal: written once to standard
// error, after the prefix every message of the program carries ("<program>: "), and to the event
// log (without the event log's own copy on the terminal).
void TellUser(std::string_view line);
// The program's prefix of lines on standard error, without the ": ".
const char* StderrPrefix();

// Keeps other programs' chatter off the terminal: from now on what the process and the programs
// it starts write to standard error passes through a filter that drops the lines `noise` names
// (the event log's and TellUser's own lines go straight to the terminal, before anything else
// the process does next). Installed once; later calls do nothing.
void FilterStandardError(std::function<bool(std::string_view line)> noise);
// While it lives, descriptor 2 is the process's own standard error again instead of the filter's
// pipe, so that programs started meanwhile (the updater, a browser) write to where the user reads
// and keep their standard error once this process has ended. Does nothing without a filter.
class UnfilteredStandardError {
 public:
  UnfilteredStandardError();
  ~UnfilteredStandardError();
  UnfilteredStandardError(const UnfilteredStandardError&) = delete;
  UnfilteredStandardError& operator=(const UnfilteredStandardError&) = delete;

 private:
  int m_pipe = -1;  // the filter's writing end, put back at the end
};
// The web processes' complaints about buses they cannot reach, which tell the user nothing.
bool IsWebProcessNoise(std::string_view line);

// Installs a sink and returns the previous one; an empty sink restores the system log.
EventLogSink SetEventLogSink(EventLogSink sink);

inline constexpr char kDebugVariable[] = "CLIENT_DEBUG";

// Whether a CLIENT_DEBUG value turns the channel on: a list of channel names separated by
// commas, spaces or colons, or "all". Unset, empty, "0" or other names leave it off.
constexpr bool DebugChannelSelected(std::string_view setting, std::string_view channel) {
  std::size_t start = 0;
  while (start <= setting.size()) {
    std::size_t end = setting.find_first_of(", :", start);
    if (end == std::string_view::npos) end = setting.size();
    const std::string_view word = setting.substr(start, end - start);
    if (word == "all" || (!word.empty() && word == channel)) return true;
    start = end + 1;
  }
  return false;
}

class LogChannel {
 public:
  explicit constexpr LogChannel(std::string_view name) : m_name(name) {}

  bool On() const {
    if (m_state < 0) {
      const char* setting = std::getenv(kDebugVariable);
      m_state = setting != nullptr && DebugChannelSelected(setting, m_name) ? 1 : 0;
    }
    return m_state == 1;
  }

  void operator()(std::string_view text) const {
    if (!On()) return;
    const std::string shown = EscapeControls(text);
    std::fprintf(stderr, "[%.*s] %s\n", static_cast<int>(m_name.size()), m_name.data(),
                 shown.c_str());
  }

  // A line of the event log, always written (CLIENT_DEBUG does not matter), as
  // "<channel>: <text>". It needs the event log itself, so the web module does not use it.
  void Event(std::string_view text) const {
    std::string line(m_name);
    line += ": ";
    line += text;
    LogEvent(line);
  }

 private:
  std::string_view m_name;
  mutable int m_state = -1;  // -1: CLIENT_DEBUG not read yet
};

}  // namespace platform
