#include "deskhand/capture/screen_capture.h"

#include <cmath>
#include <limits>

#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "platform/display.h"
#include "platform/image.h"

namespace deskhand {
namespace {

// Truncation toward zero of a size in points; a size no bitmap can have becomes 0, which no context accepts.
int truncatedPixels(double points) {
  if (!std::isfinite(points) || points < 0 || points >= static_cast<double>(std::numeric_limits<int>::max())) return 0;
  return static_cast<int>(points);
}

}  // namespace

bool captureScreenToFile(const std::string& path) {
  const platform::DisplayID display = platform::mainDisplayID();
  const platform::Rect bounds = platform::displayBounds(display);
  const int width = truncatedPixels(bounds.size.width);
  const int height = truncatedPixels(bounds.size.height);

  std::optional<platform::Image> capture = platform::displayCreateImage(display);
  if (!capture) return false;

  std::optional<platform::BitmapContext> context = platform::bitmapContextCreate(width, height);
  if (!context) return false;
  // Device pixels scale down to one pixel per point; on a display at one pixel per point this is a copy.
  platform::contextSetInterpolationQuality(*context, platform::InterpolationQuality::high);
  platform::contextDrawImage(*context, *capture, platform::rectMake(0, 0, width, height));
  capture.reset();

  std::optional<platform::Image> bitmap = platform::bitmapContextCreateImage(*context);
  if (!bitmap) return false;
  context.reset();

  std::optional<platform::PngWriter> writer = platform::pngWriterCreate(path);
  if (!writer) return false;
  platform::pngWriterAddImage(*writer, *bitmap);
  return platform::pngWriterFinalize(*writer);
}

void runScreenshot(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper screenshot <path>");
  const std::string& path = args[0];
  if (!captureScreenToFile(path)) exitWithError("Failed to capture screenshot");
  printSuccess(path);
}

}  // namespace deskhand
