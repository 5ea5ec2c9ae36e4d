#include "platform/linux/keymap.h"

#include <algorithm>
#include <cstring>
#include <map>

// xkb.h names a structure member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "platform/linux/x_connection.h"

namespace platform::x11 {
namespace {

// X keysyms of the keys the virtual key codes name (X11/keysymdef.h values).
const std::map<std::uint16_t, xcb_keysym_t>& virtualKeysyms() {
  static const std::map<std::uint16_t, xcb_keysym_t> table = [] {
    std::map<std::uint16_t, xcb_keysym_t> t{
        // letters
        {0, 'a'}, {11, 'b'}, {8, 'c'}, {2, 'd'}, {14, 'e'}, {3, 'f'}, {5, 'g'}, {4, 'h'}, {34, 'i'},
        {38, 'j'}, {40, 'k'}, {37, 'l'}, {46, 'm'}, {45, 'n'}, {31, 'o'}, {35, 'p'}, {12, 'q'},
        {15, 'r'}, {1, 's'}, {17, 't'}, {32, 'u'}, {9, 'v'}, {13, 'w'}, {7, 'x'}, {16, 'y'}, {6, 'z'},
        // digits
        {29, '0'}, {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {23, '5'}, {22, '6'}, {26, '7'},
        {28, '8'}, {25, '9'},
        // punctuation
        {27, '-'}, {24, '='}, {33, '['}, {30, ']'}, {41, ';'}, {39, '\''}, {50, '`'}, {43, ','},
        {47, '.'}, {44, '/'}, {42, '\\'},
        // editing and navigation
        {36, 0xff0d},   // Return
        {48, 0xff09},   // Tab
        {49, ' '},      // space
        {51, 0xff08},   // BackSpace
        {117, 0xffff},  // Delete (forward)
        {53, 0xff1b},   // Escape
        {126, 0xff52},  // Up
        {125, 0xff54},  // Down
        {123, 0xff51},  // Left
        {124, 0xff53},  // Right
        {115, 0xff50},  // Home
        {119, 0xff57},  // End
        {116, 0xff55},  // Prior (page up)
        {121, 0xff56},  // Next (page down)
        // modifiers; fn (63) has no X keysym
        {55, 0xffeb},  // Super_L
        {54, 0xffec},  // Super_R
        {56, 0xffe1},  // Shift_L
        {60, 0xffe2},  // Shift_R
        {58, 0xffe9},  // Alt_L
        {61, 0xffea},  // Alt_R
        {59, 0xffe3},  // Control_L
        {62, 0xffe4},  // Control_R
        {57, 0xffe5},  // Caps_Lock
        // keypad
        {82, 0xffb0}, {83, 0xffb1}, {84, 0xffb2}, {85, 0xffb3}, {86, 0xffb4}, {87, 0xffb5},
        {88, 0xffb6}, {89, 0xffb7}, {91, 0xffb8}, {92, 0xffb9},  // KP_0 .. KP_9
        {65, 0xffae},                                              // KP_Decimal
        {67, 0xffaa},                                              // KP_Multiply
        {69, 0xffab},                                              // KP_Add
        {78, 0xffad},                                              // KP_Subtract
        {75, 0xffaf},                                              // KP_Divide
        {76, 0xff8d},                                              // KP_Enter
        {81, 0xffbd},                                              // KP_Equal
        {71, 0xff7f},                                              // Num_Lock
    };
    // F1 .. F20 are consecutive keysyms from 0xffbe.
    const std::uint16_t functionKeys[20] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109,
                                            103, 111, 105, 107, 113, 106, 64, 79, 80, 90};
    for (int i = 0; i < 20; ++i) t.emplace(functionKeys[i], 0xffbe + i);
    return t;
  }();
  return table;
}

}  // namespace

xcb_keysym_t virtualKeyKeysym(std::uint16_t virtualKey) {
  const auto& table = virtualKeysyms();
  auto it = table.find(virtualKey);
  return it == table.end() ? kNoSymbol : it->second;
}

xcb_keysym_t codePointKeysym(char32_t codePoint) {
  if (codePoint == U'\n' || codePoint == U'\r') return 0xff0d;  // Return
  if (codePoint == U'\t') return 0xff09;                         // Tab
  if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint < 0xa0)) return kNoSymbol;
  if (codePoint < 0x100) return codePoint;
  if (codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff)) return kNoSymbol;
  return 0x01000000 + codePoint;
}

std::optional<Keymap> readKeymap(xcb_connection_t* conn) {
  if (!conn) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(conn);
  Keymap map;
  map.minKeycode = setup->min_keycode;
  map.maxKeycode = setup->max_keycode;
  auto r = reply(xcb_get_keyboard_mapping_reply(
      conn,
      xcb_get_keyboard_mapping(conn, map.minKeycode, static_cast<std::uint8_t>(map.maxKeycode - map.minKeycode + 1)),
      nullptr));
  if (!r) return std::nullopt;
  map.perKeycode = r->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
  map.syms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r.get()));
  return map;
}

xcb_keysym_t keymapSym(const Keymap& map, xcb_keycode_t keycode, int column) {
  if (keycode < map.minKeycode || keycode > map.maxKeycode || column < 0 || column >= map.perKeycode) {
    return kNoSymbol;
  }
  std::size_t index = static_cast<std::size_t>(keycode - map.minKeycode) * map.perKeycode + column;
  return index < map.syms.size() ? map.syms[index] : kNoSymbol;
}

bool keycodeEmpty(const Keymap& map, xcb_keycode_t keycode) {
  for (int column = 0; column < map.perKeycode; ++column) {
    if (keymapSym(map, keycode, column) != kNoSymbol) return false;
  }
  return true;
}

std::optional<xcb_keycode_t> findInColumn(const Keymap& map, xcb_keysym_t sym, int column,
                                          const std::vector<xcb_keycode_t>& skip) {
  if (sym == kNoSymbol) return std::nullopt;
  for (int keycode = map.minKeycode; keycode <= map.maxKeycode; ++keycode) {
    auto code = static_cast<xcb_keycode_t>(keycode);
    if (keymapSym(map, code, column) != sym) continue;
    if (std::find(skip.begin(), skip.end(), code) != skip.end()) continue;
    return code;
  }
  return std::nullopt;
}

std::vector<xcb_keycode_t> emptyKeycodes(const Keymap& map) {
  std::vector<xcb_keycode_t> result;
  for (int keycode = std::max<int>(map.minKeycode, 9); keycode <= map.maxKeycode; ++keycode) {
    if (keycodeEmpty(map, static_cast<xcb_keycode_t>(keycode))) result.push_back(static_cast<xcb_keycode_t>(keycode));
  }
  return result;
}

void queueKeysymRun(xcb_connection_t* conn, const Keymap& map, xcb_keycode_t first,
                    const std::vector<xcb_keysym_t>& syms) {
  if (!conn || syms.empty() || map.perKeycode == 0) return;
  std::vector<xcb_keysym_t> columns(syms.size() * map.perKeycode, kNoSymbol);
  for (std::size_t i = 0; i < syms.size(); ++i) {
    columns[i * map.perKeycode] = syms[i];
    if (map.perKeycode > 1) columns[i * map.perKeycode + 1] = syms[i];
  }
  xcb_change_keyboard_mapping(conn, static_cast<std::uint8_t>(syms.size()), first, map.perKeycode, columns.data());
}

bool xkbAvailable(xcb_connection_t* conn) {
  static xcb_connection_t* negotiated = nullptr;
  static bool available = false;
  if (!conn) return false;
  if (negotiated == conn) return available;
  negotiated = conn;
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn, &xcb_xkb_id);
  if (!ext || !ext->present) return available = false;
  auto r = reply(xcb_xkb_use_extension_reply(conn, xcb_xkb_use_extension(conn, 1, 0), nullptr));
  return available = r && r->supported;
}

std::optional<XkbKeys> readXkbKeys(xcb_connection_t* conn, xcb_keycode_t first, xcb_keycode_t last) {
  if (!xkbAvailable(conn) || last < first) return std::nullopt;
  auto count = static_cast<std::uint8_t>(last - first + 1);
  auto r = reply(xcb_xkb_get_map_reply(
      conn, xcb_xkb_get_map(conn, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, 0, 0, first, count, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0),
      nullptr));
  if (!r || !(r->present & XCB_XKB_MAP_PART_KEY_SYMS) || r->firstKeySym != first || r->nKeySyms != count) {
    return std::nullopt;
  }
  // Only key symbols were asked for, so they are all that follows the fixed part of the reply.
  const auto* data = reinterpret_cast<const std::uint8_t*>(r.get() + 1);
  std::size_t size = 32 + std::size_t(r->length) * 4 - sizeof(xcb_xkb_get_map_reply_t);
  XkbKeys keys{r->minKeyCode, r->maxKeyCode, first, {}};
  std::size_t offset = 0;
  for (int i = 0; i < count; ++i) {
    if (offset + sizeof(xcb_xkb_key_sym_map_t) > size) return std::nullopt;
    xcb_xkb_key_sym_map_t header;
    std::memcpy(&header, data + offset, sizeof header);
    std::size_t length = sizeof header + std::size_t(header.nSyms) * 4;
    if (offset + length > size) return std::nullopt;
    keys.keys.emplace_back(data + offset, data + offset + length);
    offset += length;
  }
  return keys;
}

std::vector<std::uint8_t> xkbOneSymKey(xcb_keysym_t sym) {
  xcb_xkb_key_sym_map_t header{};
  header.kt_index[0] = header.kt_index[1] = header.kt_index[2] = header.kt_index[3] = 0;  // ONE_LEVEL
  header.groupInfo = 1;  // one group, no wrapping
  header.width = 1;
  header.nSyms = 1;
  std::vector<std::uint8_t> wire(sizeof header + 4);
  std::memcpy(wire.data(), &header, sizeof header);
  std::memcpy(wire.data() + sizeof header, &sym, 4);
  return wire;
}

void queueXkbKeys(xcb_connection_t* conn, const XkbKeys& keys) {
  if (!conn || keys.keys.empty()) return;
  std::vector<std::uint8_t> values;
  std::uint32_t totalSyms = 0;
  for (const auto& key : keys.keys) {
    xcb_xkb_key_sym_map_t header;
    std::memcpy(&header, key.data(), sizeof header);
    totalSyms += header.nSyms;
    values.insert(values.end(), key.begin(), key.end());
  }
  xcb_xkb_set_map(conn, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, keys.minKeycode, keys.maxKeycode, 0, 0,
                  keys.first, static_cast<std::uint8_t>(keys.keys.size()), static_cast<std::uint16_t>(totalSyms), 0, 0,
                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, values.data());
}

}  // namespace platform::x11
