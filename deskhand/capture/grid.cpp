#include "deskhand/capture/grid.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/number_syntax.h"
#include "deskhand/capture/labels.h"
#include "deskhand/capture/screen_capture.h"
#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "platform/display.h"
#include "platform/image.h"

namespace deskhand {
namespace {

// Truncation toward zero when the value fits a signed 64-bit integer.
std::optional<std::int64_t> truncated(double value) {
  // 2^63 is exactly representable; every double below it in magnitude converts without overflow.
  constexpr double limit = 9223372036854775808.0;
  if (!std::isfinite(value) || value >= limit || value < -limit) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

std::optional<platform::DecodedBitmap> readPicture(const std::string& path) {
  std::optional<std::vector<std::uint8_t>> bytes = platform::fileRead(path);
  if (!bytes) return std::nullopt;
  return platform::pngDecode(*bytes);
}

bool writePicture(const std::string& path, const std::optional<std::vector<std::uint8_t>>& png) {
  return png && platform::fileWrite(path, *png);
}

}  // namespace

std::optional<PixelRect> cropRectangle(platform::Rect region, platform::Rect displayBounds, int pixelsWide,
                                       int pixelsHigh) {
  const double sx = pixelsWide / displayBounds.size.width;
  const double sy = pixelsHigh / displayBounds.size.height;
  const auto px = truncated((region.origin.x - displayBounds.origin.x) * sx);
  const auto py = truncated((region.origin.y - displayBounds.origin.y) * sy);
  const auto pw = truncated(region.size.width * sx);
  const auto ph = truncated(region.size.height * sy);
  if (!px || !py || !pw || !ph || *pw < 0 || *ph < 0) return std::nullopt;
  PixelRect rect;
  rect.left = std::max<std::int64_t>(0, std::min<std::int64_t>(*px, pixelsWide));
  rect.top = std::max<std::int64_t>(0, std::min<std::int64_t>(*py, pixelsHigh));
  rect.width = std::min<std::int64_t>(*pw, pixelsWide - rect.left);
  rect.height = std::min<std::int64_t>(*ph, pixelsHigh - rect.top);
  if (rect.width <= 0 || rect.height <= 0) return std::nullopt;
  return rect;
}

bool cropScreenshot(const std::string& path, platform::Rect region) {
  const platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  std::optional<platform::DecodedBitmap> source = readPicture(path);
  if (!source) return false;
  const platform::Image& pixels = source->pixels;
  std::optional<PixelRect> rect = cropRectangle(region, bounds, pixels.width, pixels.height);
  if (!rect) return false;

  platform::Image cropped;
  cropped.width = static_cast<int>(rect->width);
  cropped.height = static_cast<int>(rect->height);
  cropped.rgba.resize(static_cast<std::size_t>(cropped.width) * cropped.height * 4);
  const std::size_t rowBytes = static_cast<std::size_t>(cropped.width) * 4;
  for (int y = 0; y < cropped.height; ++y) {
    const std::uint8_t* from =
        pixels.rgba.data() + (static_cast<std::size_t>(rect->top + y) * pixels.width + rect->left) * 4;
    std::copy(from, from + rowBytes, cropped.rgba.data() + y * rowBytes);
  }
  return writePicture(path, platform::pngEncode(cropped));
}

bool drawGridOverlay(const std::string& path, std::int64_t gridSize) {
  if (gridSize < 1 || gridSize > kMaxGridSize) return false;
  std::optional<platform::DecodedBitmap> source = readPicture(path);
  if (!source) return false;
  const int pixelsWide = source->pixels.width;
  const int pixelsHigh = source->pixels.height;
  const double W = pixelsWide;
  const double H = pixelsHigh;

  std::optional<platform::Canvas> canvas = platform::canvasCreate(pixelsWide, pixelsHigh);
  if (!canvas) return false;
  platform::canvasSetSize(*canvas, {W, H});  // one drawing unit is one pixel
  {
    std::optional<platform::DrawingContext> context = platform::drawingContextCreate(*canvas);
    if (!context) return false;
    cairo_t* cr = context->cr.get();
    platform::drawingContextDrawImage(*context, source->pixels, platform::rectMake(0, 0, W, H));

    const auto n = static_cast<double>(gridSize);
    const double cw = W / n;
    const double ch = H / n;
    const double m = std::min(ch, cw);

    cairo_set_source_rgba(cr, 0.9, 0.1, 0.1, 0.85);
    cairo_set_line_width(cr, std::max(1.0, std::min(4.0, m / 40)));
    cairo_new_path(cr);
    for (std::int64_t i = 1; i < gridSize; ++i) {
      cairo_move_to(cr, i * cw, 0);
      cairo_line_to(cr, i * cw, H);
    }
    for (std::int64_t i = 1; i < gridSize; ++i) {
      cairo_move_to(cr, 0, i * ch);
      cairo_line_to(cr, W, i * ch);
    }
    cairo_stroke(cr);

    const double fontSize = std::max(8.0, std::min(60.0, m / 6));
    const Rgba labelColour{0.9, 0.1, 0.1, 1.0};
    for (std::int64_t i = 0; i < gridSize; ++i) {
      for (std::int64_t j = 0; j < gridSize; ++j) {
        const std::string label = "R" + std::to_string(i + 1) + "C" + std::to_string(j + 1);
        const platform::Size box = measureLabel(label, fontSize);
        drawLabel(cr, label, fontSize, labelColour, j * cw + cw / 2 - box.width / 2, i * ch + ch / 2 - box.height / 2);
      }
    }
  }
  platform::canvasSetSize(*canvas, source->nominalSize);
  return writePicture(path, platform::canvasEncodePng(*canvas));
}

GridRequest scanGridArguments(const std::vector<std::string>& tokens) {
  GridRequest request;
  std::size_t i = 0;
  while (i < tokens.size()) {
    if (tokens[i] == "--region" && i + 4 < tokens.size()) {
      const auto x = numbers::parseDecimal(tokens[i + 1]);
      const auto y = numbers::parseDecimal(tokens[i + 2]);
      const auto w = numbers::parseDecimal(tokens[i + 3]);
      const auto h = numbers::parseDecimal(tokens[i + 4]);
      if (x && y && w && h) {
        request.region = platform::rectMake(*x, *y, *w, *h);
        i += 5;
        continue;
      }
    } else if (tokens[i] == "--grid" && i + 1 < tokens.size()) {
      if (const auto n = numbers::parseInt64(tokens[i + 1])) {
        request.gridSize = *n;
        i += 2;
        continue;
      }
    }
    ++i;
  }
  return request;
}

void runScreenshotGrid(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper screenshot-grid <path> --region x y w h --grid <2|3>");
  const std::string& path = args[0];
  const GridRequest request = scanGridArguments(std::vector<std::string>(args.begin() + 1, args.end()));
  if (!request.region) exitWithError("screenshot-grid requires --region x y w h");
  if (!captureScreenToFile(path)) exitWithError("Failed to capture screenshot");
  if (!cropScreenshot(path, *request.region)) exitWithError("Failed to crop screenshot to region");
  if (!drawGridOverlay(path, request.gridSize)) exitWithError("Failed to draw grid overlay");
  printSuccess(path);
}

}  // namespace deskhand
