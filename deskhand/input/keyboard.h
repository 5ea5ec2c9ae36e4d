// Typing text and pressing key combinations.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace deskhand {

// Key name (lower case) -> virtual key code; built once at start-up.
const std::map<std::string, std::uint16_t>& keyCodeMap();

// Presses a key spec such as "cmd+shift+t". An unknown key name writes one line to standard error.
bool pressKey(const std::string& keySpec);

// Types the text in chunks of 20 UTF-16 units.
bool typeText(const std::string& text);

}  // namespace deskhand
