// The simulated backend's world loading, fault counters, journal format, clock, display and events.
#include "platform/sim/world.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/faults.h"
#include "platform/workspace.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::writeTempFile;

// Loads the world into this process with a fresh journal; gives the journal's path.
std::string useWorld(const json& world) {
  std::string journal = writeTempFile("journal.ndjson", "");
  setenv("SIM_JOURNAL", journal.c_str(), 1);
  std::string error = platform::sim::loadWorldForTesting(writeTempFile("world.json", world.dump()));
  EXPECT_EQ(error, "");
  return journal;
}

std::vector<std::string> journalLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SimWorld, BrokenWorldsAreRefusedWithTheirReason) {
  struct Case {
    std::string content;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"{", "parse error"},
      {"[]", "the world: must be an object"},
      {R"({"display": {"bounds": [0, 0, 10]}})", "display.bounds: must be an array of 4 numbers"},
      {R"({"display": {"bounds": [0, 0, 0, 10]}})", "display.bounds: width and height must be positive"},
      {R"({"display": {"scale": 0}})", "display.scale: must be positive"},
      {R"({"display": {"fill": [0, 256, 0]}})", "display.fill[1]: is out of range"},
      {R"({"display": {"png": "missing.png"}})", "display.png: cannot read"},
      {R"({"trusted": 1})", "trusted: must be true or false"},
      {R"({"fail": ["captures"]})", "fail[0]: unknown operation \"captures\""},
      {R"({"failAfter": {"mouseEvent": -1}})", "failAfter.mouseEvent: is out of range"},
      {R"({"apps": [{"pid": "100"}]})", "apps[0].pid: must be an integer"},
      {R"({"apps": [{"name": "A"}]})", "apps[0]: needs a pid"},
      {R"({"apps": [{"pid": 1, "element": {"attrs": {"AXRole": null}}}]})", "apps[0].element.attrs.AXRole: is not"},
      {R"({"apps": [{"pid": 1, "element": {"attrs": {"AXChildren": [{"absent": true}]}}}]})",
       "apps[0].element.attrs.AXChildren[0]: is not"},
      {R"({"apps": [{"pid": 1, "element": {"attrs": {"AXSize": {"size": [1]}}}}]})",
       "apps[0].element.attrs.AXSize.size: must be an array of 2 numbers"},
      {R"({"frontmost": 3000000000})", "frontmost: is out of range"},
      {R"({"launcher": {"A": {"status": "0"}}})", "launcher.A.status: must be an integer"},
      {R"({"clipboard": {"types": "public.png"}})", "clipboard.types: must be an array of strings"},
      {R"({"audio": {"devices": [{"id": 1, "name": 5}]}})", "audio.devices[0].name: must be a string"},
      {R"({"audio": {"refuse": ["dIn"]}})", "audio.refuse[0]: must be four characters"},
  };
  for (const Case& c : cases) {
    std::string path = writeTempFile("broken.json", c.content);
    std::string error = platform::sim::loadWorldForTesting(path);
    EXPECT_EQ(error.rfind("cannot load world file " + path + ": ", 0), 0u) << c.content << " -> " << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.content << " -> " << error;
  }
  std::string missing = testing_support::tempDir() + "/no-such-world.json";
  EXPECT_EQ(platform::sim::loadWorldForTesting(missing),
            "cannot load world file " + missing + ": No such file or directory");
}

TEST(SimWorld, EmptyWorldDefaults) {
  unsetenv("SIM_JOURNAL");
  ASSERT_EQ(platform::sim::loadWorldForTesting(std::nullopt), "");
  platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  EXPECT_EQ(bounds.size.width, 1440);
  EXPECT_EQ(bounds.size.height, 900);
  auto image = platform::displayCreateImage(platform::mainDisplayID());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 1440);
  EXPECT_EQ(image->height, 900);
  EXPECT_TRUE(platform::workspaceRunningApplications().empty());
  EXPECT_EQ(platform::workspaceFrontmostApplicationPid(), 0);
}

TEST(SimFaults, FailAndFailAfterCountEachNameApart) {
  useWorld({{"fail", {"capture", "fileWrite"}}, {"failAfter", {{"mouseEvent", 2}, {"keyboardEvent", 0}}}});
  std::vector<bool> mouse;
  for (int i = 0; i < 4; ++i) mouse.push_back(platform::eventCreateMouseEvent(nullptr, 5, {1, 2}, 0).has_value());
  EXPECT_EQ(mouse, (std::vector<bool>{true, true, false, false}));
  EXPECT_FALSE(platform::eventCreateKeyboardEvent(nullptr, 0, true));
  EXPECT_TRUE(platform::eventCreateScrollWheelEvent2(nullptr, 1, 1, 1, 0, 0));
  EXPECT_TRUE(platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState));
  EXPECT_FALSE(platform::displayCreateImage(platform::mainDisplayID()));
  EXPECT_FALSE(platform::displayCreateImage(platform::mainDisplayID()));
  EXPECT_TRUE(platform::operationFails("fileWrite"));
  EXPECT_FALSE(platform::operationFails("fileRead"));

  useWorld({{"fail", {"eventSource"}}, {"failAfter", {{"fileRead", 1}}}});
  EXPECT_FALSE(platform::eventSourceCreate(platform::kEventSourceStateHIDSystemState));
  EXPECT_FALSE(platform::operationFails("fileRead"));
  EXPECT_TRUE(platform::operationFails("fileRead"));
  EXPECT_TRUE(platform::operationFails("fileRead"));
  // A fresh world starts the counts again.
  EXPECT_TRUE(platform::eventCreateMouseEvent(nullptr, 5, {1, 2}, 0));
}

TEST(SimJournal, PostedEventsAreWrittenWithTheirFieldsInOrder) {
  std::string journal = useWorld(json::object());
  auto move = platform::eventCreateMouseEvent(nullptr, platform::kEventMouseMoved, {10.0, 20.5}, 0);
  ASSERT_TRUE(move);
  platform::eventPost(platform::kHIDEventTap, *move);
  platform::sleepMicroseconds(25000);
  auto down = platform::eventCreateMouseEvent(nullptr, platform::kEventRightMouseDown, {-3, 1e-3}, 1);
  platform::eventSetIntegerValueField(*down, platform::kMouseEventClickState, 2);
  platform::eventSetFlags(*down, platform::kEventFlagMaskShift);
  platform::eventPost(platform::kHIDEventTap, *down);
  auto unposted = platform::eventCreateKeyboardEvent(nullptr, 1, true);
  auto key = platform::eventCreateKeyboardEvent(nullptr, 55, true);
  platform::eventSetFlags(*key, platform::kEventFlagMaskCommand);
  platform::eventKeyboardSetUnicodeString(*key, u"h\u00e9");
  platform::eventPost(platform::kHIDEventTap, *key);
  auto plainKey = platform::eventCreateKeyboardEvent(nullptr, 0, false);
  platform::eventPost(platform::kHIDEventTap, *plainKey);
  // A chunk that ends inside a surrogate pair.
  auto split = platform::eventCreateKeyboardEvent(nullptr, 0, true);
  platform::eventKeyboardSetUnicodeString(*split, std::u16string{u'a', char16_t(0xD83D)});
  platform::eventPost(platform::kHIDEventTap, *split);
  auto wheel = platform::eventCreateScrollWheelEvent2(nullptr, platform::kScrollEventUnitLine, 2, -3, 4, 0);
  platform::eventPost(platform::kHIDEventTap, *wheel);
  platform::eventSetFlags(*wheel, platform::kEventFlagMaskAlternate);
  platform::eventPost(platform::kHIDEventTap, *wheel);
  platform::sleepMicroseconds(1);

  EXPECT_EQ(journalLines(journal),
            (std::vector<std::string>{
                R"({"t":0,"op":"mouse","type":5,"x":10,"y":20.5,"button":0,"clickState":null,"flags":null})",
                R"({"t":0,"op":"sleep","us":25000})",
                R"({"t":25000,"op":"mouse","type":3,"x":-3,"y":0.001,"button":1,"clickState":2,"flags":131072})",
                R"({"t":25000,"op":"key","code":55,"down":true,"flags":1048576,"text":"hé","units":[104,233]})",
                R"({"t":25000,"op":"key","code":0,"down":false,"flags":null})",
                R"({"t":25000,"op":"key","code":0,"down":true,"flags":null,"text":"a�","units":[97,55357]})",
                R"({"t":25000,"op":"scroll","unit":1,"wheelCount":2,"wheels":[-3,4,0]})",
                R"({"t":25000,"op":"scroll","unit":1,"wheelCount":2,"wheels":[-3,4,0],"flags":524288})",
                R"({"t":25000,"op":"sleep","us":1})",
            }));
}

TEST(SimJournal, NumbersAreIntegersOnlyWhenIntegral) {
  const std::vector<std::pair<double, std::string>> cases = {
      {10.0, "10"}, {-0.0, "0"}, {0.5, "0.5"}, {1e15, "1000000000000000"}, {1.25e-7, "1.25e-07"}, {0.1, "0.1"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(platform::sim::journalNumber(value).dump(), text) << value;
}

TEST(SimDisplay, CaptureHasTheScaledFractionalSizeAndTheFill) {
  useWorld({{"display", {{"bounds", {0, 0, 100.5, 50.75}}, {"scale", 2}, {"fill", {40, 80, 120}}}}});
  platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());
  EXPECT_EQ(bounds.size.width, 100.5);
  EXPECT_EQ(bounds.size.height, 50.75);
  auto image = platform::displayCreateImage(platform::mainDisplayID());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 201);
  EXPECT_EQ(image->height, 101);
  ASSERT_EQ(image->rgba.size(), 201u * 101u * 4u);
  const std::vector<std::uint8_t> last(image->rgba.end() - 4, image->rgba.end());
  EXPECT_EQ(last, (std::vector<std::uint8_t>{40, 80, 120, 255}));
}

}  // namespace

namespace {

TEST(SimWorld, ProgramsEndWithStatusTwoOnABrokenWorldOrJournal) {
  std::string broken = writeTempFile("broken.json", R"({"apps": [{"pid": 1, "element": 5}]})");
  auto result = testing_support::runProgram("deskhand-sim", {"read-clipboard"}, {{"SIM_WORLD", broken}});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "deskhand-sim: cannot load world file " + broken + ": apps[0].element: must be an object\n");
  EXPECT_EQ(result.out, "");

  std::string journal = testing_support::tempDir() + "/no-such-dir/journal";
  result = testing_support::runProgram("deskhand-sim", {"read-clipboard"}, {{"SIM_JOURNAL", journal}});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "deskhand-sim: cannot open journal file " + journal + ": No such file or directory\n");
}

}  // namespace
