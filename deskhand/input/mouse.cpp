#include "deskhand/input/mouse.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include "common/number_syntax.h"
#include "deskhand/cli/answers.h"
#include "platform/clock.h"

namespace deskhand {
namespace {

constexpr const char* kHoldOption = "--hold-seconds";
constexpr const char* kHoldNeedsNumber = "--hold-seconds requires a number";

// Creates a mouse event from the source and posts it; false when it could not be created.
bool postMouse(const platform::EventSourceData* source, std::uint32_t type, platform::Point point, std::uint32_t button,
               std::optional<std::int64_t> clickState = std::nullopt) {
  std::optional<platform::Event> event = platform::eventCreateMouseEvent(source, type, point, button);
  if (!event) return false;
  if (clickState) platform::eventSetIntegerValueField(*event, platform::kMouseEventClickState, *clickState);
  platform::eventPost(platform::kHIDEventTap, *event);
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Digits (by the given class) with at most one '.', at least one digit in all; moves `at` past them.
bool scanSignificand(std::string_view s, std::size_t& at, bool (*digit)(char)) {
  std::size_t digits = 0;
  while (at < s.size() && digit(s[at])) ++at, ++digits;
  if (at < s.size() && s[at] == '.') {
    ++at;
    while (at < s.size() && digit(s[at])) ++at, ++digits;
  }
  return digits > 0;
}

// An exponent marker, an optional sign and at least one decimal digit; moves `at` past it.
bool scanExponent(std::string_view s, std::size_t& at) {
  ++at;  // the marker
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
  std::size_t start = at;
  while (at < s.size() && isDigit(s[at])) ++at;
  return at > start;
}

}  // namespace

double maxHoldSeconds() {
  static const double bound = 20.0;
  return bound;
}

std::uint32_t holdMicroseconds(double holdSeconds) {
  double us = holdSeconds * 1'000'000.0;
  // Holds are bounded long before this; the clamp only keeps the conversion defined.
  if (!(us > 0)) return 0;
  if (us >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
    return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(us);
}

void moveMouse(platform::Point point, const platform::EventSourceData* source) {
  postMouse(source, platform::kEventMouseMoved, point, platform::kMouseButtonLeft);
  platform::sleepMicroseconds(kMoveSettleMicroseconds);
}

void sleepForHold(double holdSeconds) {
  platform::sleepMicroseconds(holdSeconds > 0 ? holdMicroseconds(holdSeconds) : kDefaultPressMicroseconds);
}

bool mouseClick(double x, double y, double holdSeconds) {
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  platform::Point at{x, y};
  moveMouse(at, source.get());
  if (!postMouse(source.get(), platform::kEventLeftMouseDown, at, platform::kMouseButtonLeft)) return false;
  sleepForHold(holdSeconds);
  // A failed release leaves the press posted on its own; nothing can take it back.
  return postMouse(source.get(), platform::kEventLeftMouseUp, at, platform::kMouseButtonLeft);
}

bool doubleClick(double x, double y) {
  struct Step {
    std::uint32_t type;
    std::int64_t clickState;
    std::uint32_t pauseAfter;
  };
  static constexpr Step steps[] = {
      {platform::kEventLeftMouseDown, 1, 20'000},
      {platform::kEventLeftMouseUp, 1, 30'000},
      {platform::kEventLeftMouseDown, 2, 20'000},
      {platform::kEventLeftMouseUp, 2, 30'000},
  };
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  platform::Point at{x, y};
  moveMouse(at, source.get());
  for (const Step& step : steps) {
    if (!postMouse(source.get(), step.type, at, platform::kMouseButtonLeft, step.clickState)) return false;
    platform::sleepMicroseconds(step.pauseAfter);
  }
  return true;
}

bool rightClick(double x, double y) {
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  platform::Point at{x, y};
  moveMouse(at, source.get());
  if (!postMouse(source.get(), platform::kEventRightMouseDown, at, platform::kMouseButtonRight)) return false;
  platform::sleepMicroseconds(kDefaultPressMicroseconds);
  return postMouse(source.get(), platform::kEventRightMouseUp, at, platform::kMouseButtonRight);
}

bool isHoldLiteral(const std::string& token) {
  std::string_view s = token;
  std::size_t at = 0;
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
  std::string_view rest = s.substr(at);
  if (equalsIgnoringCase(rest, "inf") || equalsIgnoringCase(rest, "infinity") || equalsIgnoringCase(rest, "nan"))
    return true;
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    at += 2;
    if (!scanSignificand(s, at, isHexDigit)) return false;
    if (at < s.size() && (s[at] == 'p' || s[at] == 'P') && !scanExponent(s, at)) return false;
    return at == s.size();
  }
  if (!scanSignificand(s, at, isDigit)) return false;
  if (at < s.size() && (s[at] == 'e' || s[at] == 'E') && !scanExponent(s, at)) return false;
  return at == s.size();
}

double parseHoldSeconds(const std::vector<std::string>& args) {
  auto option = std::find(args.begin(), args.end(), kHoldOption);
  if (option == args.end()) return 0;
  if (option + 1 == args.end()) exitWithError(kHoldNeedsNumber);
  const std::string& token = *(option + 1);
  std::optional<double> value = isHoldLiteral(token) ? numbers::parseDecimal(token) : std::nullopt;
  if (!value) exitWithError(kHoldNeedsNumber);
  double seconds = *value;
  if (std::isnan(seconds) || seconds < 0 || seconds > maxHoldSeconds())
    exitWithError("--hold-seconds must be between 0 and " + std::to_string(static_cast<long long>(maxHoldSeconds())));
  return seconds;
}

}  // namespace deskhand
