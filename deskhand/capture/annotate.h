// The observe screenshot: a capture of the main display with a numbered badge at each element.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "deskhand/cli/json_answers.h"
#include "platform/geometry.h"

namespace deskhand {

// Captures the main display to the path and draws one badge per element over it, in list order (a
// later badge covers an earlier one). An empty list leaves the plain capture. False on any failure.
bool generateAnnotatedScreenshot(const std::vector<ElementInfo>& elements, const std::string& outputPath);

// A badge's square in picture coordinates (top-down) for an element whose top-left corner is at
// (x, y) relative to the display's origin, pushed inside the picture; and its label's point size.
struct BadgeGeometry {
  platform::Rect square;
  double fontSize = 0;
};
BadgeGeometry badgeGeometry(std::int64_t number, double x, double y, double displayWidth, double displayHeight);

}  // namespace deskhand
