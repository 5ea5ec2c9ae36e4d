#include "relaypost/pointer.h"

#include <algorithm>

#include "platform/display.h"
#include "platform/events.h"
#include "relaypost/state.h"

namespace relaypost {

double clamped(double value, double lower, double upper) { return std::min(std::max(value, lower), upper); }

platform::Point clampToDisplay(double x, double y) {
  const platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  return {clamped(x, platform::rectGetMinX(bounds), platform::rectGetMaxX(bounds)),
          clamped(y, platform::rectGetMinY(bounds), platform::rectGetMaxY(bounds))};
}

std::int32_t wheelValue(double delta) {
  if (delta > 100) return -100;
  if (delta <= -100) return 100;
  return static_cast<std::int32_t>(-delta);  // |delta| < 100 here, so the conversion truncates safely
}

namespace {

void postMouse(std::uint32_t type, platform::Point at, std::uint32_t button) {
  if (auto event = platform::eventCreateMouseEvent(eventSource.get(), type, at, button))
    platform::eventPost(platform::kHIDEventTap, *event);
}

void pressOrRelease(const InputEvent& event, bool press) {
  if (!event.x || !event.y) return;
  const platform::Point at = clampToDisplay(*event.x, *event.y);
  const bool right = event.button && *event.button == "right";
  const std::uint32_t type = right ? (press ? platform::kEventRightMouseDown : platform::kEventRightMouseUp)
                                   : (press ? platform::kEventLeftMouseDown : platform::kEventLeftMouseUp);
  auto mouseEvent = platform::eventCreateMouseEvent(eventSource.get(), type, at,
                                                    right ? platform::kMouseButtonRight : platform::kMouseButtonLeft);
  // An event that was never posted must not change what later moves look like.
  if (!mouseEvent) return;
  if (event.clickCount && *event.clickCount > 0)
    platform::eventSetIntegerValueField(*mouseEvent, platform::kMouseEventClickState, *event.clickCount);
  platform::eventPost(platform::kHIDEventTap, *mouseEvent);
  (right ? rightButtonDown : leftButtonDown) = press;
}

}  // namespace

void handleMouseMove(const InputEvent& event) {
  if (!event.x || !event.y) return;
  const platform::Point at = clampToDisplay(*event.x, *event.y);
  const std::uint32_t type = leftButtonDown    ? platform::kEventLeftMouseDragged
                             : rightButtonDown ? platform::kEventRightMouseDragged
                                               : platform::kEventMouseMoved;
  postMouse(type, at, rightButtonDown ? platform::kMouseButtonRight : platform::kMouseButtonLeft);
}

void handleMouseDown(const InputEvent& event) { pressOrRelease(event, true); }
void handleMouseUp(const InputEvent& event) { pressOrRelease(event, false); }

void handleScroll(const InputEvent& event) {
  if (!event.deltaX || !event.deltaY) return;
  // A plain move even while a button is held: the wheel goes where the viewer's pointer is.
  if (event.x && event.y)
    postMouse(platform::kEventMouseMoved, clampToDisplay(*event.x, *event.y), platform::kMouseButtonLeft);
  if (auto wheel = platform::eventCreateScrollWheelEvent2(eventSource.get(), platform::kScrollEventUnitPixel, 2,
                                                          wheelValue(*event.deltaY), wheelValue(*event.deltaX), 0))
    platform::eventPost(platform::kHIDEventTap, *wheel);
}

}  // namespace relaypost
