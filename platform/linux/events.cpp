// Synthetic input over XTEST. Points are root-window pixels (one per point). Modifier flags are honoured by
// holding the modifier keys they name while the event is delivered; characters are typed through the
// keys of the current keymap, or through spare keycodes bound to them for as long as needed.
#include "platform/events.h"

#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "platform/linux/events.h"
#include "platform/linux/keymap.h"
#include "platform/linux/x_connection.h"

namespace platform {

struct EventSourceData {
  std::uint32_t stateId = 0;
};

void EventSourceDeleter::operator()(EventSourceData* source) const { delete source; }

}  // namespace platform

namespace platform::x11 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr xcb_keysym_t kShiftL = 0xffe1;
// A wheel value can be any 32-bit count; more clicks than this in one event is never a real gesture.
constexpr std::int64_t kMaxClicksPerEvent = 100;

struct ModifierKeys {
  std::uint64_t mask;
  std::uint16_t left;   // virtual key pressed when the flag asks for this modifier
  std::uint16_t right;  // the other virtual key that also satisfies it
};

constexpr std::array<ModifierKeys, 5> kModifiers{{
    {kEventFlagMaskCommand, 55, 54},
    {kEventFlagMaskShift, 56, 60},
    {kEventFlagMaskAlternate, 58, 61},
    {kEventFlagMaskControl, 59, 62},
    {kEventFlagMaskSecondaryFn, 63, 63},
}};

// Index into kModifiers of a modifier virtual key.
std::optional<std::size_t> modifierIndex(std::uint16_t virtualKey) {
  for (std::size_t i = 0; i < kModifiers.size(); ++i) {
    if (kModifiers[i].left == virtualKey || kModifiers[i].right == virtualKey) return i;
  }
  return std::nullopt;
}

// A spare keycode (no keysyms of its own) that we may bind to a keysym.
struct Slot {
  xcb_keycode_t keycode = 0;
  xcb_keysym_t sym = kNoSymbol;        // what we bound it to; kNoSymbol while free
  bool held = false;                   // a key event of ours holds it down
  bool inBatch = false;                // bound for the strokes being assembled
  bool pendingWrite = false;           // bound here but the change not yet sent
  std::vector<std::uint8_t> emptyKey;  // its XKB symbol map as we found it, to put back
  Clock::time_point lastUse{};
};

struct Stroke {
  xcb_keycode_t keycode = 0;
  bool shift = false;
};

struct State {
  xcb_connection_t* conn = nullptr;
  bool xtest = false;
  Keymap keymap;
  std::vector<Slot> slots;
  // Keys pressed by our events and not yet released: virtual key -> keycode pressed for it (0 for fn).
  std::map<std::uint16_t, xcb_keycode_t> down;
  char16_t pendingHighSurrogate = 0;
  std::array<std::int64_t, 2> pixelRest{0, 0};
  bool unsynced = false;       // requests sent since the last round trip
  bool deliveryDeferred = false;  // the caller flushes a batch itself
};

void releaseAtExit() { releaseInput(); }

State& state() {
  // Never destroyed: the exit hook below uses it after static destructors may have started.
  static State& s = *[] {
    auto* st = new State;
    st->conn = connection();
    if (!st->conn || xcb_connection_has_error(st->conn)) {
      st->conn = nullptr;
      return st;
    }
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(st->conn, &xcb_test_id);
    st->xtest = ext && ext->present;
    if (auto map = readKeymap(st->conn)) {
      st->keymap = std::move(*map);
      for (xcb_keycode_t keycode : emptyKeycodes(st->keymap)) {
        Slot slot;
        slot.keycode = keycode;
        st->slots.push_back(slot);
      }
      // With XKB a slot is bound and given back as a whole symbol map; without it, through the core
      // mapping, one keycode at a time.
      if (!st->slots.empty()) {
        auto keys = readXkbKeys(st->conn, st->slots.front().keycode, st->slots.back().keycode);
        if (keys) {
          for (Slot& slot : st->slots) slot.emptyKey = keys->keys[slot.keycode - keys->first];
        }
      }
    }
    // Registered after the connection exists, so it runs before the connection is closed.
    std::atexit(releaseAtExit);
    return st;
  }();
  return s;
}

bool usable(const State& s) { return s.conn && s.xtest && !xcb_connection_has_error(s.conn); }

std::vector<xcb_keycode_t> slotKeycodes(const State& s) {
  std::vector<xcb_keycode_t> codes;
  for (const Slot& slot : s.slots) codes.push_back(slot.keycode);
  return codes;
}

void fakeKey(State& s, xcb_keycode_t keycode, bool press) {
  if (keycode == 0) return;
  xcb_test_fake_input(s.conn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0,
                      0);
  s.unsynced = true;
}

void fakeButton(State& s, std::uint8_t button, bool press) {
  xcb_test_fake_input(s.conn, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE,
                      0, 0, 0);
  s.unsynced = true;
}

std::int16_t toPixel(double v) {
  if (std::isnan(v)) return 0;
  double r = std::round(v);
  r = std::clamp(r, double(std::numeric_limits<std::int16_t>::min()), double(std::numeric_limits<std::int16_t>::max()));
  return static_cast<std::int16_t>(r);
}

void fakeMotion(State& s, Point p) {
  xcb_test_fake_input(s.conn, XCB_MOTION_NOTIFY, 0 /* absolute */, XCB_CURRENT_TIME, root(), toPixel(p.x), toPixel(p.y),
                      0);
  s.unsynced = true;
}

// Waits until the server has handled everything sent so far.
void syncServer(State& s) {
  if (!s.unsynced) return;
  free(xcb_get_input_focus_reply(s.conn, xcb_get_input_focus(s.conn), nullptr));
  s.unsynced = false;
}

// The keycode that carries the keysym in the real keymap (spare slots excluded), lowest column first.
std::optional<xcb_keycode_t> keycodeForKeysym(const State& s, xcb_keysym_t sym) {
  std::vector<xcb_keycode_t> skip = slotKeycodes(s);
  for (int column = 0; column < s.keymap.perKeycode; ++column) {
    if (auto code = findInColumn(s.keymap, sym, column, skip)) return code;
  }
  return std::nullopt;
}

// Sends the pending slot bindings. With XKB: one SetMap from the lowest to the highest pending keycode,
// the keys in between written back exactly as the server has them; one change means one refetch of the
// keymap by each client. Without XKB: one core mapping change per run of consecutive keycodes.
void writePendingSlots(State& s) {
  std::vector<Slot*> pending;
  for (Slot& slot : s.slots) {
    if (slot.pendingWrite) pending.push_back(&slot);
  }
  if (pending.empty()) return;
  std::sort(pending.begin(), pending.end(), [](const Slot* a, const Slot* b) { return a->keycode < b->keycode; });
  bool written = false;
  if (!pending.front()->emptyKey.empty()) {
    if (auto keys = readXkbKeys(s.conn, pending.front()->keycode, pending.back()->keycode)) {
      for (const Slot* slot : pending) {
        keys->keys[slot->keycode - keys->first] = slot->sym == kNoSymbol ? slot->emptyKey : xkbOneSymKey(slot->sym);
      }
      queueXkbKeys(s.conn, *keys);
      written = true;
    }
  }
  for (std::size_t i = 0; !written && i < pending.size();) {
    std::size_t j = i;
    std::vector<xcb_keysym_t> syms;
    while (j < pending.size() && pending[j]->keycode == pending[i]->keycode + (j - i))
      syms.push_back(pending[j++]->sym);
    queueKeysymRun(s.conn, s.keymap, pending[i]->keycode, syms);
    i = j;
  }
  for (Slot* slot : pending) slot->pendingWrite = false;
  s.unsynced = true;
}

// Waits until clients had time to translate the last events that went through the slot.
void waitSettled(State& s, const Slot& slot, std::chrono::milliseconds settle) {
  syncServer(s);
  auto ready = slot.lastUse + settle;
  auto now = Clock::now();
  if (now < ready) std::this_thread::sleep_for(ready - now);
}

// A slot bound to the keysym: one already bound to it, a free one, or the least recently used one that is
// not part of the current batch nor held. Nothing when every slot is taken by the batch or held.
Slot* bindSlot(State& s, xcb_keysym_t sym) {
  for (Slot& slot : s.slots) {
    if (slot.sym == sym && !slot.held) return &slot;
  }
  Slot* chosen = nullptr;
  for (Slot& slot : s.slots) {
    if (slot.sym == kNoSymbol) {
      chosen = &slot;
      break;
    }
  }
  if (!chosen) {
    for (Slot& slot : s.slots) {
      if (slot.held || slot.inBatch) continue;
      if (!chosen || slot.lastUse < chosen->lastUse) chosen = &slot;
    }
    if (chosen) waitSettled(s, *chosen, kRebindSettle);
  }
  if (!chosen) return nullptr;
  chosen->sym = sym;
  chosen->pendingWrite = true;
  return chosen;
}

// Presses the modifier keys the flags name that are not down yet; gives the keycodes pressed, in order.
// `own` is the modifier the event's own key is, which never needs a second key.
std::vector<xcb_keycode_t> pressMissingModifiers(State& s, std::uint64_t flags, std::optional<std::size_t> own) {
  std::vector<xcb_keycode_t> pressed;
  for (std::size_t i = 0; i < kModifiers.size(); ++i) {
    const ModifierKeys& m = kModifiers[i];
    if (!(flags & m.mask) || own == i || m.left == 63) continue;
    if (s.down.count(m.left) || s.down.count(m.right)) continue;
    auto code = keycodeForKeysym(s, virtualKeyKeysym(m.left));
    if (!code) continue;
    fakeKey(s, *code, true);
    pressed.push_back(*code);
  }
  return pressed;
}

void releaseModifiers(State& s, const std::vector<xcb_keycode_t>& pressed) {
  for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) fakeKey(s, *it, false);
}

bool shiftDown(const State& s) { return s.down.count(56) || s.down.count(60); }

void sendStrokes(State& s, std::vector<Stroke>& strokes) {
  writePendingSlots(s);
  std::optional<xcb_keycode_t> shiftKey;
  for (const Stroke& stroke : strokes) {
    bool tempShift = stroke.shift && !shiftDown(s);
    if (tempShift && !shiftKey) shiftKey = keycodeForKeysym(s, kShiftL);
    if (tempShift && shiftKey) fakeKey(s, *shiftKey, true);
    fakeKey(s, stroke.keycode, true);
    fakeKey(s, stroke.keycode, false);
    if (tempShift && shiftKey) fakeKey(s, *shiftKey, false);
  }
  strokes.clear();
  xcb_flush(s.conn);
  auto now = Clock::now();
  for (Slot& slot : s.slots) {
    if (slot.inBatch) slot.lastUse = now;
    slot.inBatch = false;
  }
}

// The code points of a chunk of UTF-16 units; a high surrogate at the end waits for the next chunk.
std::vector<char32_t> decodeChunk(State& s, std::u16string_view units) {
  std::vector<char32_t> out;
  auto isHigh = [](char16_t u) { return u >= 0xd800 && u <= 0xdbff; };
  auto isLow = [](char16_t u) { return u >= 0xdc00 && u <= 0xdfff; };
  char16_t high = s.pendingHighSurrogate;
  s.pendingHighSurrogate = 0;
  for (char16_t u : units) {
    if (high) {
      if (isLow(u)) {
        out.push_back(0x10000 + ((char32_t(high) - 0xd800) << 10) + (char32_t(u) - 0xdc00));
        high = 0;
        continue;
      }
      out.push_back(0xfffd);
      high = 0;
    }
    if (isHigh(u)) {
      high = u;
    } else if (isLow(u)) {
      out.push_back(0xfffd);
    } else {
      out.push_back(u);
    }
  }
  s.pendingHighSurrogate = high;
  return out;
}

// Re-reads the mapping before borrowing keycodes: a slot someone else has since bound is given up.
void refreshKeymap(State& s) {
  auto map = readKeymap(s.conn);
  if (!map) return;
  s.keymap = std::move(*map);
  std::erase_if(s.slots, [&](const Slot& slot) {
    xcb_keysym_t now = keymapSym(s.keymap, slot.keycode, 0);
    return slot.sym == kNoSymbol ? !keycodeEmpty(s.keymap, slot.keycode) : now != slot.sym;
  });
}

void typeText(State& s, std::u16string_view units, std::uint64_t flags) {
  std::vector<char32_t> codePoints = decodeChunk(s, units);
  if (codePoints.empty()) return;
  refreshKeymap(s);
  std::vector<xcb_keycode_t> held = pressMissingModifiers(s, flags, std::nullopt);
  bool shiftHeld = shiftDown(s) || (flags & kEventFlagMaskShift);
  std::vector<xcb_keycode_t> skip = slotKeycodes(s);
  std::vector<Stroke> strokes;
  for (std::size_t i = 0; i < codePoints.size(); ++i) {
    // A carriage return right before a line feed is the same line end.
    if (codePoints[i] == U'\r' && i + 1 < codePoints.size() && codePoints[i + 1] == U'\n') continue;
    xcb_keysym_t sym = codePointKeysym(codePoints[i]);
    if (sym == kNoSymbol) continue;
    if (!shiftHeld) {
      if (auto code = findInColumn(s.keymap, sym, 0, skip)) {
        strokes.push_back({*code, false});
        continue;
      }
    }
    if (auto code = findInColumn(s.keymap, sym, 1, skip)) {
      strokes.push_back({*code, true});
      continue;
    }
    Slot* slot = bindSlot(s, sym);
    if (!slot) {
      sendStrokes(s, strokes);
      slot = bindSlot(s, sym);
    }
    if (!slot) continue;  // no spare keycode at all: the character cannot be typed
    slot->inBatch = true;
    strokes.push_back({slot->keycode, false});
  }
  sendStrokes(s, strokes);
  releaseModifiers(s, held);
}

void postKey(State& s, const Event& event) {
  std::uint64_t flags = event.flags.value_or(0);
  std::uint16_t virtualKey = event.keyCode;
  std::optional<std::size_t> own = modifierIndex(virtualKey);
  if (event.text) {
    // The characters replace the key; the key-up that carries them types nothing.
    if (event.keyDown) typeText(s, *event.text, flags);
    return;
  }
  xcb_keycode_t keycode = 0;
  if (auto it = s.down.find(virtualKey); it != s.down.end()) {
    keycode = it->second;
  } else if (xcb_keysym_t sym = virtualKeyKeysym(virtualKey); sym != kNoSymbol) {
    if (auto code = keycodeForKeysym(s, sym)) {
      keycode = *code;
    } else if (event.keyDown) {
      if (Slot* slot = bindSlot(s, sym)) {
        writePendingSlots(s);
        slot->held = true;
        keycode = slot->keycode;
      }
    }
  } else if (virtualKey != 63) {
    return;  // not a key this keyboard has
  }
  if (event.keyDown) {
    s.down[virtualKey] = keycode;  // a modifier counts as held for its own flags
    std::vector<xcb_keycode_t> temp = pressMissingModifiers(s, flags, own);
    fakeKey(s, keycode, true);
    releaseModifiers(s, temp);
  } else {
    s.down.erase(virtualKey);
    std::vector<xcb_keycode_t> temp = pressMissingModifiers(s, flags, own);
    fakeKey(s, keycode, false);
    releaseModifiers(s, temp);
    for (Slot& slot : s.slots) {
      if (slot.held && slot.keycode == keycode) {
        slot.held = false;
        slot.lastUse = Clock::now();
      }
    }
  }
}

void postMouse(State& s, const Event& event) {
  std::uint8_t button = 0;
  bool press = false;
  switch (event.type) {
    case kEventLeftMouseDown:
      button = 1, press = true;
      break;
    case kEventLeftMouseUp:
      button = 1;
      break;
    case kEventRightMouseDown:
      button = 3, press = true;
      break;
    case kEventRightMouseUp:
      button = 3;
      break;
    case kEventMouseMoved:
    case kEventLeftMouseDragged:
    case kEventRightMouseDragged:
      break;
    default:
      return;
  }
  std::vector<xcb_keycode_t> temp = pressMissingModifiers(s, event.flags.value_or(0), std::nullopt);
  // A button event happens where the pointer is, so the pointer goes to the event's point first.
  fakeMotion(s, event.location);
  if (button) fakeButton(s, button, press);
  releaseModifiers(s, temp);
}

void postScroll(State& s, const Event& event) {
  std::vector<xcb_keycode_t> temp = pressMissingModifiers(s, event.flags.value_or(0), std::nullopt);
  // Positive values scroll up (first wheel) and left (second wheel): X buttons 4 and 6.
  constexpr std::array<std::array<std::uint8_t, 2>, 2> buttons{{{4, 5}, {6, 7}}};
  for (std::size_t axis = 0; axis < 2 && axis < event.wheelCount; ++axis) {
    std::int64_t clicks = event.wheels[axis];
    if (event.scrollUnit == kScrollEventUnitPixel) {
      s.pixelRest[axis] += clicks;
      clicks = s.pixelRest[axis] / kPixelsPerWheelClick;
      s.pixelRest[axis] -= clicks * kPixelsPerWheelClick;
    }
    std::uint8_t button = clicks > 0 ? buttons[axis][0] : buttons[axis][1];
    for (std::int64_t i = 0; i < std::min(std::abs(clicks), kMaxClicksPerEvent); ++i) {
      fakeButton(s, button, true);
      fakeButton(s, button, false);
    }
  }
  releaseModifiers(s, temp);
}

}  // namespace

void releaseInput() {
  State& s = state();
  if (!usable(s)) return;
  for (auto it = s.down.rbegin(); it != s.down.rend(); ++it) fakeKey(s, it->second, false);
  s.down.clear();
  bool bound = false;
  for (Slot& slot : s.slots) {
    slot.held = false;
    if (slot.sym == kNoSymbol) continue;
    waitSettled(s, slot, kKeymapSettle);
    slot.sym = kNoSymbol;
    slot.pendingWrite = true;
    bound = true;
  }
  if (bound) writePendingSlots(s);
  xcb_flush(s.conn);
  syncServer(s);
}

}  // namespace platform::x11

namespace platform {

EventSource eventSourceCreate(std::uint32_t stateId) {
  if (!x11::usable(x11::state())) return nullptr;
  return EventSource(new EventSourceData{stateId});
}

std::optional<Event> eventCreateMouseEvent(const EventSourceData*, std::uint32_t type, Point location,
                                           std::uint32_t button) {
  if (!x11::state().conn) return std::nullopt;
  Event event;
  event.kind = EventKind::mouse;
  event.type = type;
  event.location = location;
  event.button = button;
  return event;
}

std::optional<Event> eventCreateKeyboardEvent(const EventSourceData*, std::uint16_t virtualKey, bool keyDown) {
  if (!x11::state().conn) return std::nullopt;
  Event event;
  event.kind = EventKind::keyboard;
  event.keyCode = virtualKey;
  event.keyDown = keyDown;
  return event;
}

std::optional<Event> eventCreateScrollWheelEvent2(const EventSourceData*, std::uint32_t unit, std::uint32_t wheelCount,
                                                  std::int32_t wheel1, std::int32_t wheel2, std::int32_t wheel3) {
  if (!x11::state().conn) return std::nullopt;
  Event event;
  event.kind = EventKind::scrollWheel;
  event.scrollUnit = unit;
  event.wheelCount = wheelCount;
  event.wheels = {wheel1, wheel2, wheel3};
  return event;
}

void eventPost(std::uint32_t, const Event& event) {
  x11::State& s = x11::state();
  if (!x11::usable(s)) return;
  switch (event.kind) {
    case EventKind::mouse:
      x11::postMouse(s, event);
      break;
    case EventKind::keyboard:
      x11::postKey(s, event);
      break;
    case EventKind::scrollWheel:
      x11::postScroll(s, event);
      break;
  }
  if (!s.deliveryDeferred) xcb_flush(s.conn);
}

void eventSetDeliveryDeferred(bool deferred) {
  x11::State& s = x11::state();
  s.deliveryDeferred = deferred;
  if (!deferred && s.conn) xcb_flush(s.conn);
}

}  // namespace platform
