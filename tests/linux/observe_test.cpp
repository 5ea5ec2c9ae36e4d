// observe against real applications on the private desktop: a GTK 4 application (gnome-calculator,
// which reports window-relative extents) and a GTK 3 one (gtk3-widget-factory). Elements must carry
// their labels and states, lie where the applications draw them (a click at a centre lands on the
// element, the badge is painted at the corner), and a stopped application must not stall observe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "deskhand/observe/attributes.h"
#include "platform/accessibility.h"
#include "platform/image.h"
#include "platform/linux/x_connection.h"
#include "tests/support/program.h"

extern char** environ;

namespace {

using nlohmann::json;
using testing_support::runProgram;

struct XFrame {
  double x = 0, y = 0, width = 0, height = 0;
};

// The X client windows of a process, as the window manager lists them.
std::vector<XFrame> xWindowsOf(pid_t pid) {
  std::vector<XFrame> out;
  xcb_connection_t* conn = platform::x11::connection();
  xcb_ewmh_connection_t* ewmh = platform::x11::ewmh();
  if (!conn || !ewmh) return out;
  xcb_ewmh_get_windows_reply_t clients;
  if (!xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, 0), &clients, nullptr)) return out;
  for (std::uint32_t i = 0; i < clients.windows_len; ++i) {
    std::uint32_t windowPid = 0;
    xcb_window_t w = clients.windows[i];
    if (!xcb_ewmh_get_wm_pid_reply(ewmh, xcb_ewmh_get_wm_pid(ewmh, w), &windowPid, nullptr) ||
        windowPid != static_cast<std::uint32_t>(pid))
      continue;
    auto geometry = platform::x11::reply(xcb_get_geometry_reply(conn, xcb_get_geometry(conn, w), nullptr));
    auto at = platform::x11::reply(xcb_translate_coordinates_reply(
        conn, xcb_translate_coordinates(conn, w, platform::x11::root(), 0, 0), nullptr));
    if (geometry && at && geometry->width > 1)
      out.push_back({double(at->dst_x), double(at->dst_y), double(geometry->width), double(geometry->height)});
  }
  xcb_ewmh_get_windows_reply_wipe(&clients);
  return out;
}

template <typename Condition>
bool eventually(Condition condition, int tries = 300) {
  for (int i = 0; i < tries; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// Starts a program with its chatter on standard error discarded.
pid_t spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGCONT);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Ready when the accessibility bus shows a window with a frame and the window manager shows its X window.
bool ready(pid_t pid) {
  if (xWindowsOf(pid).empty()) return false;
  auto windows = deskhand::axGetElements(platform::axUIElementCreateApplication(pid), "AXWindows");
  if (!windows || windows->empty()) return false;
  auto frame = deskhand::getPositionAndSize(windows->front());
  return frame && frame->size.width > 0;
}

pid_t startAndWait(std::vector<std::string> args) {
  pid_t pid = spawn(std::move(args));
  if (pid > 0 && !eventually([&] { return ready(pid); })) {
    stop(pid);
    return -1;
  }
  // Let the first layout settle so frames do not move under the test.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return pid;
}

json observe(pid_t pid, const std::string& shot) {
  auto result = runProgram("deskhand", {"observe", "--pid", std::to_string(pid), "--screenshot", shot});
  EXPECT_EQ(result.status, 0) << result.err;
  return json::parse(result.out, nullptr, false);
}

std::vector<json> matching(const json& answer, const std::function<bool(const json&)>& predicate) {
  std::vector<json> out;
  if (!answer.is_object() || !answer.contains("elements")) return out;
  for (const auto& e : answer["elements"])
    if (predicate(e)) out.push_back(e);
  return out;
}

std::optional<json> button(const json& answer, const std::string& labelStart) {
  auto found = matching(answer, [&](const json& e) {
    return e["role"] == "AXButton" && e["title"].get<std::string>().rfind(labelStart, 0) == 0;
  });
  if (found.empty()) return std::nullopt;
  return found.front();
}

bool inside(const json& e, const XFrame& w) {
  return e["x"].get<double>() >= w.x && e["y"].get<double>() >= w.y &&
         e["x"].get<double>() + e["width"].get<double>() <= w.x + w.width &&
         e["y"].get<double>() + e["height"].get<double>() <= w.y + w.height;
}

void click(const json& e) {
  double cx = e["x"].get<double>() + e["width"].get<double>() / 2;
  double cy = e["y"].get<double>() + e["height"].get<double>() / 2;
  auto result = runProgram("deskhand", {"click", std::to_string(cx), std::to_string(cy)});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Depth-first search through the backend itself, for reading back what a click changed.
std::optional<platform::AXUIElement> findElement(const platform::AXUIElement& element,
                                                 const std::function<bool(const platform::AXUIElement&)>& predicate,
                                                 int depth = 0) {
  if (depth > 30) return std::nullopt;
  if (predicate(element)) return element;
  auto children = deskhand::axGetElements(element, depth == 0 ? "AXWindows" : "AXChildren");
  if (!children) return std::nullopt;
  for (const auto& child : *children)
    if (auto found = findElement(child, predicate, depth + 1)) return found;
  return std::nullopt;
}

// Brings the application's window to the front through the backend's raise action and waits until
// the window manager has made it active (another application's window may cover it).
bool raise(pid_t pid) {
  auto windows = deskhand::axGetElements(platform::axUIElementCreateApplication(pid), "AXWindows");
  if (!windows || windows->empty()) return false;
  if (platform::axUIElementPerformAction(windows->front(), "AXRaise") != platform::kAXErrorSuccess) return false;
  return eventually(
      [&] {
        xcb_ewmh_connection_t* ewmh = platform::x11::ewmh();
        xcb_window_t active = XCB_NONE;
        std::uint32_t activePid = 0;
        return xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, 0), &active, nullptr) &&
               xcb_ewmh_get_wm_pid_reply(ewmh, xcb_ewmh_get_wm_pid(ewmh, active), &activePid, nullptr) &&
               activePid == static_cast<std::uint32_t>(pid);
      },
      50);
}

class LinuxObserve : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    calculator = startAndWait({"gnome-calculator"});
    factory = startAndWait({"gtk3-widget-factory"});
  }
  static void TearDownTestSuite() {
    stop(calculator);
    stop(factory);
  }
  void SetUp() override {
    ASSERT_GT(calculator, 0) << "gnome-calculator did not come up";
    ASSERT_GT(factory, 0) << "gtk3-widget-factory did not come up";
  }
  static pid_t calculator;
  static pid_t factory;
};
pid_t LinuxObserve::calculator = -1;
pid_t LinuxObserve::factory = -1;

TEST_F(LinuxObserve, CalculatorButtonsCarryLabelsAndLieInsideItsWindow) {
  json answer = observe(calculator, testing_support::tempDir() + "/calc.png");
  auto windows = xWindowsOf(calculator);
  ASSERT_EQ(windows.size(), 1u);
  // Placed away from the origin, so window-relative extents would be visibly wrong.
  ASSERT_GT(windows[0].x + windows[0].y, 0);
  for (std::string label : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "+", "−", "×", "÷", "="}) {
    auto found = button(answer, label);
    ASSERT_TRUE(found) << "no button " << label << " in " << answer.dump();
    EXPECT_TRUE(inside(*found, windows[0])) << found->dump();
  }
  // Every element, not just the buttons, is inside the one window observed.
  for (const auto& e : answer["elements"]) EXPECT_TRUE(inside(e, windows[0])) << e.dump();
}

TEST_F(LinuxObserve, WidgetFactoryReportsCheckStatesAndEntryValues) {
  json answer = observe(factory, testing_support::tempDir() + "/factory.png");
  auto checkBoxes = [&](const std::string& state) {
    return matching(answer, [&](const json& e) {
      return e["role"] == "AXCheckBox" && e["title"] == "checkbutton" && e["state"] == state;
    });
  };
  EXPECT_FALSE(checkBoxes("selected").empty()) << answer.dump();
  EXPECT_FALSE(checkBoxes("unselected").empty()) << answer.dump();
  auto entries =
      matching(answer, [](const json& e) { return e["role"] == "AXTextField" && e["state"] == "value=\"entry\""; });
  EXPECT_FALSE(entries.empty()) << answer.dump();
  auto radios =
      matching(answer, [](const json& e) { return e["role"] == "AXRadioButton" && e["title"] == "radiobutton"; });
  EXPECT_GE(radios.size(), 2u);
}

TEST_F(LinuxObserve, PidTargetsOneApplicationAlone) {
  json calc = observe(calculator, testing_support::tempDir() + "/a.png");
  json fact = observe(factory, testing_support::tempDir() + "/b.png");
  ASSERT_FALSE(calc["elements"].empty());
  ASSERT_FALSE(fact["elements"].empty());
  EXPECT_TRUE(matching(calc, [](const json& e) { return e["title"] == "checkbutton"; }).empty());
  EXPECT_FALSE(button(fact, "7").has_value());
  auto factoryWindows = xWindowsOf(factory);
  ASSERT_FALSE(factoryWindows.empty());
  for (const auto& e : fact["elements"]) {
    bool inAny = false;
    for (const auto& w : factoryWindows) inAny = inAny || inside(e, w);
    EXPECT_TRUE(inAny) << e.dump();
  }
}

TEST_F(LinuxObserve, BadgesArePaintedAtTheElementsCorners) {
  const std::string shot = testing_support::tempDir() + "/badges.png";
  json answer = observe(calculator, shot);
  auto bytes = platform::fileRead(shot);
  ASSERT_TRUE(bytes);
  auto picture = platform::pngDecode(*bytes);
  ASSERT_TRUE(picture);
  const platform::Image& image = picture->pixels;
  auto red = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return false;
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return p[0] > 170 && p[1] < 90 && p[2] < 90;
  };
  for (std::string label : {"7", "÷", "="}) {
    auto found = button(answer, label);
    ASSERT_TRUE(found);
    // The badge is a disc of 24 points whose box starts 2 points above and left of the corner; its left
    // half, away from the white number, is red.
    int x = static_cast<int>(found->at("x").get<double>());
    int y = static_cast<int>(found->at("y").get<double>());
    EXPECT_TRUE(red(x + 2, y + 10) || red(x + 3, y + 10)) << label << " at " << x << "," << y;
  }
}

TEST_F(LinuxObserve, ClicksAtElementCentresLandOnThem) {
  // GTK 4: the digits typed by clicking appear in the calculator's display.
  ASSERT_TRUE(raise(calculator));
  json calc = observe(calculator, testing_support::tempDir() + "/c.png");
  for (std::string label : {"7", "8"}) {
    auto found = button(calc, label);
    ASSERT_TRUE(found);
    click(*found);
  }
  platform::AXUIElement app = platform::axUIElementCreateApplication(calculator);
  EXPECT_TRUE(eventually(
      [&] {
        auto display = findElement(app, [](const platform::AXUIElement& e) {
          return deskhand::axGetString(e, "AXRole") == "AXTextArea" &&
                 deskhand::axGetString(e, "AXValue").find("78") != std::string::npos;
        });
        return display.has_value();
      },
      50));

  // GTK 3: an unticked check box becomes ticked.
  ASSERT_TRUE(raise(factory));
  json before = observe(factory, testing_support::tempDir() + "/d.png");
  auto unticked = matching(before, [](const json& e) {
    return e["role"] == "AXCheckBox" && e["title"] == "checkbutton" && e["state"] == "unselected";
  });
  ASSERT_FALSE(unticked.empty());
  click(unticked.front());
  json after = observe(factory, testing_support::tempDir() + "/e.png");
  auto same = matching(after, [&](const json& e) {
    return e["title"] == "checkbutton" && e["x"] == unticked.front()["x"] && e["y"] == unticked.front()["y"];
  });
  ASSERT_EQ(same.size(), 1u);
  EXPECT_EQ(same.front()["state"].get<std::string>().rfind("selected", 0), 0u) << same.front().dump();
}

TEST_F(LinuxObserve, StoppedApplicationDoesNotStallObserve) {
  pid_t stuck = startAndWait({"zenity", "--info", "--text=stuck"});
  ASSERT_GT(stuck, 0);
  kill(stuck, SIGSTOP);
  for (bool byPid : {true, false}) {
    auto start = std::chrono::steady_clock::now();
    // Without a pid the stopped dialog is the frontmost application.
    auto result = byPid
                      ? runProgram("deskhand", {"observe", "--pid", std::to_string(stuck), "--screenshot",
                                                testing_support::tempDir() + "/stuck.png"})
                      : runProgram("deskhand", {"observe", "--screenshot", testing_support::tempDir() + "/front.png"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("observe %s a stopped application: %.2f s\n", byPid ? "--pid of" : "with", seconds);
    EXPECT_EQ(result.status, 0) << result.err;
    json answer = json::parse(result.out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << result.out;
    EXPECT_TRUE(answer["elements"].is_array());
    if (byPid) {
      EXPECT_TRUE(answer["elements"].empty());
    }
    EXPECT_LT(seconds, 10.0);  // generous: the point is that it answers at all
  }
  stop(stuck);
  // Other applications are still read normally.
  EXPECT_TRUE(button(observe(calculator, testing_support::tempDir() + "/f.png"), "7").has_value());
}

}  // namespace
