#include "deskhand/capture/annotate.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

#include "deskhand/capture/labels.h"
#include "deskhand/capture/screen_capture.h"
#include "platform/display.h"
#include "platform/image.h"

namespace deskhand {

namespace {

constexpr double kSmallDiameter = 24;
constexpr double kLargeDiameter = 30;
constexpr double kSmallFontSize = 12;
constexpr double kLargeFontSize = 10;
// The badge sits just above and left of the element's corner, so it does not hide the element's text.
constexpr double kBadgeOffset = 2;
constexpr double kOutlineWidth = 1.5;
constexpr Rgba kBadgeFill{0.9, 0.1, 0.1, 0.95};
constexpr Rgba kWhite{1, 1, 1, 1};

void drawBadge(cairo_t* cr, const std::string& label, const BadgeGeometry& badge) {
  const double d = badge.square.size.width;
  const double centreX = badge.square.origin.x + d * 0.5;
  const double centreY = badge.square.origin.y + d * 0.5;
  cairo_new_path(cr);
  cairo_arc(cr, centreX, centreY, d * 0.5, 0, 2 * std::numbers::pi);
  cairo_set_source_rgba(cr, kBadgeFill.red, kBadgeFill.green, kBadgeFill.blue, kBadgeFill.alpha);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, kWhite.red, kWhite.green, kWhite.blue, kWhite.alpha);
  cairo_set_line_width(cr, kOutlineWidth);
  cairo_stroke(cr);

  platform::Size box = measureLabel(label, badge.fontSize);
  drawLabel(cr, label, badge.fontSize, kWhite, badge.square.origin.x + (d - box.width) * 0.5,
            badge.square.origin.y + (d - box.height) * 0.5);
}

}  // namespace

BadgeGeometry badgeGeometry(std::int64_t number, double x, double y, double displayWidth, double displayHeight) {
  const bool large = std::to_string(number).size() >= 3;
  const double d = large ? kLargeDiameter : kSmallDiameter;
  // The rules run in this order, so on a picture narrower or lower than a badge the right and top
  // edges win.
  double left = std::max(0.0, x - kBadgeOffset);
  if (left + d > displayWidth) left = displayWidth - d;
  double top = std::min(y - kBadgeOffset, displayHeight - d);
  top = std::max(0.0, top);
  return BadgeGeometry{platform::rectMake(left, top, d, d), large ? kLargeFontSize : kSmallFontSize};
}

bool generateAnnotatedScreenshot(const std::vector<ElementInfo>& elements, const std::string& outputPath) {
  const platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  const double width = platform::rectGetWidth(bounds);
  const double height = platform::rectGetHeight(bounds);

  if (!captureScreenToFile(outputPath)) return false;
  if (elements.empty()) return true;

  auto bytes = platform::fileRead(outputPath);
  if (!bytes) return false;
  auto source = platform::pngDecode(*bytes);
  if (!source) return false;

  auto canvas = platform::canvasCreate(source->pixels.width, source->pixels.height);
  if (!canvas) return false;
  platform::canvasSetSize(*canvas, platform::Size{width, height});
  {
    // The context lives only while drawing: it is gone (and its drawing flushed) before encoding.
    auto context = platform::drawingContextCreate(*canvas);
    if (!context) return false;
    platform::drawingContextDrawImage(*context, source->pixels, platform::rectMake(0, 0, width, height));
    for (const auto& element : elements) {
      // Coordinates are global points; the picture's origin is the display's.
      BadgeGeometry badge = badgeGeometry(element.number, element.x - platform::rectGetMinX(bounds),
                                          element.y - platform::rectGetMinY(bounds), width, height);
      drawBadge(context->cr.get(), std::to_string(element.number), badge);
    }
  }

  auto png = platform::canvasEncodePng(*canvas);
  if (!png) return false;
  return platform::fileWrite(outputPath, *png);
}

}  // namespace deskhand
