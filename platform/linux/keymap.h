// Keysyms for the platform's virtual key codes and for characters, and the server's core keyboard
// mapping: reading it, finding a keysym in it, and writing keysyms to single keycodes.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::x11 {

inline constexpr xcb_keysym_t kNoSymbol = 0;

// The keysym a virtual key code stands for; kNoSymbol for fn (63) and for codes outside the table.
xcb_keysym_t virtualKeyKeysym(std::uint16_t virtualKey);

// The keysym that types a code point: Return for line feed and carriage return, Tab for tab, the Latin-1
// keysym below U+0100, 0x01000000 + code point above; kNoSymbol for other control characters.
xcb_keysym_t codePointKeysym(char32_t codePoint);

// The core keyboard mapping: `perKeycode` keysyms for each keycode from `minKeycode` to `maxKeycode`.
struct Keymap {
  xcb_keycode_t minKeycode = 0;
  xcb_keycode_t maxKeycode = 0;
  std::uint8_t perKeycode = 0;
  std::vector<xcb_keysym_t> syms;
};

// Nothing when the server does not answer.
std::optional<Keymap> readKeymap(xcb_connection_t* conn);

xcb_keysym_t keymapSym(const Keymap& map, xcb_keycode_t keycode, int column);
bool keycodeEmpty(const Keymap& map, xcb_keycode_t keycode);

// The first keycode (lowest) holding the keysym in the given column; keycodes for which `skip` is true
// are passed over.
std::optional<xcb_keycode_t> findInColumn(const Keymap& map, xcb_keysym_t sym, int column,
                                          const std::vector<xcb_keycode_t>& skip);

// Keycodes that carry no keysym at all, from 9 up (8 is left alone: some clients ignore it).
std::vector<xcb_keycode_t> emptyKeycodes(const Keymap& map);

// Queues one mapping change for the run of keycodes starting at `first`: each keycode gets its keysym in
// the first two columns (so that Shift does not change what it types) and NoSymbol elsewhere;
// kNoSymbol empties the keycode.
void queueKeysymRun(xcb_connection_t* conn, const Keymap& map, xcb_keycode_t first,
                    const std::vector<xcb_keysym_t>& syms);

// XKB per-key symbol maps in their wire form (kt_index[4], groupInfo, width, nSyms, keysyms), so that the
// keys between two borrowed keycodes can be written back byte for byte, types and all: one mapping change
// can then cover every borrowed keycode without disturbing the keys in between.
struct XkbKeys {
  xcb_keycode_t minKeycode = 0;  // the device's range, needed by SetMap
  xcb_keycode_t maxKeycode = 0;
  xcb_keycode_t first = 0;
  std::vector<std::vector<std::uint8_t>> keys;  // one entry per keycode from `first`
};

// True when the server's XKB extension is usable on this connection (negotiated once).
bool xkbAvailable(xcb_connection_t* conn);

// The symbol maps of the core keyboard's keys from `first` to `last`; nothing on failure.
std::optional<XkbKeys> readXkbKeys(xcb_connection_t* conn, xcb_keycode_t first, xcb_keycode_t last);

// The wire form of a one-level key that types one keysym.
std::vector<std::uint8_t> xkbOneSymKey(xcb_keysym_t sym);

// Queues one SetMap of the keys' symbol maps for the core keyboard (the server applies it to the
// keyboards attached to it, the XTEST one included).
void queueXkbKeys(xcb_connection_t* conn, const XkbKeys& keys);

}  // namespace platform::x11
