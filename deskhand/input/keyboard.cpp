#include "deskhand/input/keyboard.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "common/unicode.h"
#include "platform/clock.h"
#include "platform/events.h"

namespace deskhand {
namespace {

struct Modifier {
  std::string_view word;
  std::uint16_t code;
  std::uint64_t mask;
};

constexpr Modifier kModifiers[] = {
    {"cmd", 55, platform::kEventFlagMaskCommand},      {"command", 55, platform::kEventFlagMaskCommand},
    {"shift", 56, platform::kEventFlagMaskShift},      {"alt", 58, platform::kEventFlagMaskAlternate},
    {"option", 58, platform::kEventFlagMaskAlternate}, {"opt", 58, platform::kEventFlagMaskAlternate},
    {"ctrl", 59, platform::kEventFlagMaskControl},     {"control", 59, platform::kEventFlagMaskControl},
    {"fn", 63, platform::kEventFlagMaskSecondaryFn},
};

constexpr std::uint32_t kModifierPauseMicroseconds = 2'000;
constexpr std::uint32_t kKeyPressMicroseconds = 20'000;
constexpr std::size_t kTypeChunkUnits = 20;
constexpr std::uint32_t kTypeChunkPauseMicroseconds = 5'000;

const Modifier* findModifier(std::string_view piece) {
  for (const Modifier& m : kModifiers)
    if (m.word == piece) return &m;
  return nullptr;
}

// Creates a key event and posts it when it could be created; false when it could not.
bool postKey(const platform::EventSourceData* source, std::uint16_t code, bool down,
             std::optional<std::uint64_t> flags = std::nullopt) {
  std::optional<platform::Event> event = platform::eventCreateKeyboardEvent(source, code, down);
  if (!event) return false;
  if (flags) platform::eventSetFlags(*event, *flags);
  platform::eventPost(platform::kHIDEventTap, *event);
  return true;
}

bool postText(const platform::EventSourceData* source, bool down, std::u16string_view units) {
  std::optional<platform::Event> event = platform::eventCreateKeyboardEvent(source, 0, down);
  if (!event) return false;
  platform::eventKeyboardSetUnicodeString(*event, units);
  platform::eventPost(platform::kHIDEventTap, *event);
  return true;
}

}  // namespace

const std::map<std::string, std::uint16_t>& keyCodeMap() {
  static const std::map<std::string, std::uint16_t> table = {
      // editing and navigation
      {"return", 36},
      {"enter", 36},
      {"tab", 48},
      {"space", 49},
      {"delete", 51},
      {"backspace", 51},
      {"forwarddelete", 117},
      {"escape", 53},
      {"esc", 53},
      {"up", 126},
      {"down", 125},
      {"left", 123},
      {"right", 124},
      {"home", 115},
      {"end", 119},
      {"pageup", 116},
      {"pagedown", 121},
      // function keys
      {"f1", 122},
      {"f2", 120},
      {"f3", 99},
      {"f4", 118},
      {"f5", 96},
      {"f6", 97},
      {"f7", 98},
      {"f8", 100},
      {"f9", 101},
      {"f10", 109},
      {"f11", 103},
      {"f12", 111},
      // letters
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
      // digits
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
      // punctuation
      {"-", 27},
      {"=", 24},
      {"[", 33},
      {"]", 30},
      {";", 41},
      {"'", 39},
      {",", 43},
      {".", 47},
      {"/", 44},
      {"\\", 42},
      {"`", 50},
  };
  return table;
}

KeySpec parseKeySpec(const std::string& keySpec) {
  KeySpec spec;
  std::string lower = text::toLowerFull(keySpec);
  std::size_t start = 0;
  while (start <= lower.size()) {
    std::size_t plus = lower.find('+', start);
    if (plus == std::string::npos) plus = lower.size();
    if (plus > start) {
      std::string piece = lower.substr(start, plus - start);
      if (const Modifier* m = findModifier(piece)) {
        spec.modifierCodes.push_back(m->code);
        spec.flags |= m->mask;
      } else {
        spec.keyName = std::move(piece);
      }
    }
    start = plus + 1;
  }
  return spec;
}

bool pressKey(const std::string& keySpec) {
  KeySpec spec = parseKeySpec(keySpec);
  auto key = keyCodeMap().find(spec.keyName);
  if (key == keyCodeMap().end()) {
    std::string line = "Unsupported key: '" + spec.keyName + "'\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return false;
  }
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  // Events that cannot be created are skipped: a lost modifier still lets the rest of the chord through.
  for (std::uint16_t code : spec.modifierCodes) {
    postKey(source.get(), code, true);
    platform::sleepMicroseconds(kModifierPauseMicroseconds);
  }
  postKey(source.get(), key->second, true, spec.flags);
  platform::sleepMicroseconds(kKeyPressMicroseconds);
  postKey(source.get(), key->second, false, spec.flags);
  for (auto code = spec.modifierCodes.rbegin(); code != spec.modifierCodes.rend(); ++code) {
    postKey(source.get(), *code, false);
    platform::sleepMicroseconds(kModifierPauseMicroseconds);
  }
  return true;
}

bool typeText(const std::string& text) {
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  std::u16string units = text::toUtf16(text);
  // Chunks are cut by code units, not characters: a surrogate pair may straddle two events.
  for (std::size_t start = 0; start < units.size(); start += kTypeChunkUnits) {
    std::u16string_view chunk = std::u16string_view(units).substr(start, kTypeChunkUnits);
    if (!postText(source.get(), true, chunk)) return false;
    if (!postText(source.get(), false, chunk)) return false;
    platform::sleepMicroseconds(kTypeChunkPauseMicroseconds);
  }
  return true;
}

}  // namespace deskhand
