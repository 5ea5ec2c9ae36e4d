// The private desktop that scripts/desktop-session starts, and the display services over it: the
// environment, the X extensions, the window manager, the trust check, the main display's bounds and
// both capture paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "platform/accessibility.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/linux/display_capture.h"
#include "platform/linux/x_connection.h"

namespace {

using platform::x11::CaptureMethod;
using platform::x11::PixelFormat;

double elapsedMs(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(Session, ExportsAPrivateEnvironment) {
  const char* display = std::getenv("DISPLAY");
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  ASSERT_NE(display, nullptr);
  ASSERT_NE(bus, nullptr);
  ASSERT_NE(runtime, nullptr);
  EXPECT_EQ(display[0], ':');
  EXPECT_EQ(std::string(runtime).rfind("/tmp/", 0), 0u) << runtime;
  struct stat st {};
  ASSERT_EQ(stat(runtime, &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, getuid());
}

TEST(Session, XServerOffersTheExtensionsWeUse) {
  xcb_connection_t* conn = platform::x11::connection();
  ASSERT_NE(conn, nullptr);
  const std::pair<xcb_extension_t*, const char*> extensions[] = {
      {&xcb_test_id, "XTEST"}, {&xcb_shm_id, "MIT-SHM"}, {&xcb_randr_id, "RANDR"}};
  for (auto [ext, name] : extensions) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(conn, ext);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->present) << name;
  }
  xcb_screen_t* scr = platform::x11::screen();
  EXPECT_EQ(scr->width_in_pixels, 1440);
  EXPECT_EQ(scr->height_in_pixels, 900);
  EXPECT_EQ(scr->root_depth, 24);
}

TEST(Session, OpenboxManagesTheDisplay) {
  xcb_ewmh_connection_t* ewmh = platform::x11::ewmh();
  ASSERT_NE(ewmh, nullptr);
  xcb_window_t check = XCB_WINDOW_NONE;
  ASSERT_TRUE(xcb_ewmh_get_supporting_wm_check_reply(
      ewmh, xcb_ewmh_get_supporting_wm_check(ewmh, platform::x11::root()), &check, nullptr));
  xcb_ewmh_get_utf8_strings_reply_t name{};
  ASSERT_TRUE(xcb_ewmh_get_wm_name_reply(ewmh, xcb_ewmh_get_wm_name(ewmh, check), &name, nullptr));
  std::string wmName(name.strings, name.strings_len);
  xcb_ewmh_get_utf8_strings_reply_wipe(&name);
  EXPECT_EQ(wmName, "Openbox");
  // The hints the workspace service reads must be supported.
  xcb_ewmh_get_atoms_reply_t supported{};
  ASSERT_TRUE(xcb_ewmh_get_supported_reply(ewmh, xcb_ewmh_get_supported(ewmh, 0), &supported, nullptr));
  bool active = false, clients = false;
  for (uint32_t i = 0; i < supported.atoms_len; ++i) {
    active = active || supported.atoms[i] == ewmh->_NET_ACTIVE_WINDOW;
    clients = clients || supported.atoms[i] == ewmh->_NET_CLIENT_LIST;
  }
  xcb_ewmh_get_atoms_reply_wipe(&supported);
  EXPECT_TRUE(active);
  EXPECT_TRUE(clients);
}

TEST(Session, TrustedWhenXtestAndTheAccessibilityBusAnswer) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(platform::axIsProcessTrustedWithOptions(true));
  std::cout << "[ trust check: " << elapsedMs(start) << " ms ]\n";
}

// Each runs in a fresh process: the D-Bus library reads the bus address once per process.
TEST(SessionDeathTest, NotTrustedWithoutAnAccessibilityBus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
        std::exit(platform::axIsProcessTrustedWithOptions(true) ? 0 : 3);
      },
      testing::ExitedWithCode(3), "");
}

TEST(SessionDeathTest, NotTrustedWithoutADisplay) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":65000", 1);
        std::exit(platform::axIsProcessTrustedWithOptions(true) ? 0 : 3);
      },
      testing::ExitedWithCode(3), "");
}

TEST(Session, SleepLastsAtLeastItsDuration) {
  auto start = std::chrono::steady_clock::now();
  platform::sleepMicroseconds(30000);
  EXPECT_GE(elapsedMs(start), 30.0);
}

TEST(Display, MainDisplayIsTheWholeRootWithoutAPrimaryOutput) {
  platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  EXPECT_EQ(bounds.origin.x, 0);
  EXPECT_EQ(bounds.origin.y, 0);
  EXPECT_EQ(bounds.size.width, 1440);
  EXPECT_EQ(bounds.size.height, 900);
}

// An unmanaged window of one solid colour at a known place, so that captured pixels can be checked.
struct SolidWindow {
  xcb_window_t id = XCB_WINDOW_NONE;
  SolidWindow(int x, int y, int w, int h, uint32_t pixel) {
    xcb_connection_t* conn = platform::x11::connection();
    id = xcb_generate_id(conn);
    uint32_t values[] = {pixel, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, id, platform::x11::root(), static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(w), static_cast<uint16_t>(h), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(conn, id);
    xcb_flush(conn);
    // The server paints the background on map; waiting for the first Expose makes sure it has.
    for (int i = 0; i < 200; ++i) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
        bool exposed = (event->response_type & 0x7f) == XCB_EXPOSE;
        std::free(event);
        if (exposed) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  SolidWindow(const SolidWindow&) = delete;
  SolidWindow& operator=(const SolidWindow&) = delete;
  ~SolidWindow() {
    xcb_destroy_window(platform::x11::connection(), id);
    xcb_flush(platform::x11::connection());
  }
};

std::array<uint8_t, 4> pixelAt(const platform::Image& image, int x, int y) {
  size_t i = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
  return {image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], image.rgba[i + 3]};
}

TEST(Display, BothCapturePathsGiveTheSameRgbaPixels) {
  SolidWindow window(100, 120, 50, 40, 0x123456);
  auto start = std::chrono::steady_clock::now();
  std::optional<platform::Image> shm = platform::x11::captureRootRect(0, 0, 1440, 900, CaptureMethod::sharedMemory);
  double shmMs = elapsedMs(start);
  start = std::chrono::steady_clock::now();
  std::optional<platform::Image> plain = platform::x11::captureRootRect(0, 0, 1440, 900, CaptureMethod::request);
  double plainMs = elapsedMs(start);
  std::cout << "[ capture 1440x900: shared memory " << shmMs << " ms, plain request " << plainMs << " ms ]\n";
  ASSERT_TRUE(shm);
  ASSERT_TRUE(plain);
  EXPECT_EQ(shm->width, 1440);
  EXPECT_EQ(shm->height, 900);
  EXPECT_EQ(shm->rgba.size(), 1440u * 900u * 4u);
  EXPECT_TRUE(shm->rgba == plain->rgba);
  EXPECT_EQ(pixelAt(*shm, 100, 120), (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 255}));
  EXPECT_EQ(pixelAt(*shm, 149, 159), (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 255}));
  EXPECT_NE(pixelAt(*shm, 150, 160), (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 255}));
}

TEST(Display, SubRectangleCaptureStartsAtItsOrigin) {
  SolidWindow window(300, 200, 10, 10, 0xff8000);
  for (CaptureMethod method : {CaptureMethod::sharedMemory, CaptureMethod::request}) {
    std::optional<platform::Image> image = platform::x11::captureRootRect(295, 195, 20, 20, method);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(*image, 5, 5), (std::array<uint8_t, 4>{0xff, 0x80, 0x00, 255}));
    EXPECT_EQ(pixelAt(*image, 14, 14), (std::array<uint8_t, 4>{0xff, 0x80, 0x00, 255}));
    EXPECT_NE(pixelAt(*image, 4, 4), (std::array<uint8_t, 4>{0xff, 0x80, 0x00, 255}));
  }
}

TEST(Display, DisplayCreateImageCapturesTheMainDisplay) {
  SolidWindow window(0, 0, 4, 4, 0x00ff00);
  std::optional<platform::Image> image = platform::displayCreateImage(platform::mainDisplayID());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 1440);
  EXPECT_EQ(image->height, 900);
  EXPECT_EQ(pixelAt(*image, 0, 0), (std::array<uint8_t, 4>{0, 255, 0, 255}));
}

TEST(Display, RejectsRectanglesTheServerCannotCapture) {
  for (CaptureMethod method : {CaptureMethod::sharedMemory, CaptureMethod::request}) {
    EXPECT_FALSE(platform::x11::captureRootRect(0, 0, 0, 10, method));
    EXPECT_FALSE(platform::x11::captureRootRect(1400, 0, 100, 10, method));  // beyond the root's right edge
  }
}

struct ConversionCase {
  const char* name;
  PixelFormat format;
  std::vector<uint8_t> bytes;  // one row of two pixels, padded
  std::array<uint8_t, 8> rgba;
};

TEST(Display, ConvertsServerPixelFormatsToRgba) {
  const ConversionCase cases[] = {
      {"32 bpp BGRX, LSB first",
       {32, 32, false, 0xff0000, 0xff00, 0xff},
       {0x56, 0x34, 0x12, 0x00, 0x03, 0x02, 0x01, 0x99},
       {0x12, 0x34, 0x56, 255, 1, 2, 3, 255}},
      {"32 bpp XRGB, MSB first",
       {32, 32, true, 0xff0000, 0xff00, 0xff},
       {0x00, 0x12, 0x34, 0x56, 0x99, 0x01, 0x02, 0x03},
       {0x12, 0x34, 0x56, 255, 1, 2, 3, 255}},
      {"32 bpp RGBX masks, LSB first",
       {32, 32, false, 0xff, 0xff00, 0xff0000},
       {0x12, 0x34, 0x56, 0x00, 0x01, 0x02, 0x03, 0x00},
       {0x12, 0x34, 0x56, 255, 1, 2, 3, 255}},
      {"24 bpp packed, row padded to 32 bits",
       {24, 32, false, 0xff0000, 0xff00, 0xff},
       {0x56, 0x34, 0x12, 0x03, 0x02, 0x01, 0xee, 0xee},
       {0x12, 0x34, 0x56, 255, 1, 2, 3, 255}},
      {"16 bpp RGB565",
       {16, 32, false, 0xf800, 0x07e0, 0x001f},
       {0x00, 0xf8, 0x1f, 0x00},
       {255, 0, 0, 255, 0, 0, 255, 255}},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Two identical rows, to check that the stride is honoured.
    std::vector<uint8_t> data = c.bytes;
    data.insert(data.end(), c.bytes.begin(), c.bytes.end());
    ASSERT_EQ(platform::x11::bytesPerRow(c.format, 2), c.bytes.size());
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(platform::x11::convertToRgba(data.data(), data.size(), 2, 2, c.format, rgba));
    ASSERT_EQ(rgba.size(), 16u);
    EXPECT_TRUE(std::equal(c.rgba.begin(), c.rgba.end(), rgba.begin()));
    EXPECT_TRUE(std::equal(c.rgba.begin(), c.rgba.end(), rgba.begin() + 8));
    // A buffer one byte short of the image is refused, not read past.
    EXPECT_FALSE(platform::x11::convertToRgba(data.data(), data.size() - 1, 2, 2, c.format, rgba));
  }
  std::vector<uint8_t> rgba;
  uint8_t byte = 0;
  EXPECT_FALSE(platform::x11::convertToRgba(&byte, 1, 1, 1, PixelFormat{8, 8, false, 0xe0, 0x1c, 0x03}, rgba));
}

}  // namespace
