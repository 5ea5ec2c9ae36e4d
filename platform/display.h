// Display services: the main display's rectangle and a capture of its contents.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/geometry.h"
#include "platform/image.h"

namespace platform {

using DisplayID = std::uint32_t;

DisplayID mainDisplayID();

// The display's rectangle in global points. On Linux one point is one pixel.
Rect displayBounds(DisplayID display);

// The display's current contents at device resolution (scale x points), RGBA; nothing on failure.
std::optional<Image> displayCreateImage(DisplayID display);

}  // namespace platform
