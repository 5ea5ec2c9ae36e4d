// screenshot-grid: a capture cropped to a region of the display, with a labelled grid drawn over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace deskhand {

// Largest grid accepted: n x n labels are drawn, so an unbounded size would never finish.
inline constexpr std::int64_t kMaxGridSize = 100;

// A rectangle in whole pixels, top-left origin.
struct PixelRect {
  std::int64_t left = 0;
  std::int64_t top = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
};

// The pixels of a picture (pixelsWide x pixelsHigh, covering displayBounds) that a region in global
// points covers: values truncated toward zero, the origin clamped at the picture's top-left corner
// without shortening the size, the size cut at the right and bottom edges. Nothing when the region
// has a non-finite or out-of-range value, a negative width or height, or covers no pixel.
std::optional<PixelRect> cropRectangle(platform::Rect region, platform::Rect displayBounds, int pixelsWide,
                                       int pixelsHigh);

// Replaces the PNG at the path by the pixels of the region (no resampling). False on any failure.
bool cropScreenshot(const std::string& path, platform::Rect region);

// Replaces the PNG at the path by itself with an n x n grid of lines and R<row>C<column> labels drawn
// over it. Sizes below 1 or above kMaxGridSize are refused (false).
bool drawGridOverlay(const std::string& path, std::int64_t gridSize);

// The arguments of screenshot-grid after the path: the last well-formed "--region x y w h" and
// "--grid n" win; malformed ones are skipped token by token.
struct GridRequest {
  std::optional<platform::Rect> region;
  std::int64_t gridSize = 3;
};
GridRequest scanGridArguments(const std::vector<std::string>& tokens);

}  // namespace deskhand
