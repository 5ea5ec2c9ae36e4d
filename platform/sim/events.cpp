// Simulated event posting: events are plain records; posting one writes its fields to the journal.
#include "platform/events.h"

#include "common/unicode.h"
#include "platform/sim/world.h"

namespace platform {

struct EventSourceData {
  std::uint32_t stateId = 0;
};

void EventSourceDeleter::operator()(EventSourceData* source) const { delete source; }

EventSource eventSourceCreate(std::uint32_t stateId) {
  if (sim::fails("eventSource")) return nullptr;
  return EventSource(new EventSourceData{stateId});
}

std::optional<Event> eventCreateMouseEvent(const EventSourceData*, std::uint32_t type, Point location,
                                           std::uint32_t button) {
  if (sim::fails("mouseEvent")) return std::nullopt;
  Event event;
  event.kind = EventKind::mouse;
  event.type = type;
  event.location = location;
  event.button = button;
  return event;
}

std::optional<Event> eventCreateKeyboardEvent(const EventSourceData*, std::uint16_t virtualKey, bool keyDown) {
  if (sim::fails("keyboardEvent")) return std::nullopt;
  Event event;
  event.kind = EventKind::keyboard;
  event.keyCode = virtualKey;
  event.keyDown = keyDown;
  return event;
}

std::optional<Event> eventCreateScrollWheelEvent2(const EventSourceData*, std::uint32_t unit, std::uint32_t wheelCount,
                                                  std::int32_t wheel1, std::int32_t wheel2, std::int32_t wheel3) {
  if (sim::fails("scrollEvent")) return std::nullopt;
  Event event;
  event.kind = EventKind::scrollWheel;
  event.scrollUnit = unit;
  event.wheelCount = wheelCount;
  event.wheels = {wheel1, wheel2, wheel3};
  return event;
}

namespace {

nlohmann::ordered_json optionalNumber(const std::optional<std::int64_t>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

}  // namespace

// The journal records events as they are posted; there is no buffer to hold back.
void eventSetDeliveryDeferred(bool) {}

void eventPost(std::uint32_t, const Event& event) {
  nlohmann::ordered_json flags = event.flags ? nlohmann::ordered_json(*event.flags) : nlohmann::ordered_json(nullptr);
  nlohmann::ordered_json line;
  switch (event.kind) {
    case EventKind::mouse:
      line = sim::journalLine("mouse");
      line["type"] = event.type;
      line["x"] = sim::journalNumber(event.location.x);
      line["y"] = sim::journalNumber(event.location.y);
      line["button"] = event.button;
      line["clickState"] = optionalNumber(event.clickState);
      line["flags"] = flags;
      break;
    case EventKind::keyboard:
      line = sim::journalLine("key");
      line["code"] = event.keyCode;
      line["down"] = event.keyDown;
      line["flags"] = flags;
      if (event.text) {
        // A chunk may end inside a surrogate pair: the units say exactly what was attached, the text
        // is readable UTF-8 with any lone surrogate shown as U+FFFD.
        line["text"] = text::toUtf8(*event.text);
        nlohmann::ordered_json units = nlohmann::ordered_json::array();
        for (char16_t unit : *event.text) units.push_back(static_cast<std::uint16_t>(unit));
        line["units"] = units;
      }
      break;
    case EventKind::scrollWheel:
      line = sim::journalLine("scroll");
      line["unit"] = event.scrollUnit;
      line["wheelCount"] = event.wheelCount;
      line["wheels"] = nlohmann::ordered_json::array({event.wheels[0], event.wheels[1], event.wheels[2]});
      if (event.flags) line["flags"] = *event.flags;
      break;
  }
  sim::writeJournal(line);
}

}  // namespace platform
