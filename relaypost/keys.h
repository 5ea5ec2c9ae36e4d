// Remote keys: browser key names and values to virtual key codes, modifier flags, key events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "relaypost/input_event.h"

namespace relaypost {

using KeyTable = std::unordered_map<std::string, std::uint16_t>;

// Browser physical key name ("KeyA", "ArrowUp") -> virtual key code; filled by buildKeyTables.
extern KeyTable browserCodeToKeyCode;
// Browser key value ("a", "Enter", " ") -> virtual key code, for events whose code is unknown.
extern KeyTable keyValueFallback;

// Fills both tables (the code table first); done once at start-up.
void buildKeyTables();

// The code's entry; else the key value's entry; else, for a key value of one user-perceived
// character, the entry of its lower-case form.
std::optional<std::uint16_t> resolveKeyCode(const InputEvent& event);

// The event flag mask of the modifiers that are true; 0 when there are none.
std::uint64_t buildFlags(const std::optional<Modifiers>& modifiers);

void handleKeyDown(const InputEvent& event);
void handleKeyUp(const InputEvent& event);

}  // namespace relaypost
