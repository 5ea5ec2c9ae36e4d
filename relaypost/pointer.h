// Remote pointer and wheel: mouse moves, presses, releases and scrolls, kept on the main display.
#pragma once

#include <cstdint>

#include "platform/geometry.h"
#include "relaypost/input_event.h"

namespace relaypost {

// The value limited to [lower, upper]: the larger of value and lower, then the smaller of that and upper.
double clamped(double value, double lower, double upper);

// The nearest point of the main display, its far edges included; the bounds are read afresh each call.
platform::Point clampToDisplay(double x, double y);

// A browser wheel delta (positive: content scrolls down) as a wheel value (positive: scroll up),
// at most 100 pixels either way, truncated toward zero.
std::int32_t wheelValue(double delta);

void handleMouseMove(const InputEvent& event);
void handleMouseDown(const InputEvent& event);
void handleMouseUp(const InputEvent& event);
void handleScroll(const InputEvent& event);

}  // namespace relaypost
