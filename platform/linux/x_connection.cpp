#include "platform/linux/x_connection.h"

#include <map>
#include <mutex>
#include <string>

namespace platform::x11 {
namespace {

struct XState {
  xcb_connection_t* conn = nullptr;
  xcb_screen_t* screen = nullptr;
  bool ewmhReady = false;
  xcb_ewmh_connection_t ewmh{};
  std::map<std::string, xcb_atom_t, std::less<>> atoms;

  XState() {
    int screenNumber = 0;
    conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn)) {
      xcb_disconnect(conn);
      conn = nullptr;
      return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    screen = it.data;
  }
  ~XState() {
    if (ewmhReady) xcb_ewmh_connection_wipe(&ewmh);
    if (conn) {
      xcb_flush(conn);
      xcb_disconnect(conn);
    }
  }
};

XState& state() {
  static XState s;
  return s;
}

}  // namespace

xcb_connection_t* connection() { return state().conn; }
xcb_screen_t* screen() { return state().screen; }
xcb_window_t root() { return state().screen ? state().screen->root : xcb_window_t{XCB_WINDOW_NONE}; }

xcb_ewmh_connection_t* ewmh() {
  XState& s = state();
  if (!s.conn) return nullptr;
  if (!s.ewmhReady) {
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(s.conn, &s.ewmh);
    s.ewmhReady = xcb_ewmh_init_atoms_replies(&s.ewmh, cookies, nullptr) != 0;
    if (!s.ewmhReady) return nullptr;
  }
  return &s.ewmh;
}

xcb_atom_t atom(std::string_view name) {
  XState& s = state();
  if (!s.conn) return XCB_ATOM_NONE;
  if (auto it = s.atoms.find(name); it != s.atoms.end()) return it->second;
  auto r = reply(xcb_intern_atom_reply(
      s.conn, xcb_intern_atom(s.conn, 0, static_cast<uint16_t>(name.size()), name.data()), nullptr));
  xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  s.atoms.emplace(std::string(name), a);
  return a;
}

}  // namespace platform::x11
