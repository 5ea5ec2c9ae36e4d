// deskhand screenshot on the real X desktop: the picture has the root window's size and the same pixels
// as an independent grab (ImageMagick's import), with a GTK window on screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/display.h"
#include "platform/image.h"
#include "tests/support/program.h"

extern char** environ;

namespace {

std::optional<platform::Image> readPng(const std::string& path) {
  auto bytes = platform::fileRead(path);
  if (!bytes) return std::nullopt;
  auto decoded = platform::pngDecode(*bytes);
  if (!decoded) return std::nullopt;
  return decoded->pixels;
}

// The widget factory, left on screen for the whole test program.
struct WidgetFactory {
  pid_t pid = -1;
  WidgetFactory() {
    char arg0[] = "gtk3-widget-factory";
    char* argv[] = {arg0, nullptr};
    if (posix_spawnp(&pid, arg0, nullptr, nullptr, argv, environ) != 0) pid = -1;
  }
  ~WidgetFactory() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

bool windowMapped() {
  return std::system("xdotool search --sync --onlyvisible --class gtk3-widget-factory >/dev/null 2>&1") == 0;
}

TEST(LinuxScreenshot, MatchesAnIndependentGrab) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run inside scripts/desktop-session";
  WidgetFactory factory;
  ASSERT_GT(factory.pid, 0);
  ASSERT_TRUE(windowMapped());
  std::this_thread::sleep_for(std::chrono::seconds(1));  // let the first frame settle before both grabs

  const std::string ours = testing_support::tempDir() + "/deskhand.png";
  const std::string theirs = testing_support::tempDir() + "/import.png";
  auto run = testing_support::runProgram("deskhand", {"screenshot", ours});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  ASSERT_EQ(std::system(("import -window root '" + theirs + "'").c_str()), 0);

  auto a = readPng(ours);
  auto b = readPng(theirs);
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  const platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  EXPECT_EQ(a->width, static_cast<int>(bounds.size.width));
  EXPECT_EQ(a->height, static_cast<int>(bounds.size.height));
  ASSERT_EQ(a->width, b->width);
  ASSERT_EQ(a->height, b->height);
  // The window is static; the few pixels that may differ (a blinking caret, a spinner) stay far below 1%.
  std::size_t differing = 0;
  for (std::size_t i = 0; i < a->rgba.size(); i += 4) {
    differing += a->rgba[i] != b->rgba[i] || a->rgba[i + 1] != b->rgba[i + 1] || a->rgba[i + 2] != b->rgba[i + 2];
  }
  EXPECT_LT(differing, a->rgba.size() / 4 / 100);
  // The picture is not blank: the window's pixels differ from the root background somewhere.
  std::size_t distinct = 0;
  for (std::size_t i = 4; i < a->rgba.size(); i += 4) distinct += a->rgba[i] != a->rgba[0];
  EXPECT_GT(distinct, 1000u);
}

}  // namespace
