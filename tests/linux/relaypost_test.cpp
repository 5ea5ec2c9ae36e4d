// relaypost on a real X server: a stream of browser-shaped events reaches a recording client, and no
// modifier or borrowed keycode outlives the process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/linux/recorder_support.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::runProgram;

constexpr int kShiftMask = 1, kControlMask = 4, kMod4Mask = 64, kButton1Mask = 256;

std::vector<json> keyPresses(const std::vector<json>& events, int keysym) {
  std::vector<json> out;
  for (const auto& e : recorder::ofTypes(events, {"KeyPress"})) {
    if (e["keysym"] == keysym) out.push_back(e);
  }
  return out;
}

TEST(Relaypost, PointerStreamArrives) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  const std::string input =
      "{\"type\":\"mousemove\",\"x\":100,\"y\":110}\n"
      "{\"type\":\"mousedown\",\"x\":120,\"y\":130,\"button\":\"left\",\"clickCount\":1}\n"
      "{\"type\":\"mousemove\",\"x\":150,\"y\":160}\n"
      "{\"type\":\"mouseup\",\"x\":150,\"y\":160}\n"
      "{\"type\":\"mousedown\",\"x\":200,\"y\":210,\"button\":\"right\"}\n"
      "{\"type\":\"mouseup\",\"x\":200,\"y\":210,\"button\":\"right\"}\n"
      // 120 pixels down: the wheel value is capped at 100, two clicks of 50; then 30 + 30 more: one.
      "{\"type\":\"scroll\",\"x\":300,\"y\":310,\"deltaX\":0,\"deltaY\":120}\n"
      "{\"type\":\"scroll\",\"deltaX\":0,\"deltaY\":30}\n"
      "{\"type\":\"scroll\",\"deltaX\":0,\"deltaY\":30}\n"
      // Scrolling right (content moves left) is X button 7.
      "{\"type\":\"scroll\",\"deltaX\":60,\"deltaY\":0}\n"
      // Far off the display: pulled to its corner.
      "{\"type\":\"mousemove\",\"x\":100000,\"y\":-50}\n";
  auto result = runProgram("relaypost", {}, {}, input);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  recorder::collectUntil(rec, [](const auto& ev) {
    return !ev.empty() && ev.back()["type"] == "MotionNotify" && ev.back()["rootY"] == 0;
  });

  std::vector<std::tuple<std::string, int, int, int>> buttons;
  for (const auto& e : recorder::ofTypes(rec.events, {"ButtonPress", "ButtonRelease"})) {
    buttons.emplace_back(e["type"], e["button"], e["rootX"], e["rootY"]);
  }
  using B = std::tuple<std::string, int, int, int>;
  const std::vector<B> expected = {
      {"ButtonPress", 1, 120, 130},   {"ButtonRelease", 1, 150, 160}, {"ButtonPress", 3, 200, 210},
      {"ButtonRelease", 3, 200, 210}, {"ButtonPress", 5, 300, 310},   {"ButtonRelease", 5, 300, 310},
      {"ButtonPress", 5, 300, 310},   {"ButtonRelease", 5, 300, 310}, {"ButtonPress", 5, 300, 310},
      {"ButtonRelease", 5, 300, 310}, {"ButtonPress", 7, 300, 310},   {"ButtonRelease", 7, 300, 310},
  };
  EXPECT_EQ(buttons, expected);

  // The move while the left button is down is a drag; the first and last moves are plain.
  bool sawDrag = false;
  for (const auto& e : recorder::ofTypes(rec.events, {"MotionNotify"})) {
    if (e["rootX"] == 100 && e["rootY"] == 110) {
      EXPECT_EQ(e["state"].get<int>() & kButton1Mask, 0);
    }
    if (e["rootX"] == 150 && e["rootY"] == 160 && (e["state"].get<int>() & kButton1Mask)) sawDrag = true;
  }
  EXPECT_TRUE(sawDrag);
  const json& last = rec.events.back();
  EXPECT_EQ(last["rootX"].get<int>(), recorder::screenWidth() - 1);
  EXPECT_EQ(last["state"].get<int>() & 0x1fff, 0);
}

TEST(Relaypost, KeysCarryTheirModifiersAndNoneStaysHeld) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  auto before = recorder::coreKeymap();
  const std::string input =
      // Flags only: relaypost posts no modifier key events, the backend holds them around the key.
      "{\"type\":\"keydown\",\"key\":\"a\",\"code\":\"KeyA\",\"modifiers\":{\"cmd\":true,\"shift\":true}}\n"
      "{\"type\":\"keyup\",\"key\":\"a\",\"code\":\"KeyA\",\"modifiers\":{\"cmd\":true,\"shift\":true}}\n"
      // A modifier key of its own, then a key while it is held.
      "{\"type\":\"keydown\",\"key\":\"Control\",\"code\":\"ControlRight\",\"modifiers\":{\"ctrl\":true}}\n"
      "{\"type\":\"keydown\",\"key\":\"b\",\"code\":\"KeyB\",\"modifiers\":{\"ctrl\":true}}\n"
      "{\"type\":\"keyup\",\"key\":\"b\",\"code\":\"KeyB\",\"modifiers\":{\"ctrl\":true}}\n"
      "{\"type\":\"keyup\",\"key\":\"Control\",\"code\":\"ControlRight\"}\n"
      // Keys the keymap does not have (F13) or has only at a second level (keypad 0).
      "{\"type\":\"keydown\",\"code\":\"F13\"}\n"
      "{\"type\":\"keyup\",\"code\":\"F13\"}\n"
      "{\"type\":\"keydown\",\"code\":\"Numpad0\"}\n"
      "{\"type\":\"keyup\",\"code\":\"Numpad0\"}\n"
      // The key value alone, and a Shift left down when the input ends.
      "{\"type\":\"keydown\",\"key\":\"Enter\"}\n"
      "{\"type\":\"keyup\",\"key\":\"Enter\"}\n"
      "{\"type\":\"keydown\",\"key\":\"Shift\",\"code\":\"ShiftLeft\",\"modifiers\":{\"shift\":true}}\n";
  auto result = runProgram("relaypost", {}, {}, input);
  EXPECT_EQ(result.status, 0);
  recorder::collectUntil(rec, [](const auto& ev) {
    auto releases = recorder::ofTypes(ev, {"KeyRelease"});
    return !releases.empty() && releases.back()["keysym"] == 0xffe1;  // Shift_L let go at exit
  });

  auto a = keyPresses(rec.events, 'a');
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0]["state"].get<int>() & 0xff, kMod4Mask | kShiftMask);
  auto b = keyPresses(rec.events, 'b');
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0]["state"].get<int>() & 0xff, kControlMask);
  EXPECT_EQ(keyPresses(rec.events, 0xffe3).size(), 0u) << "ctrl was already held by ControlRight";
  EXPECT_EQ(keyPresses(rec.events, 0xffe4).size(), 1u);
  EXPECT_EQ(keyPresses(rec.events, 0xffca).size(), 1u) << "F13";
  EXPECT_EQ(keyPresses(rec.events, 0xff0d).size(), 1u) << "Return";
  bool keypad0 = false;
  for (const auto& e : recorder::ofTypes(rec.events, {"KeyPress"})) keypad0 |= e["keysym"] == 0xff9e;  // KP_Insert
  EXPECT_TRUE(keypad0);

  EXPECT_EQ(recorder::keysDown(), std::vector<int>{});
  EXPECT_EQ(recorder::pointerMask() & 0xff, 0);
  EXPECT_EQ(recorder::coreKeymap(), before);
}

TEST(Relaypost, BadLinesAreDroppedAndTheNextOnesWork) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  const std::string input =
      "not json\n"
      "{\"type\":\"mousemove\",\"x\":\"5\",\"y\":6}\n"
      "   \n"
      "{\"type\":\"mousemove\",\"x\":400,\"y\":410}\n";
  auto result = runProgram("relaypost", {}, {}, input);
  EXPECT_EQ(result.status, 0);
  // Not every recorded event has a pointer position (focus changes do not), hence value().
  recorder::collectUntil(rec, [](const auto& ev) { return !ev.empty() && ev.back().value("rootX", -1) == 400; });
  auto moves = recorder::ofTypes(rec.events, {"MotionNotify"});
  ASSERT_FALSE(moves.empty());
  for (const auto& m : moves) EXPECT_NE(m["rootX"], 5);
  EXPECT_EQ(moves.back()["rootY"], 410);
}

// A viewer sends one line at a time and waits: each line's event must reach the display while relaypost
// waits for the next one, not when its input ends.
TEST(Relaypost, EachLineArrivesWhileTheInputStaysOpen) {
  recorder::Recorder rec;
  ASSERT_TRUE(recorder::start(rec));
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string path = testing_support::programPath("relaypost");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[0], 0);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[0]);
  for (int x : {210, 230, 250}) {
    const std::string line = "{\"type\":\"mousemove\",\"x\":" + std::to_string(x) + ",\"y\":220}\n";
    ASSERT_EQ(::write(fds[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    recorder::collectUntil(rec, [x](const auto& ev) { return !ev.empty() && ev.back().value("rootX", -1) == x; });
    ASSERT_FALSE(rec.events.empty());
    EXPECT_EQ(rec.events.back().value("rootX", -1), x) << "the move to " << x << " is still held back";
  }
  ::close(fds[1]);
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
