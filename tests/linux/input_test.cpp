// deskhand's click, drag, scroll and key commands on a real X server, seen by a recording client; and the
// posting backend's modifier handling called directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/linux/events.h"
#include "tests/linux/recorder_support.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::runProgram;

constexpr int kShiftMask = 1, kControlMask = 4, kMod4Mask = 64, kButton1Mask = 256;
constexpr int kKeysymShiftL = 0xffe1, kKeysymSuperL = 0xffeb, kKeysymControlL = 0xffe3, kKeysymReturn = 0xff0d;

struct Button {
  std::string type;
  int button;
  int x;
  int y;
};

std::vector<Button> buttons(const std::vector<json>& events) {
  std::vector<Button> out;
  for (const auto& e : recorder::ofTypes(events, {"ButtonPress", "ButtonRelease"})) {
    out.push_back({e["type"], e["button"], e["rootX"], e["rootY"]});
  }
  return out;
}

void expectNothingHeld() {
  EXPECT_EQ(recorder::keysDown(), std::vector<int>{}) << "a key is still down";
  EXPECT_EQ(recorder::pointerMask() & 0x1fff, 0) << "a modifier or button is still down";
}

// `count` clicks of the button at the point, each a press and a release.
std::vector<Button> clicks(int button, int count, int x, int y) {
  std::vector<Button> out;
  for (int i = 0; i < count; ++i) {
    out.push_back({"ButtonPress", button, x, y});
    out.push_back({"ButtonRelease", button, x, y});
  }
  return out;
}

struct MouseCase {
  std::vector<std::string> args;
  std::vector<Button> expected;
};

TEST(DeskhandMouse, ButtonsArriveAtThePointAndNothingStaysHeld) {
  const std::vector<MouseCase> cases = {
      {{"click", "100", "120"}, clicks(1, 1, 100, 120)},
      // Fractions are rounded to the nearest pixel only when posted.
      {{"click", "200.6", "99.4"}, clicks(1, 1, 201, 99)},
      {{"double-click", "300", "310"}, clicks(1, 2, 300, 310)},
      {{"right-click", "50", "60"}, clicks(3, 1, 50, 60)},
      // Three lines per wheel event, one click per line; down is button 5, up button 4.
      {{"scroll", "down", "2", "--at", "70", "80"}, clicks(5, 6, 70, 80)},
      {{"scroll", "up", "1", "--at", "70", "80"}, clicks(4, 3, 70, 80)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    recorder::Recorder rec;
    ASSERT_TRUE(recorder::start(rec));
    auto result = runProgram("deskhand", c.args);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "{\"success\":true}\n");
    recorder::collectUntil(rec, [&](const auto& ev) { return buttons(ev).size() >= c.expected.size(); });
    auto got = buttons(rec.events);
    ASSERT_EQ(got.size(), c.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      const Button& want = c.expected[i];
      EXPECT_EQ(got[i].type, want.type) << i;
      EXPECT_EQ(got[i].button, want.button) << i;
      EXPECT_EQ(got[i].x, want.x) << i;
      EXPECT_EQ(got[i].y, want.y) << i;
    }
    expectNothingHeld();
  }
}

TEST(DeskhandMouse, DragMovesWithTheButtonHeld) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  auto result = runProgram("deskhand", {"drag", "10", "10", "40", "70", "--steps", "3"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  recorder::collectUntil(rec, [](const auto& ev) { return !recorder::ofTypes(ev, {"ButtonRelease"}).empty(); });
  auto got = buttons(rec.events);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].x, 10);
  EXPECT_EQ(got[0].y, 10);
  EXPECT_EQ(got[1].x, 40);
  EXPECT_EQ(got[1].y, 70);
  // The moves between press and release carry button 1 and visit each interpolated point in order.
  std::vector<std::pair<int, int>> held;
  bool pressed = false;
  for (const auto& e : rec.events) {
    if (e["type"] == "ButtonPress") pressed = true;
    if (e["type"] == "ButtonRelease") break;
    if (pressed && e["type"] == "MotionNotify") {
      EXPECT_TRUE(e["state"].get<int>() & kButton1Mask);
      std::pair<int, int> p{e["rootX"], e["rootY"]};
      if (held.empty() || held.back() != p) held.push_back(p);
    }
  }
  EXPECT_EQ(held, (std::vector<std::pair<int, int>>{{20, 30}, {30, 50}, {40, 70}}));
  expectNothingHeld();
}

struct KeyCase {
  std::string spec;
  std::vector<int> modifierKeysyms;  // pressed before the key, in order
  int keysym;                        // level-0 keysym of the main key
  int state;                         // modifier state the main key arrives with
};

TEST(DeskhandKey, CombinationsArriveWithTheirModifiersAndReleaseThem) {
  const std::vector<KeyCase> cases = {
      {"cmd+shift+t", {kKeysymSuperL, kKeysymShiftL}, 't', kMod4Mask | kShiftMask},
      {"Ctrl+A", {kKeysymControlL}, 'a', kControlMask},
      {"return", {}, kKeysymReturn, 0},
      // The server drops a second press of a key that is already down, so ctrl arrives once.
      {"ctrl+cmd+ctrl+a", {kKeysymControlL, kKeysymSuperL}, 'a', kControlMask | kMod4Mask},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.spec);
    recorder::Recorder rec;
    ASSERT_TRUE(recorder::start(rec));
    auto result = runProgram("deskhand", {"key", c.spec});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    recorder::collectUntil(rec, [&](const auto& ev) {
      for (const auto& e : ev) {
        if (e["type"] == "KeyRelease" && e["keysym"] == c.keysym) return true;
      }
      return false;
    });
    auto presses = recorder::ofTypes(rec.events, {"KeyPress"});
    ASSERT_EQ(presses.size(), c.modifierKeysyms.size() + 1);
    for (std::size_t i = 0; i < c.modifierKeysyms.size(); ++i) EXPECT_EQ(presses[i]["keysym"], c.modifierKeysyms[i]);
    EXPECT_EQ(presses.back()["keysym"], c.keysym);
    EXPECT_EQ(presses.back()["state"].get<int>() & 0xff, c.state);
    recorder::collectUntil(
        rec, [&](const auto& ev) { return recorder::ofTypes(ev, {"KeyRelease"}).size() >= presses.size(); });
    expectNothingHeld();
  }
}

TEST(DeskhandKey, UnknownKeyPostsNothing) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  auto result = runProgram("deskhand", {"key", "cmd+foo"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Unsupported key: 'foo'\n");
  recorder::pump(rec, 300);
  EXPECT_TRUE(recorder::ofTypes(rec.events, {"KeyPress", "KeyRelease"}).empty());
}

// The backend on its own: flags alone make the modifiers be held around the key, a key missing from the
// keymap (F13) is typed through a borrowed keycode, and a modifier our process left down is released.
TEST(EventBackend, FlagsHoldModifiersAndNothingOutlivesTheRelease) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  auto before = recorder::coreKeymap();
  auto source = platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState);
  ASSERT_NE(source, nullptr);
  for (bool down : {true, false}) {
    auto e = platform::eventCreateKeyboardEvent(source.get(), 0, down);
    ASSERT_TRUE(e);
    platform::eventSetFlags(*e, platform::kEventFlagMaskControl | platform::kEventFlagMaskShift);
    platform::eventPost(platform::kHIDEventTap, *e);
  }
  for (bool down : {true, false}) {  // F13
    auto e = platform::eventCreateKeyboardEvent(source.get(), 105, down);
    platform::eventPost(platform::kHIDEventTap, *e);
  }
  auto shift = platform::eventCreateKeyboardEvent(source.get(), 56, true);  // left down on purpose
  platform::eventPost(platform::kHIDEventTap, *shift);
  platform::x11::releaseInput();

  recorder::collectUntil(rec, [](const auto& ev) { return recorder::ofTypes(ev, {"KeyRelease"}).size() >= 6; });
  auto presses = recorder::ofTypes(rec.events, {"KeyPress"});
  auto a = std::find_if(presses.begin(), presses.end(), [](const json& e) { return e["keysym"] == 'a'; });
  ASSERT_NE(a, presses.end());
  EXPECT_EQ((*a)["state"].get<int>() & 0xff, kControlMask | kShiftMask);
  auto f13 = std::find_if(presses.begin(), presses.end(), [](const json& e) { return e["keysym"] == 0xffca; });
  EXPECT_NE(f13, presses.end()) << "F13 did not arrive";
  expectNothingHeld();
  EXPECT_EQ(recorder::coreKeymap(), before) << "the borrowed keycode was not given back";
}

TEST(EventBackend, SourceAndEventsNeedADisplay) {
  EXPECT_NE(platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState), nullptr);
  EXPECT_TRUE(platform::eventCreateScrollWheelEvent2(nullptr, platform::kScrollEventUnitLine, 1, 3, 0, 0));
  auto result = runProgram("deskhand", {"click", "10", "10"}, {{"DISPLAY", ":99999"}});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\"error\""), std::string::npos) << result.out;
}

}  // namespace
