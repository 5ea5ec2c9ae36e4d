// Helpers for the input tests: the recording X client (build/bin/xrecorder) as a child process whose JSON
// lines are collected, and the server's keyboard state.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/program.h"

namespace recorder {

struct Recorder {
  pid_t pid = -1;
  int out = -1;
  std::string buffer;
  std::vector<nlohmann::json> events;
  bool ready = false;

  Recorder() = default;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  ~Recorder() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
    if (out >= 0) ::close(out);
  }
};

// Reads what the recorder wrote within `waitMs`; gives false when the wait ran out with nothing new.
inline bool pump(Recorder& r, int waitMs) {
  pollfd p{r.out, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return false;
  char chunk[4096];
  ssize_t n = ::read(r.out, chunk, sizeof chunk);
  if (n <= 0) return false;
  r.buffer.append(chunk, static_cast<std::size_t>(n));
  for (std::size_t nl; (nl = r.buffer.find('\n')) != std::string::npos;) {
    std::string line = r.buffer.substr(0, nl);
    r.buffer.erase(0, nl + 1);
    if (line == "ready") {
      r.ready = true;
    } else if (!line.empty() && line[0] == '{') {
      r.events.push_back(nlohmann::json::parse(line));
    }
  }
  return true;
}

// Starts the recorder over the whole screen and waits until it has the keyboard focus.
inline bool start(Recorder& r) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  std::string path = testing_support::programPath("xrecorder");
  r.pid = ::fork();
  if (r.pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  r.out = fds[0];
  for (int i = 0; i < 100 && !r.ready; ++i) pump(r, 100);
  return r.ready;
}

// Collects events until `done` holds for the list, or nothing arrives for a while (a fail-safe, not a
// timing check: the assertions look only at what arrived).
inline void collectUntil(Recorder& r, const std::function<bool(const std::vector<nlohmann::json>&)>& done) {
  for (int quiet = 0; !done(r.events) && quiet < 30;) quiet = pump(r, 100) ? 0 : quiet + 1;
}

inline void collectCount(Recorder& r, std::size_t count) {
  collectUntil(r, [count](const auto& events) { return events.size() >= count; });
}

inline std::vector<nlohmann::json> ofTypes(const std::vector<nlohmann::json>& events,
                                           const std::vector<std::string>& types) {
  std::vector<nlohmann::json> out;
  for (const auto& e : events) {
    for (const auto& t : types) {
      if (e.value("type", "") == t) out.push_back(e);
    }
  }
  return out;
}

// Keycodes the server currently has down, on any keyboard.
inline std::vector<int> keysDown() {
  std::vector<int> down;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return {-1};
  }
  xcb_query_keymap_reply_t* r = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
  if (r) {
    for (int i = 0; i < 256; ++i) {
      if (r->keys[i / 8] & (1 << (i % 8))) down.push_back(i);
    }
    std::free(r);
  }
  xcb_disconnect(c);
  return down;
}

// The pointer's button and modifier mask as the server reports it.
inline int pointerMask() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  int mask = -1;
  if (!xcb_connection_has_error(c)) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_query_pointer_reply_t* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, screen->root), nullptr);
    if (r) mask = r->mask;
    std::free(r);
  }
  xcb_disconnect(c);
  return mask;
}

inline int screenWidth() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  int width = -1;
  if (!xcb_connection_has_error(c)) width = xcb_setup_roots_iterator(xcb_get_setup(c)).data->width_in_pixels;
  xcb_disconnect(c);
  return width;
}

// The whole core keyboard mapping, for before/after comparisons.
inline std::vector<xcb_keysym_t> coreKeymap() {
  std::vector<xcb_keysym_t> syms;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (!xcb_connection_has_error(c)) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto* r = xcb_get_keyboard_mapping_reply(
        c,
        xcb_get_keyboard_mapping(c, setup->min_keycode,
                                 static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr);
    if (r) {
      const xcb_keysym_t* s = xcb_get_keyboard_mapping_keysyms(r);
      syms.assign(s, s + xcb_get_keyboard_mapping_keysyms_length(r));
      std::free(r);
    }
  }
  xcb_disconnect(c);
  return syms;
}

}  // namespace recorder
