#include "deskhand/input/drag.h"

#include <cmath>

#include "common/number_syntax.h"
#include "deskhand/input/mouse.h"
#include "platform/clock.h"
#include "platform/events.h"

namespace deskhand {
namespace {

bool startsWithDashes(const std::string& token) { return token.rfind("--", 0) == 0; }

// "x,y" with empty pieces dropped, so ",1,2" reads as (1, 2); anything but two numbers is no point.
std::optional<platform::Point> parseWaypoint(const std::string& token) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= token.size()) {
    std::size_t comma = token.find(',', start);
    if (comma == std::string::npos) comma = token.size();
    if (comma > start) pieces.push_back(token.substr(start, comma - start));
    start = comma + 1;
  }
  if (pieces.size() != 2) return std::nullopt;
  std::optional<double> x = numbers::parseDecimal(pieces[0]);
  std::optional<double> y = numbers::parseDecimal(pieces[1]);
  if (!x || !y) return std::nullopt;
  return platform::Point{*x, *y};
}

}  // namespace

std::vector<platform::Point> interpolatePoints(double fromX, double fromY, double toX, double toY, std::int64_t steps) {
  std::vector<platform::Point> points;
  if (steps <= 0) return points;
  for (std::int64_t i = 1; i <= steps; ++i) {
    double t = static_cast<double>(i) / static_cast<double>(steps);
    points.push_back({(toX - fromX) * t + fromX, (toY - fromY) * t + fromY});
  }
  return points;
}

bool mouseDrag(double fromX, double fromY, double toX, double toY, std::int64_t steps,
               const std::optional<std::vector<platform::Point>>& waypoints, double holdSeconds) {
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  platform::Point start{fromX, fromY};
  moveMouse(start, source.get());
  std::optional<platform::Event> press =
      platform::eventCreateMouseEvent(source.get(), platform::kEventLeftMouseDown, start, platform::kMouseButtonLeft);
  if (!press) return false;
  platform::eventPost(platform::kHIDEventTap, *press);
  sleepForHold(holdSeconds);

  std::vector<platform::Point> sequence;
  if (waypoints && !waypoints->empty()) {
    platform::Point from = start;
    for (const platform::Point& to : *waypoints) {
      std::vector<platform::Point> segment = interpolatePoints(from.x, from.y, to.x, to.y, steps);
      sequence.insert(sequence.end(), segment.begin(), segment.end());
      from = to;
    }
  } else {
    sequence = interpolatePoints(fromX, fromY, toX, toY, steps);
  }

  platform::Point last = start;
  for (const platform::Point& point : sequence) {
    // != is true for a not-a-number coordinate, so such a point always counts as a move.
    if (point.x != last.x || point.y != last.y) {
      std::optional<platform::Event> drag = platform::eventCreateMouseEvent(
          source.get(), platform::kEventLeftMouseDragged, point, platform::kMouseButtonLeft);
      if (drag) {
        platform::eventPost(platform::kHIDEventTap, *drag);
        last = point;
      }
    }
    platform::sleepMicroseconds(kDragStepMicroseconds);
  }

  std::optional<platform::Event> release = platform::eventCreateMouseEvent(source.get(), platform::kEventLeftMouseUp,
                                                                           {toX, toY}, platform::kMouseButtonLeft);
  if (!release) return false;
  platform::eventPost(platform::kHIDEventTap, *release);
  return true;
}

DragOptions scanDragOptions(const std::vector<std::string>& tokens) {
  DragOptions options;
  std::size_t i = 0;
  while (i < tokens.size()) {
    const std::string& token = tokens[i];
    if (token == "--steps") {
      std::optional<std::int64_t> steps = i + 1 < tokens.size() ? numbers::parseInt64(tokens[i + 1]) : std::nullopt;
      if (steps) {
        options.steps = *steps;
        i += 2;
      } else {
        i += 1;
      }
    } else if (token == "--path") {
      options.waypoints.emplace();
      ++i;
      for (; i < tokens.size() && !startsWithDashes(tokens[i]); ++i)
        if (std::optional<platform::Point> point = parseWaypoint(tokens[i])) options.waypoints->push_back(*point);
    } else {
      ++i;
    }
  }
  return options;
}

}  // namespace deskhand
