// The process's one X connection, opened on first use and closed at exit.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace platform::x11 {

// Null when no X display can be opened.
xcb_connection_t* connection();
xcb_screen_t* screen();
xcb_window_t root();
// EWMH atoms and helpers; null when there is no connection.
xcb_ewmh_connection_t* ewmh();
// Interns an atom once (XCB_ATOM_NONE when it cannot).
xcb_atom_t atom(std::string_view name);

// Owns one reply (or error) that XCB allocated with malloc.
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
  return Reply<T>(raw, &std::free);
}

}  // namespace platform::x11
