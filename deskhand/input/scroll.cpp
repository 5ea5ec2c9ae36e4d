#include "deskhand/input/scroll.h"

#include "common/number_syntax.h"
#include "deskhand/input/mouse.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/events.h"

namespace deskhand {
namespace {

constexpr std::uint32_t kSettleBeforeWheelMicroseconds = 50'000;
constexpr std::uint32_t kWheelStepMicroseconds = 16'000;

}  // namespace

bool scroll(const std::string& direction, std::int32_t steps, std::optional<double> atX, std::optional<double> atY) {
  platform::EventSource source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  if (!source) return false;
  platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  platform::Point target{atX ? *atX : platform::rectGetMidX(bounds), atY ? *atY : platform::rectGetMidY(bounds)};
  moveMouse(target, source.get());
  platform::sleepMicroseconds(kSettleBeforeWheelMicroseconds);
  std::int32_t amount = direction == "down" ? -kScrollLinesPerStep : kScrollLinesPerStep;
  // A negative count scrolls nothing, like zero.
  for (std::int32_t i = 0; i < steps; ++i) {
    std::optional<platform::Event> wheel =
        platform::eventCreateScrollWheelEvent2(source.get(), platform::kScrollEventUnitLine, 1, amount, 0, 0);
    if (!wheel) return false;
    platform::eventPost(platform::kHIDEventTap, *wheel);
    platform::sleepMicroseconds(kWheelStepMicroseconds);
  }
  return true;
}

ScrollOptions scanScrollOptions(const std::vector<std::string>& tokens) {
  ScrollOptions options;
  std::size_t i = 0;
  while (i < tokens.size()) {
    if (tokens[i] == "--at" && i + 2 < tokens.size()) {
      options.atX = numbers::parseDecimal(tokens[i + 1]);
      options.atY = numbers::parseDecimal(tokens[i + 2]);
      i += 3;
      continue;
    }
    // The first token that changes the count fixes it; later ones are ignored.
    if (options.steps == kDefaultScrollSteps)
      options.steps = numbers::parseInt32(tokens[i]).value_or(kDefaultScrollSteps);
    ++i;
  }
  return options;
}

}  // namespace deskhand
