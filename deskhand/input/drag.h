// Dragging with the left button along a straight line or through waypoints.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace deskhand {

inline constexpr std::int64_t kDefaultDragSteps = 10;
inline constexpr std::uint32_t kDragStepMicroseconds = 16'000;

// The points at 1/steps, 2/steps, ..., steps/steps of the way from (fromX, fromY) to (toX, toY); the
// start is not included. Empty when steps <= 0.
std::vector<platform::Point> interpolatePoints(double fromX, double fromY, double toX, double toY, std::int64_t steps);

// Presses at the start, holds, moves through the waypoints (or straight) in steps per segment, and
// releases at the destination. Absent or empty waypoints: a straight drag.
bool mouseDrag(double fromX, double fromY, double toX, double toY, std::int64_t steps = kDefaultDragSteps,
               const std::optional<std::vector<platform::Point>>& waypoints = std::nullopt, double holdSeconds = 0);

// The options of the drag command that follow the four coordinates.
struct DragOptions {
  std::int64_t steps = kDefaultDragSteps;
  std::optional<std::vector<platform::Point>> waypoints;
};

// Scans "--steps N" and "--path x1,y1 ..." among the tokens after the coordinates; other tokens are
// skipped. Never fails.
DragOptions scanDragOptions(const std::vector<std::string>& tokens);

}  // namespace deskhand
