// The simulated clipboard: the world's type list and text.
#include "platform/clipboard.h"

#include "platform/sim/world.h"

namespace platform {

std::optional<std::vector<std::string>> pasteboardTypes() { return sim::world().clipboardTypes; }

std::optional<std::string> pasteboardStringForType(std::string_view type) {
  const sim::World& world = sim::world();
  if (type != kPasteboardTypeString) return std::nullopt;
  return world.clipboardString;
}

}  // namespace platform
