// One line of relaypost's standard input: a browser-shaped pointer, wheel or keyboard event.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace relaypost {

struct Modifiers {
  std::optional<bool> cmd;
  std::optional<bool> ctrl;
  std::optional<bool> alt;
  std::optional<bool> shift;

  bool operator==(const Modifiers&) const = default;
};

struct InputEvent {
  std::string type;
  std::optional<double> x;
  std::optional<double> y;
  std::optional<std::string> button;
  std::optional<std::int64_t> clickCount;
  std::optional<double> deltaX;
  std::optional<double> deltaY;
  std::optional<std::string> key;
  std::optional<std::string> code;
  std::optional<Modifiers> modifiers;

  bool operator==(const InputEvent&) const = default;
};

// Decodes exactly one JSON object (no surrounding white space needed or allowed beyond JSON's own).
// Nothing when the text is not one JSON object, "type" is missing or null, or a known key holds a
// value of the wrong JSON type; unknown keys are ignored, null means absent, and when a key repeats
// its last value counts.
//
// Numbers: doubles accept any JSON number. "clickCount" accepts a number whose value is an integer in
// the signed 64-bit range, however it is written (2, 2.0 and 2e0 are all 2; 1e3 is 1000); a true
// fraction such as 2.5, or a value outside that range, makes the line invalid. A number too large for
// a double (1e400) is a syntax error of the JSON parser. Text holding a NUL byte is never an event.
std::optional<InputEvent> decodeInputEvent(std::string_view json);

}  // namespace relaypost
