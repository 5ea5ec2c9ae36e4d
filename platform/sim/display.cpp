// The simulated main display: its bounds from the world and a capture of its fill colour or picture.
#include "platform/display.h"

#include <cmath>

#include "platform/sim/world.h"

namespace platform {

namespace {
constexpr DisplayID kMainDisplay = 1;
}

DisplayID mainDisplayID() {
  sim::world();
  return kMainDisplay;
}

Rect displayBounds(DisplayID display) {
  const sim::World& world = sim::world();
  if (display != kMainDisplay) return {};
  return world.bounds;
}

std::optional<Image> displayCreateImage(DisplayID display) {
  const sim::World& world = sim::world();
  if (sim::fails("capture")) return std::nullopt;
  if (display != kMainDisplay) return std::nullopt;
  if (world.picture) return *world.picture;
  Image image;
  image.width = static_cast<int>(std::trunc(world.bounds.size.width * world.scale));
  image.height = static_cast<int>(std::trunc(world.bounds.size.height * world.scale));
  if (image.width <= 0 || image.height <= 0) return std::nullopt;
  image.rgba.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4);
  for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
    image.rgba[i] = world.fill[0];
    image.rgba[i + 1] = world.fill[1];
    image.rgba[i + 2] = world.fill[2];
    image.rgba[i + 3] = 255;
  }
  return image;
}

}  // namespace platform
