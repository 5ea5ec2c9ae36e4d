#include "relaypost/relay.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "common/unicode.h"
#include "platform/application.h"
#include "platform/events.h"
#include "relaypost/keys.h"
#include "relaypost/pointer.h"
#include "relaypost/state.h"

namespace relaypost {

platform::EventSource eventSource;
bool leftButtonDown = false;
bool rightButtonDown = false;

void startUp() {
  buildKeyTables();
  eventSource = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  leftButtonDown = false;
  rightButtonDown = false;
  platform::applicationSetActivationPolicy(platform::kApplicationActivationPolicyAccessory);
  // The decoder keeps nothing between lines (see decodeInputEvent), so there is nothing more to make.
}

void dispatch(const InputEvent& event) {
  const std::string& type = event.type;
  if (type == "mousemove") {
    handleMouseMove(event);
  } else if (type == "mousedown") {
    handleMouseDown(event);
  } else if (type == "mouseup") {
    handleMouseUp(event);
  } else if (type == "scroll") {
    handleScroll(event);
  } else if (type == "keydown") {
    handleKeyDown(event);
  } else if (type == "keyup") {
    handleKeyUp(event);
  }
}

void handleLine(std::string_view line) {
  try {
    // Checked before trimming so that no byte sequence is ever reinterpreted; the JSON parser
    // would reject invalid UTF-8 inside strings anyway, this also covers bytes outside them.
    if (!text::isValidUtf8(line)) return;
    const std::string_view trimmed = text::trimWhitespace(line);
    if (trimmed.empty()) return;
    if (auto event = decodeInputEvent(trimmed)) dispatch(*event);
  } catch (const std::exception&) {
    // Only resource exhaustion gets here (a huge line); the line is dropped like any bad one.
  }
}

namespace {

constexpr std::size_t readBlockSize = 1 << 16;
// A line longer than this leaves its buffer behind; a huge line should not pin its memory for the
// rest of the run.
constexpr std::size_t keptCarryCapacity = 1 << 20;

void releaseCarry(std::string& carry) {
  if (carry.capacity() > keptCarryCapacity) {
    std::string().swap(carry);
  } else {
    carry.clear();
  }
}

}  // namespace

int runReadLoop(int fd) {
  std::vector<char> block(readBlockSize);
  // The start of a line that continues past the current block.
  std::string carry;
  for (;;) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // end of input, or an input that can no longer be read
    // The lines of one block were already waiting: their events leave together once the block is
    // handled, before the next read can block.
    platform::eventSetDeliveryDeferred(true);
    const char* p = block.data();
    const char* const end = p + got;
    while (p < end) {
      const auto* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (!newline) {
        carry.append(p, end);
        break;
      }
      if (carry.empty()) {
        handleLine(std::string_view(p, static_cast<std::size_t>(newline - p)));
      } else {
        carry.append(p, newline);
        handleLine(carry);
        releaseCarry(carry);
      }
      p = newline + 1;
    }
    platform::eventSetDeliveryDeferred(false);
  }
  if (!carry.empty()) handleLine(carry);
  return 0;
}

}  // namespace relaypost
