// The main display: the RandR primary output's CRTC (or the whole root window), captured through
// MIT-SHM when the server can attach our memory, else through a plain GetImage request.
#include "platform/display.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

#include <bit>
#include <chrono>
#include <cstring>

#include "platform/linux/display_capture.h"
#include "platform/linux/x_connection.h"

namespace platform {
namespace x11 {
namespace {

bool extensionPresent(xcb_extension_t* extension) {
  xcb_connection_t* conn = connection();
  if (!conn) return false;
  const xcb_query_extension_reply_t* data = xcb_get_extension_data(conn, extension);
  return data && data->present;
}

std::optional<Rect> primaryCrtcRect() {
  xcb_connection_t* conn = connection();
  if (!extensionPresent(&xcb_randr_id)) return std::nullopt;
  auto primary = reply(xcb_randr_get_output_primary_reply(conn, xcb_randr_get_output_primary(conn, root()), nullptr));
  if (!primary || primary->output == XCB_NONE) return std::nullopt;
  auto output = reply(xcb_randr_get_output_info_reply(
      conn, xcb_randr_get_output_info(conn, primary->output, XCB_CURRENT_TIME), nullptr));
  if (!output || output->crtc == XCB_NONE) return std::nullopt;
  auto crtc = reply(
      xcb_randr_get_crtc_info_reply(conn, xcb_randr_get_crtc_info(conn, output->crtc, XCB_CURRENT_TIME), nullptr));
  if (!crtc || crtc->width == 0 || crtc->height == 0) return std::nullopt;
  return rectMake(crtc->x, crtc->y, crtc->width, crtc->height);
}

// A System V segment attached to us and to the server; released on every path.
struct SharedSegment {
  int id = -1;
  void* address = reinterpret_cast<void*>(-1);
  xcb_shm_seg_t seg = 0;
  bool attached = false;

  SharedSegment() = default;
  SharedSegment(const SharedSegment&) = delete;
  SharedSegment& operator=(const SharedSegment&) = delete;
  ~SharedSegment() {
    if (attached) xcb_shm_detach(connection(), seg);
    if (address != reinterpret_cast<void*>(-1)) shmdt(address);
    if (id >= 0) shmctl(id, IPC_RMID, nullptr);
  }
};

// Converts straight out of the shared segment: one pass over the pixels, no intermediate copy.
std::optional<Image> shmCapture(int x, int y, int width, int height, const PixelFormat& format) {
  xcb_connection_t* conn = connection();
  if (!extensionPresent(&xcb_shm_id)) return std::nullopt;
  std::size_t size = bytesPerRow(format, width) * static_cast<std::size_t>(height);
  SharedSegment segment;
  segment.id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (segment.id < 0) return std::nullopt;
  segment.address = shmat(segment.id, nullptr, 0);
  if (segment.address == reinterpret_cast<void*>(-1)) return std::nullopt;
  segment.seg = xcb_generate_id(conn);
  auto attachError = reply(xcb_request_check(conn, xcb_shm_attach_checked(conn, segment.seg, segment.id, 0)));
  if (attachError) return std::nullopt;
  segment.attached = true;
  // Marked for removal at once, so that the segment goes away even if we die before the destructor runs.
  shmctl(segment.id, IPC_RMID, nullptr);
  segment.id = -1;
  xcb_generic_error_t* error = nullptr;
  auto image = reply(xcb_shm_get_image_reply(
      conn,
      xcb_shm_get_image(conn, root(), static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(width),
                        static_cast<uint16_t>(height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.seg, 0),
      &error));
  auto errorHolder = reply(error);
  if (!image || image->size < size) return std::nullopt;
  Image out;
  out.width = width;
  out.height = height;
  if (!convertToRgba(static_cast<const std::uint8_t*>(segment.address), size, width, height, format, out.rgba))
    return std::nullopt;
  return out;
}

std::optional<Image> requestCapture(int x, int y, int width, int height, const PixelFormat& format) {
  xcb_connection_t* conn = connection();
  xcb_generic_error_t* error = nullptr;
  auto image = reply(xcb_get_image_reply(
      conn,
      xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, root(), static_cast<int16_t>(x), static_cast<int16_t>(y),
                    static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u),
      &error));
  auto errorHolder = reply(error);
  if (!image) return std::nullopt;
  Image out;
  out.width = width;
  out.height = height;
  if (!convertToRgba(xcb_get_image_data(image.get()), static_cast<std::size_t>(xcb_get_image_data_length(image.get())),
                     width, height, format, out.rgba))
    return std::nullopt;
  return out;
}

struct Channel {
  int shift = 0;
  std::uint32_t max = 0;
};

Channel channelOf(std::uint32_t mask) {
  if (mask == 0) return {};
  int shift = std::countr_zero(mask);
  return {shift, mask >> shift};
}

std::uint8_t scaleChannel(std::uint32_t pixel, std::uint32_t mask, Channel channel) {
  if (channel.max == 0) return 0;
  std::uint32_t value = (pixel & mask) >> channel.shift;
  if (channel.max == 255) return static_cast<std::uint8_t>(value);
  return static_cast<std::uint8_t>((value * 255 + channel.max / 2) / channel.max);
}

}  // namespace

std::optional<PixelFormat> rootPixelFormat() {
  xcb_connection_t* conn = connection();
  xcb_screen_t* scr = screen();
  if (!conn || !scr) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(conn);
  PixelFormat format;
  format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
    if (it.data->depth == scr->root_depth) {
      format.bitsPerPixel = it.data->bits_per_pixel;
      format.scanlinePad = it.data->scanline_pad;
    }
  }
  for (auto depths = xcb_screen_allowed_depths_iterator(scr); depths.rem; xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == scr->root_visual) {
        format.redMask = visuals.data->red_mask;
        format.greenMask = visuals.data->green_mask;
        format.blueMask = visuals.data->blue_mask;
      }
    }
  }
  if (format.bitsPerPixel == 0 || format.scanlinePad == 0) return std::nullopt;
  return format;
}

std::size_t bytesPerRow(const PixelFormat& format, int width) {
  std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(format.bitsPerPixel);
  std::size_t pad = static_cast<std::size_t>(format.scanlinePad);
  return (bits + pad - 1) / pad * pad / 8;
}

bool convertToRgba(const std::uint8_t* data, std::size_t size, int width, int height, const PixelFormat& format,
                   std::vector<std::uint8_t>& rgba) {
  if (width <= 0 || height <= 0 || format.scanlinePad <= 0) return false;
  int bpp = format.bitsPerPixel;
  if (bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (format.redMask == 0 || format.greenMask == 0 || format.blueMask == 0) return false;
  std::size_t stride = bytesPerRow(format, width);
  if (size < stride * static_cast<std::size_t>(height)) return false;
  std::size_t w = static_cast<std::size_t>(width);
  rgba.resize(w * static_cast<std::size_t>(height) * 4);
  std::uint8_t* out = rgba.data();

  // The usual TrueColor layout (BGRX in memory): one shuffle per pixel.
  if (bpp == 32 && !format.msbFirst && format.redMask == 0xff0000 && format.greenMask == 0xff00 &&
      format.blueMask == 0xff && std::endian::native == std::endian::little) {
    for (int row = 0; row < height; ++row) {
      const std::uint8_t* in = data + static_cast<std::size_t>(row) * stride;
      std::uint8_t* dst = out + static_cast<std::size_t>(row) * w * 4;
      for (std::size_t i = 0; i < w; ++i) {
        std::uint32_t p;
        std::memcpy(&p, in + i * 4, 4);
        std::uint32_t q = ((p >> 16) & 0xffu) | (p & 0xff00u) | ((p & 0xffu) << 16) | 0xff000000u;
        std::memcpy(dst + i * 4, &q, 4);
      }
    }
    return true;
  }

  Channel red = channelOf(format.redMask), green = channelOf(format.greenMask), blue = channelOf(format.blueMask);
  std::size_t bytes = static_cast<std::size_t>(bpp / 8);
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* in = data + static_cast<std::size_t>(row) * stride;
    std::uint8_t* dst = out + static_cast<std::size_t>(row) * w * 4;
    for (std::size_t i = 0; i < w; ++i) {
      const std::uint8_t* px = in + i * bytes;
      std::uint32_t p = 0;
      for (std::size_t b = 0; b < bytes; ++b) {
        std::size_t shift = format.msbFirst ? (bytes - 1 - b) * 8 : b * 8;
        p |= static_cast<std::uint32_t>(px[b]) << shift;
      }
      dst[i * 4 + 0] = scaleChannel(p, format.redMask, red);
      dst[i * 4 + 1] = scaleChannel(p, format.greenMask, green);
      dst[i * 4 + 2] = scaleChannel(p, format.blueMask, blue);
      dst[i * 4 + 3] = 255;
    }
  }
  return true;
}

std::optional<Image> captureRootRect(int x, int y, int width, int height, CaptureMethod method) {
  if (!connection() || width <= 0 || height <= 0 || width > 0xffff || height > 0xffff) return std::nullopt;
  std::optional<PixelFormat> format = rootPixelFormat();
  if (!format) return std::nullopt;
  if (method == CaptureMethod::sharedMemory) return shmCapture(x, y, width, height, *format);
  return requestCapture(x, y, width, height, *format);
}

}  // namespace x11

DisplayID mainDisplayID() { return 1; }

Rect displayBounds(DisplayID) {
  // Reading the bounds takes three round trips, and a stream of pointer events asks for them on every
  // event: a reading is kept this long, so a mode change shows within it.
  constexpr std::chrono::milliseconds kBoundsFresh{250};
  static std::optional<Rect> kept;
  static std::chrono::steady_clock::time_point readAt;
  const auto now = std::chrono::steady_clock::now();
  if (kept && now - readAt < kBoundsFresh) return *kept;
  xcb_screen_t* scr = x11::screen();
  if (!scr) return {};
  kept = x11::primaryCrtcRect();
  if (!kept) kept = rectMake(0, 0, scr->width_in_pixels, scr->height_in_pixels);
  readAt = now;
  return *kept;
}

std::optional<Image> displayCreateImage(DisplayID display) {
  Rect bounds = displayBounds(display);
  int x = static_cast<int>(bounds.origin.x), y = static_cast<int>(bounds.origin.y);
  int width = static_cast<int>(bounds.size.width), height = static_cast<int>(bounds.size.height);
  if (auto image = x11::captureRootRect(x, y, width, height, x11::CaptureMethod::sharedMemory)) return image;
  return x11::captureRootRect(x, y, width, height, x11::CaptureMethod::request);
}

}  // namespace platform
