// Typing text and pressing key combinations.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace deskhand {

// Key name (lower case) -> virtual key code; built once at start-up.
const std::map<std::string, std::uint16_t>& keyCodeMap();

// A key spec read into its parts: modifiers in spec order (repeats kept), the union of their flag
// masks, and the last non-modifier piece (empty when there is none).
struct KeySpec {
  std::vector<std::uint16_t> modifierCodes;
  std::uint64_t flags = 0;
  std::string keyName;
};

// Lower-cases the key spec (full Unicode mapping) and splits it at "+", dropping empty pieces.
KeySpec parseKeySpec(const std::string& keySpec);

// Presses a key spec such as "cmd+shift+t". An unknown key name writes one line to standard error.
bool pressKey(const std::string& keySpec);

// Types the text in chunks of 20 UTF-16 units.
bool typeText(const std::string& text);

}  // namespace deskhand
