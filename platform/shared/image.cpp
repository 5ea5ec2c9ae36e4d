// The image services of both backends: RGBA bitmaps, scaled drawing through cairo, PNG through libpng,
// and whole-file reads and writes that replace the file at a path in one step.
#include "platform/image.h"

#include <cairo.h>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/faults.h"

namespace platform {
namespace {

// Largest side we allocate; far beyond any display, small enough that 4 x w x h cannot overflow.
constexpr int kMaxSide = 1 << 15;

bool validSize(int width, int height) { return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide; }

// cairo's ARGB32 is a native-endian 32-bit word; ours is bytes R, G, B, A. Both premultiplied.
inline std::uint32_t toCairoPixel(const std::uint8_t* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}
inline void fromCairoPixel(std::uint32_t v, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>(v >> 16);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, CairoContextDeleter>;

SurfacePtr surfaceFromImage(const Image& image) {
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const std::uint8_t* src = image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4;
    for (int x = 0; x < image.width; ++x) row[x] = toCairoPixel(src + 4 * x);
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

Image imageFromSurface(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  Image image;
  image.width = cairo_image_surface_get_width(surface);
  image.height = cairo_image_surface_get_height(surface);
  image.rgba.resize(static_cast<std::size_t>(image.width) * image.height * 4);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    std::uint8_t* dst = image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4;
    for (int x = 0; x < image.width; ++x) fromCairoPixel(row[x], dst + 4 * x);
  }
  return image;
}

bool imageIsWellFormed(const Image& image) {
  return validSize(image.width, image.height) &&
         image.rgba.size() == static_cast<std::size_t>(image.width) * image.height * 4;
}

// Source-over of one premultiplied pixel onto another.
inline void blendOver(const std::uint8_t* src, std::uint8_t* dst) {
  const unsigned alpha = src[3];
  if (alpha == 255) {
    std::memcpy(dst, src, 4);
  } else if (alpha != 0) {
    for (int c = 0; c < 4; ++c) dst[c] = static_cast<std::uint8_t>(src[c] + (dst[c] * (255 - alpha) + 127) / 255);
  }
}

// The whole image onto the whole bitmap when the image is an exact k x k multiple of it: the mean
// of each k x k block (an exact box filter, the high-quality result for integral scales).
void drawBoxDownscaled(Image& dst, const Image& src, int k) {
  const unsigned area = static_cast<unsigned>(k * k);
  const std::size_t srcRow = static_cast<std::size_t>(src.width) * 4;
  for (int y = 0; y < dst.height; ++y) {
    std::uint8_t* out = dst.rgba.data() + static_cast<std::size_t>(y) * dst.width * 4;
    for (int x = 0; x < dst.width; ++x) {
      unsigned sum[4] = {0, 0, 0, 0};
      for (int dy = 0; dy < k; ++dy) {
        const std::uint8_t* in =
            src.rgba.data() + static_cast<std::size_t>(y * k + dy) * srcRow + static_cast<std::size_t>(x) * k * 4;
        for (int dx = 0; dx < k; ++dx)
          for (int c = 0; c < 4; ++c) sum[c] += in[4 * dx + c];
      }
      std::uint8_t pixel[4];
      for (int c = 0; c < 4; ++c) pixel[c] = static_cast<std::uint8_t>((sum[c] + area / 2) / area);
      blendOver(pixel, out + 4 * x);
    }
  }
}

cairo_filter_t filterFor(InterpolationQuality quality) {
  switch (quality) {
    case InterpolationQuality::none:
      return CAIRO_FILTER_NEAREST;
    case InterpolationQuality::low:
      return CAIRO_FILTER_FAST;
    case InterpolationQuality::high:
      return CAIRO_FILTER_BEST;
    case InterpolationQuality::defaultQuality:
      break;
  }
  return CAIRO_FILTER_GOOD;
}

// Paints the image scaled into rect of the target (target units) with the given filter.
void paintScaled(cairo_t* cr, const Image& image, Rect rect, cairo_filter_t filter) {
  rect = rectStandardize(rect);
  if (!imageIsWellFormed(image) || rect.size.width == 0 || rect.size.height == 0) return;
  SurfacePtr source = surfaceFromImage(image);
  if (!source) return;
  cairo_save(cr);
  cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_clip(cr);
  cairo_translate(cr, rect.origin.x, rect.origin.y);
  cairo_scale(cr, rect.size.width / image.width, rect.size.height / image.height);
  cairo_set_source_surface(cr, source.get(), 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, filter);
  // Edge pixels repeat outwards so that the border is not blended with transparency.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_paint(cr);
  cairo_restore(cr);
}

// ---- PNG -------------------------------------------------------------------------------------------

struct PngOutput {
  std::vector<std::uint8_t> bytes;
};

void pngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
  out->bytes.insert(out->bytes.end(), data, data + length);
}
void pngFlushNothing(png_structp) {}

bool allOpaque(const Image& image) {
  const std::uint8_t* p = image.rgba.data();
  const std::size_t n = image.rgba.size();
  for (std::size_t i = 3; i < n; i += 4)
    if (p[i] != 255) return false;
  return true;
}

// The libpng calls of one encode. libpng reports errors by longjmp, so this frame holds no state that
// changes after setjmp: everything lives in the caller.
bool writePngRows(png_structp png, png_infop info, const Image& image, bool opaque, PngOutput* output,
                  std::vector<std::uint8_t>* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, output, pngWriteToVector, pngFlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  // Measured on desktop captures: level 1 with the SUB filter is several times faster than the
  // defaults for files about a third larger.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  std::uint8_t* out = row->data();
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* src = image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4;
    if (opaque) {
      for (int x = 0; x < image.width; ++x) std::memcpy(out + 3 * static_cast<std::size_t>(x), src + 4 * x, 3);
    } else {
      for (int x = 0; x < image.width; ++x) {
        const std::uint8_t* p = src + 4 * x;
        std::uint8_t* q = out + 4 * static_cast<std::size_t>(x);
        const unsigned a = p[3];
        for (int c = 0; c < 3; ++c)
          q[c] = a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a));
        q[3] = p[3];
      }
    }
    png_write_row(png, out);
  }
  png_write_end(png, nullptr);
  return true;
}

// Screens are opaque: then the PNG holds RGB (a quarter less to compress); otherwise RGBA with the
// premultiplication undone, as PNG stores straight alpha.
std::optional<std::vector<std::uint8_t>> encodePngBytes(const Image& image) {
  if (!imageIsWellFormed(image)) return std::nullopt;
  const bool opaque = allOpaque(image);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return std::nullopt;
  }
  PngOutput output;
  output.bytes.reserve(static_cast<std::size_t>(image.width) * image.height);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * (opaque ? 3 : 4));
  const bool ok = writePngRows(png, info, image, opaque, &output, &row);
  png_destroy_write_struct(&png, &info);
  if (!ok) return std::nullopt;
  return std::move(output.bytes);
}

struct PngInput {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
};

void pngReadFromSpan(png_structp png, png_bytep out, png_size_t length) {
  auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
  if (length > in->size - in->offset) png_error(png, "truncated");
  std::memcpy(out, in->data + in->offset, length);
  in->offset += length;
}

// ---- files -----------------------------------------------------------------------------------------

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

mode_t newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The bytes go to a fresh file beside the path, which is then renamed over it: the path never shows
// a partial file, and a symbolic link at the path is replaced rather than written through.
bool writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty() || path.back() == '/') return false;
  std::string slot = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  std::string temp = directoryOf(path) + "/." + slot + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, newFileMode()) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

void CairoSurfaceDeleter::operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
void CairoContextDeleter::operator()(cairo_t* context) const { cairo_destroy(context); }

std::optional<BitmapContext> bitmapContextCreate(int width, int height) {
  if (operationFails("bitmapContext")) return std::nullopt;
  if (!validSize(width, height)) return std::nullopt;
  BitmapContext context;
  context.pixels.width = width;
  context.pixels.height = height;
  context.pixels.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
  return context;
}

void contextSetInterpolationQuality(BitmapContext& context, InterpolationQuality quality) { context.quality = quality; }

void contextDrawImage(BitmapContext& context, const Image& image, Rect dest) {
  Image& target = context.pixels;
  if (!imageIsWellFormed(image) || !imageIsWellFormed(target)) return;
  dest = rectStandardize(dest);
  const bool wholeTarget =
      dest.origin.x == 0 && dest.origin.y == 0 && dest.size.width == target.width && dest.size.height == target.height;
  if (wholeTarget && image.width == target.width && image.height == target.height) {
    const std::size_t n = target.rgba.size();
    for (std::size_t i = 0; i < n; i += 4) blendOver(&image.rgba[i], &target.rgba[i]);
    return;
  }
  if (wholeTarget && context.quality != InterpolationQuality::none && image.width % target.width == 0 &&
      image.width / target.width == image.height / target.height && image.height % target.height == 0) {
    drawBoxDownscaled(target, image, image.width / target.width);
    return;
  }
  SurfacePtr surface = surfaceFromImage(target);
  if (!surface) return;
  ContextPtr cr(cairo_create(surface.get()));
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return;
  paintScaled(cr.get(), image, dest, filterFor(context.quality));
  cr.reset();
  target = imageFromSurface(surface.get());
}

std::optional<Image> bitmapContextCreateImage(const BitmapContext& context) {
  if (!imageIsWellFormed(context.pixels)) return std::nullopt;
  return context.pixels;
}

std::optional<PngWriter> pngWriterCreate(const std::string& path) {
  if (operationFails("pngWriter")) return std::nullopt;
  // A writer for a file that cannot be created is refused now, so that a failed capture leaves nothing.
  if (path.empty() || path.back() == '/' || isDirectory(path) || !isDirectory(directoryOf(path))) return std::nullopt;
  return PngWriter{path, std::nullopt};
}

void pngWriterAddImage(PngWriter& writer, const Image& image) { writer.image = image; }

bool pngWriterFinalize(PngWriter& writer) {
  if (operationFails("pngFinalize")) return false;
  if (!writer.image) return false;
  std::optional<std::vector<std::uint8_t>> bytes = encodePngBytes(*writer.image);
  return bytes && writeWholeFile(writer.path, *bytes);
}

std::optional<std::vector<std::uint8_t>> fileRead(const std::string& path) {
  if (operationFails("fileRead")) return std::nullopt;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  close(fd);
  return bytes;
}

bool fileWrite(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (operationFails("fileWrite")) return false;
  return writeWholeFile(path, bytes);
}

namespace {

// The libpng calls of one decode, into the caller's record (see writePngRows for why).
bool readPngInto(png_structp png, png_infop info, PngInput* input, DecodedBitmap* decoded,
                 std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, input, pngReadFromSpan);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || width > static_cast<png_uint_32>(kMaxSide) ||
      height > static_cast<png_uint_32>(kMaxSide))
    return false;
  const int colorType = png_get_color_type(png, info);
  png_set_strip_16(png);
  png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 4) return false;
  decoded->pixels.width = static_cast<int>(width);
  decoded->pixels.height = static_cast<int>(height);
  decoded->pixels.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  rows->resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    (*rows)[y] = decoded->pixels.rgba.data() + static_cast<std::size_t>(y) * width * 4;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);

  // The nominal size follows a physical resolution in the file, as 72 dots per inch make one point.
  decoded->nominalSize = {static_cast<double>(width), static_cast<double>(height)};
  png_uint_32 resX = 0;
  png_uint_32 resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0 && resY > 0)
    decoded->nominalSize = {width * 72.0 / (resX * 0.0254), height * 72.0 / (resY * 0.0254)};
  return true;
}

}  // namespace

std::optional<DecodedBitmap> pngDecode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return std::nullopt;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return std::nullopt;
  }
  PngInput input{bytes.data(), bytes.size(), 0};
  DecodedBitmap decoded;
  std::vector<png_bytep> rows;
  const bool ok = readPngInto(png, info, &input, &decoded, &rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return std::nullopt;

  // Ours are premultiplied; PNG alpha is straight.
  std::uint8_t* p = decoded.pixels.rgba.data();
  const std::size_t n = decoded.pixels.rgba.size();
  for (std::size_t i = 0; i < n; i += 4) {
    const unsigned a = p[i + 3];
    if (a == 255) continue;
    for (int c = 0; c < 3; ++c) p[i + c] = static_cast<std::uint8_t>((p[i + c] * a + 127) / 255);
  }
  return decoded;
}

std::optional<std::vector<std::uint8_t>> pngEncode(const Image& image) {
  if (operationFails("pngEncode")) return std::nullopt;
  return encodePngBytes(image);
}

std::optional<Canvas> canvasCreate(int pixelsWide, int pixelsHigh) {
  if (operationFails("canvas")) return std::nullopt;
  if (!validSize(pixelsWide, pixelsHigh)) return std::nullopt;
  Canvas canvas;
  canvas.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelsWide, pixelsHigh));
  if (cairo_surface_status(canvas.surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
  canvas.pixelsWide = pixelsWide;
  canvas.pixelsHigh = pixelsHigh;
  canvas.nominalSize = {static_cast<double>(pixelsWide), static_cast<double>(pixelsHigh)};
  return canvas;
}

void canvasSetSize(Canvas& canvas, Size size) { canvas.nominalSize = size; }

std::optional<DrawingContext> drawingContextCreate(Canvas& canvas) {
  if (operationFails("drawingContext")) return std::nullopt;
  if (!canvas.surface) return std::nullopt;
  DrawingContext context;
  context.cr.reset(cairo_create(canvas.surface.get()));
  if (cairo_status(context.cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
  const Size size = canvas.nominalSize;
  if (size.width > 0 && size.height > 0 && std::isfinite(size.width) && std::isfinite(size.height)) {
    cairo_scale(context.cr.get(), canvas.pixelsWide / size.width, canvas.pixelsHigh / size.height);
  }
  return context;
}

void drawingContextDrawImage(DrawingContext& context, const Image& image, Rect rect) {
  paintScaled(context.cr.get(), image, rect, CAIRO_FILTER_GOOD);
}

Image canvasImage(const Canvas& canvas) {
  if (!canvas.surface) return {};
  return imageFromSurface(canvas.surface.get());
}

std::optional<std::vector<std::uint8_t>> canvasEncodePng(const Canvas& canvas) {
  if (operationFails("pngEncode")) return std::nullopt;
  if (!canvas.surface) return std::nullopt;
  return encodePngBytes(canvasImage(canvas));
}

}  // namespace platform
