// Clicks with an optional hold, and the two steps that clicks and drags share: moving the pointer to
// the target and holding a button down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/geometry.h"

namespace deskhand {

// Inclusive upper bound of a hold, in seconds; built once at start-up.
double maxHoldSeconds();

// Pause after moving the pointer, and the press time used when no hold is given.
inline constexpr std::uint32_t kMoveSettleMicroseconds = 25'000;
inline constexpr std::uint32_t kDefaultPressMicroseconds = 20'000;

// Posts a move event at the point when one can be created (a failure is ignored), then settles.
void moveMouse(platform::Point point, const platform::EventSourceData* source);

// Holds for holdSeconds when positive, else for the default press time.
void sleepForHold(double holdSeconds);

// A hold in seconds as a pause in microseconds, truncated (and kept within 32 bits).
std::uint32_t holdMicroseconds(double holdSeconds);

bool mouseClick(double x, double y, double holdSeconds);
bool doubleClick(double x, double y);
bool rightClick(double x, double y);

// True when the token is one floating-point literal as "--hold-seconds" takes it: an optional sign,
// then decimal digits with an optional fraction and exponent, a hexadecimal significand with an
// optional binary exponent, or inf / infinity / nan in any letter case. No white space.
bool isHoldLiteral(const std::string& token);

// The value of the first "--hold-seconds" among the arguments, 0 when absent. A missing or bad value
// ends the process through exitWithError.
double parseHoldSeconds(const std::vector<std::string>& args);

}  // namespace deskhand
