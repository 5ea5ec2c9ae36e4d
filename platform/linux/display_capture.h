// Capture of a rectangle of the root window and conversion of the server's pixels to RGBA. Private to
// the Linux backend; the tests reach both capture paths through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/image.h"

namespace platform::x11 {

// The shared-memory path is the fast one; the plain request works where the server cannot attach our
// memory (for example a server in another IPC namespace).
enum class CaptureMethod { sharedMemory, request };

// How the server lays out ZPixmap images of the root window's depth.
struct PixelFormat {
  int bitsPerPixel = 0;
  int scanlinePad = 0;  // bits
  bool msbFirst = false;
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
};

std::optional<PixelFormat> rootPixelFormat();

// Bytes in one row of a ZPixmap image of that width.
std::size_t bytesPerRow(const PixelFormat& format, int width);

// Converts a ZPixmap image to packed RGBA with alpha 255. False when the data is too short or the
// format is not one of 16, 24 or 32 bits per pixel with channel masks.
bool convertToRgba(const std::uint8_t* data, std::size_t size, int width, int height, const PixelFormat& format,
                   std::vector<std::uint8_t>& rgba);

// The root window's pixels in the rectangle, or nothing when the method fails.
std::optional<Image> captureRootRect(int x, int y, int width, int height, CaptureMethod method);

}  // namespace platform::x11
