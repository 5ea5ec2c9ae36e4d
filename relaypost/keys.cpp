#include "relaypost/keys.h"

#include "common/unicode.h"
#include "platform/events.h"
#include "relaypost/state.h"

namespace relaypost {

KeyTable browserCodeToKeyCode;
KeyTable keyValueFallback;

void buildKeyTables() {
  browserCodeToKeyCode = {
      // Letters
      {"KeyA", 0},
      {"KeyS", 1},
      {"KeyD", 2},
      {"KeyF", 3},
      {"KeyH", 4},
      {"KeyG", 5},
      {"KeyZ", 6},
      {"KeyX", 7},
      {"KeyC", 8},
      {"KeyV", 9},
      {"KeyB", 11},
      {"KeyQ", 12},
      {"KeyW", 13},
      {"KeyE", 14},
      {"KeyR", 15},
      {"KeyY", 16},
      {"KeyT", 17},
      {"KeyU", 32},
      {"KeyI", 34},
      {"KeyP", 35},
      {"KeyL", 37},
      {"KeyJ", 38},
      {"KeyK", 40},
      {"KeyN", 45},
      {"KeyM", 46},
      {"KeyO", 31},
      // Digits
      {"Digit1", 18},
      {"Digit2", 19},
      {"Digit3", 20},
      {"Digit4", 21},
      {"Digit5", 23},
      {"Digit6", 22},
      {"Digit7", 26},
      {"Digit8", 28},
      {"Digit9", 25},
      {"Digit0", 29},
      // Punctuation
      {"Minus", 27},
      {"Equal", 24},
      {"BracketLeft", 33},
      {"BracketRight", 30},
      {"Semicolon", 41},
      {"Quote", 39},
      {"Backquote", 50},
      {"Comma", 43},
      {"Period", 47},
      {"Slash", 44},
      {"Backslash", 42},
      // Editing and navigation; "Delete" is forward delete, "Backspace" the key left of it.
      {"Enter", 36},
      {"Tab", 48},
      {"Space", 49},
      {"Backspace", 51},
      {"Delete", 117},
      {"Escape", 53},
      {"ArrowUp", 126},
      {"ArrowDown", 125},
      {"ArrowLeft", 123},
      {"ArrowRight", 124},
      {"Home", 115},
      {"End", 119},
      {"PageUp", 116},
      {"PageDown", 121},
      // Function keys
      {"F1", 122},
      {"F2", 120},
      {"F3", 99},
      {"F4", 118},
      {"F5", 96},
      {"F6", 97},
      {"F7", 98},
      {"F8", 100},
      {"F9", 101},
      {"F10", 109},
      {"F11", 103},
      {"F12", 111},
      {"F13", 105},
      {"F14", 107},
      {"F15", 113},
      {"F16", 106},
      {"F17", 64},
      {"F18", 79},
      {"F19", 80},
      {"F20", 90},
      // Modifier keys
      {"MetaLeft", 55},
      {"MetaRight", 54},
      {"ShiftLeft", 56},
      {"ShiftRight", 60},
      {"AltLeft", 58},
      {"AltRight", 61},
      {"ControlLeft", 59},
      {"ControlRight", 62},
      {"CapsLock", 57},
      {"Fn", 63},
      // Keypad
      {"Numpad0", 82},
      {"Numpad1", 83},
      {"Numpad2", 84},
      {"Numpad3", 85},
      {"Numpad4", 86},
      {"Numpad5", 87},
      {"Numpad6", 88},
      {"Numpad7", 89},
      {"Numpad8", 91},
      {"Numpad9", 92},
      {"NumpadDecimal", 65},
      {"NumpadMultiply", 67},
      {"NumpadAdd", 69},
      {"NumpadSubtract", 78},
      {"NumpadDivide", 75},
      {"NumpadEnter", 76},
      {"NumpadEqual", 81},
      {"NumLock", 71},
  };
  keyValueFallback = {
      // Letters, lower case only
      {"a", 0},
      {"b", 11},
      {"c", 8},
      {"d", 2},
      {"e", 14},
      {"f", 3},
      {"g", 5},
      {"h", 4},
      {"i", 34},
      {"j", 38},
      {"k", 40},
      {"l", 37},
      {"m", 46},
      {"n", 45},
      {"o", 31},
      {"p", 35},
      {"q", 12},
      {"r", 15},
      {"s", 1},
      {"t", 17},
      {"u", 32},
      {"v", 9},
      {"w", 13},
      {"x", 7},
      {"y", 16},
      {"z", 6},
      // Digits
      {"0", 29},
      {"1", 18},
      {"2", 19},
      {"3", 20},
      {"4", 21},
      {"5", 23},
      {"6", 22},
      {"7", 26},
      {"8", 28},
      {"9", 25},
      // Named keys
      {"Enter", 36},
      {"Tab", 48},
      {" ", 49},
      {"Backspace", 51},
      {"Delete", 117},
      {"Escape", 53},
      {"ArrowUp", 126},
      {"ArrowDown", 125},
      {"ArrowLeft", 123},
      {"ArrowRight", 124},
      {"Home", 115},
      {"End", 119},
      {"PageUp", 116},
      {"PageDown", 121},
      // Punctuation
      {"-", 27},
      {"=", 24},
      {"[", 33},
      {"]", 30},
      {";", 41},
      {"'", 39},
      {"`", 50},
      {",", 43},
      {".", 47},
      {"/", 44},
      {"\\", 42},
  };
}

std::optional<std::uint16_t> resolveKeyCode(const InputEvent& event) {
  if (event.code) {
    if (auto it = browserCodeToKeyCode.find(*event.code); it != browserCodeToKeyCode.end()) return it->second;
  }
  if (!event.key) return std::nullopt;
  if (auto it = keyValueFallback.find(*event.key); it != keyValueFallback.end()) return it->second;
  if (text::isSingleGrapheme(*event.key)) {
    if (auto it = keyValueFallback.find(text::toLowerFull(*event.key)); it != keyValueFallback.end()) return it->second;
  }
  return std::nullopt;
}

std::uint64_t buildFlags(const std::optional<Modifiers>& modifiers) {
  if (!modifiers) return 0;
  std::uint64_t flags = 0;
  if (modifiers->cmd.value_or(false)) flags |= platform::kEventFlagMaskCommand;
  if (modifiers->ctrl.value_or(false)) flags |= platform::kEventFlagMaskControl;
  if (modifiers->alt.value_or(false)) flags |= platform::kEventFlagMaskAlternate;
  if (modifiers->shift.value_or(false)) flags |= platform::kEventFlagMaskShift;
  return flags;
}

namespace {

void postKey(const InputEvent& event, bool keyDown) {
  auto code = resolveKeyCode(event);
  if (!code) return;
  auto keyEvent = platform::eventCreateKeyboardEvent(eventSource.get(), *code, keyDown);
  if (!keyEvent) return;
  // Set even when 0, so the event never inherits flags from the source's state.
  platform::eventSetFlags(*keyEvent, buildFlags(event.modifiers));
  platform::eventPost(platform::kHIDEventTap, *keyEvent);
}

}  // namespace

void handleKeyDown(const InputEvent& event) { postKey(event, true); }
void handleKeyUp(const InputEvent& event) { postKey(event, false); }

}  // namespace relaypost
