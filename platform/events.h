// Event posting service: synthetic mouse, wheel and keyboard events posted as hardware input.
// Events are plain records; only source creation, event creation and posting reach the backend.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/geometry.h"

namespace platform {

inline constexpr std::uint32_t kEventSourceStateHIDSystemState = 1;

inline constexpr std::uint32_t kEventLeftMouseDown = 1;
inline constexpr std::uint32_t kEventLeftMouseUp = 2;
inline constexpr std::uint32_t kEventRightMouseDown = 3;
inline constexpr std::uint32_t kEventRightMouseUp = 4;
inline constexpr std::uint32_t kEventMouseMoved = 5;
inline constexpr std::uint32_t kEventLeftMouseDragged = 6;
inline constexpr std::uint32_t kEventRightMouseDragged = 7;

inline constexpr std::uint32_t kMouseButtonLeft = 0;
inline constexpr std::uint32_t kMouseButtonRight = 1;

inline constexpr std::uint32_t kScrollEventUnitPixel = 0;
inline constexpr std::uint32_t kScrollEventUnitLine = 1;

inline constexpr std::uint64_t kEventFlagMaskShift = 0x20000;
inline constexpr std::uint64_t kEventFlagMaskControl = 0x40000;
inline constexpr std::uint64_t kEventFlagMaskAlternate = 0x80000;
inline constexpr std::uint64_t kEventFlagMaskCommand = 0x100000;
inline constexpr std::uint64_t kEventFlagMaskSecondaryFn = 0x800000;

inline constexpr std::uint32_t kMouseEventClickState = 1;
inline constexpr std::uint32_t kHIDEventTap = 0;

struct EventSourceData;
struct EventSourceDeleter {
  void operator()(EventSourceData* source) const;
};
// Null when creation failed.
using EventSource = std::unique_ptr<EventSourceData, EventSourceDeleter>;

EventSource eventSourceCreate(std::uint32_t stateId);

enum class EventKind { mouse, keyboard, scrollWheel };

struct Event {
  EventKind kind = EventKind::mouse;
  // mouse
  std::uint32_t type = 0;
  Point location;
  std::uint32_t button = 0;
  std::optional<std::int64_t> clickState;  // absent until set
  // every kind
  std::optional<std::uint64_t> flags;  // absent until set
  // keyboard
  std::uint16_t keyCode = 0;
  bool keyDown = false;
  std::optional<std::u16string> text;  // the characters the event types, when attached
  // scroll wheel
  std::uint32_t scrollUnit = 0;
  std::uint32_t wheelCount = 0;
  std::array<std::int32_t, 3> wheels{0, 0, 0};
};

// Each gives nothing when the event cannot be created. The source may be null.
std::optional<Event> eventCreateMouseEvent(const EventSourceData* source, std::uint32_t type, Point location,
                                           std::uint32_t button);
std::optional<Event> eventCreateKeyboardEvent(const EventSourceData* source, std::uint16_t virtualKey, bool keyDown);
std::optional<Event> eventCreateScrollWheelEvent2(const EventSourceData* source, std::uint32_t unit,
                                                  std::uint32_t wheelCount, std::int32_t wheel1, std::int32_t wheel2,
                                                  std::int32_t wheel3);

inline void eventKeyboardSetUnicodeString(Event& event, std::u16string_view units) {
  event.text = std::u16string(units);
}
inline void eventSetFlags(Event& event, std::uint64_t flags) { event.flags = flags; }
inline void eventSetIntegerValueField(Event& event, std::uint32_t field, std::int64_t value) {
  if (field == kMouseEventClickState) event.clickState = value;
}

// Delivers the event into the input stream; posting cannot fail from the caller's view.
void eventPost(std::uint32_t tap, const Event& event);

// While deferred, posted events may wait in the process's own output buffer, in order, so that a caller
// with more input already waiting sends a batch at once. Ending the deferral sends what waits; a caller
// ends it before it blocks.
void eventSetDeliveryDeferred(bool deferred);

}  // namespace platform
