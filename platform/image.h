// Image services: bitmaps, scaled drawing, PNG writing and reading, canvases with a drawing context,
// and whole-file reads and writes. One implementation (cairo, libpng) serves both backends; the
// simulated backend can make each step fail.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/geometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace platform {

// 8 bits per component, four components, alpha premultiplied and stored last, rows packed (4 x width).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

enum class InterpolationQuality { defaultQuality = 0, none = 1, low = 2, high = 3 };

// A drawing context over a zero-filled RGBA bitmap that it owns.
struct BitmapContext {
  Image pixels;
  InterpolationQuality quality = InterpolationQuality::defaultQuality;
};

std::optional<BitmapContext> bitmapContextCreate(int width, int height);
void contextSetInterpolationQuality(BitmapContext& context, InterpolationQuality quality);
// Draws the whole image scaled into dest (bitmap pixels, top-left origin). Same size: a copy.
void contextDrawImage(BitmapContext& context, const Image& image, Rect dest);
std::optional<Image> bitmapContextCreateImage(const BitmapContext& context);

// A PNG writer for one image. Finalize encodes to a temporary file beside the path and renames it over
// the path, so readers never see a partial file and a link at the path is replaced, not followed.
struct PngWriter {
  std::string path;
  std::optional<Image> image;
};

std::optional<PngWriter> pngWriterCreate(const std::string& path);
void pngWriterAddImage(PngWriter& writer, const Image& image);
bool pngWriterFinalize(PngWriter& writer);

// Whole-file read; nothing when the file cannot be read.
std::optional<std::vector<std::uint8_t>> fileRead(const std::string& path);
// Whole-file write through a temporary file and a rename; false on any failure.
bool fileWrite(const std::string& path, std::span<const std::uint8_t> bytes);

// A decoded picture: its pixels and its nominal size in points (pixels unless the file says otherwise).
struct DecodedBitmap {
  Image pixels;
  Size nominalSize;
};

std::optional<DecodedBitmap> pngDecode(std::span<const std::uint8_t> bytes);
// PNG bytes of an image, tuned for screenshots (fast filters, low zlib level).
std::optional<std::vector<std::uint8_t>> pngEncode(const Image& image);

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const;
};
struct CairoContextDeleter {
  void operator()(cairo_t* context) const;
};

// A fully transparent RGBA canvas owning its pixels, with a nominal size in points.
struct Canvas {
  std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter> surface;
  int pixelsWide = 0;
  int pixelsHigh = 0;
  Size nominalSize;
};

std::optional<Canvas> canvasCreate(int pixelsWide, int pixelsHigh);
void canvasSetSize(Canvas& canvas, Size size);

// A drawing context over a canvas, scaled so that one drawing unit is one point of the nominal size,
// top-down (origin at the top-left corner). Destroying it restores nothing else: each context is fresh.
struct DrawingContext {
  std::unique_ptr<cairo_t, CairoContextDeleter> cr;
};

std::optional<DrawingContext> drawingContextCreate(Canvas& canvas);
// Draws a picture scaled into rect (drawing units) on the context.
void drawingContextDrawImage(DrawingContext& context, const Image& image, Rect rect);
// The canvas's pixels as RGBA, then as PNG bytes.
Image canvasImage(const Canvas& canvas);
std::optional<std::vector<std::uint8_t>> canvasEncodePng(const Canvas& canvas);

}  // namespace platform
