// Measuring and drawing short labels (badge numbers, grid cells) in the bold sans font.
#pragma once

#include <string>

#include "platform/geometry.h"

typedef struct _cairo cairo_t;

namespace deskhand {

struct Rgba {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
};

// The label's box (its advance width and line height) in drawing units at the given size, where one
// unit is one point (one pixel of our pictures).
platform::Size measureLabel(const std::string& label, double pointSize);

// Draws the label with its box's top-left corner at (left, top), top-down coordinates.
void drawLabel(cairo_t* cr, const std::string& label, double pointSize, Rgba colour, double left, double top);

}  // namespace deskhand
