// Which roots an observation walks, what it sets on the target, and the order and answer it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/workspace.h"
#include "tests/deskhand/observe_worlds.h"

namespace {

using namespace observe_worlds;
using testing_support::journalOps;

json menuBar() {
  return withChildren(
      element("menubar", "AXMenuBar", 0, 0, 1440, 24),
      {element("File", "AXMenuBarItem", 10, 0, 40, 24), element("Edit", "AXMenuBarItem", 60, 0, 40, 24)});
}

std::string systemUIBundle(std::size_t i) {
  auto ids = platform::systemUIBundleIdentifiers();
  return ids.at(i % ids.size());
}

json systemUIApp(int pid, const std::string& title, std::size_t which, double x) {
  return app(pid, withChildren(plain("sysroot"), {button(title, x, 2, 20, 20)}), systemUIBundle(which));
}

TEST(ObserveEnumerate, SwitchesTheFullTreeOnAndWaits) {
  for (const auto& [args, target] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{{{}, "100"}, {{"--pid", "42"}, "42"}}) {
    auto o = observe(world({app(100, appElement({window("win", {button("ok", 10, 10)})}))}), args);
    ASSERT_EQ(o.run.result.status, 0) << o.run.result.out;
    auto lines = journalOps(o.run.journal, {"axSet", "sleep", "axPerform", "key", "mouse"});
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0]["op"], "axSet");
    EXPECT_EQ(lines[0]["element"], target);
    EXPECT_EQ(lines[0]["attr"], "AXEnhancedUserInterface");
    EXPECT_EQ(lines[0]["value"], true);
    EXPECT_EQ(lines[1]["op"], "axSet");
    EXPECT_EQ(lines[1]["element"], target);
    EXPECT_EQ(lines[1]["attr"], "AXManualAccessibility");
    EXPECT_EQ(lines[1]["value"], true);
    EXPECT_EQ(lines[2]["op"], "sleep");
    EXPECT_EQ(lines[2]["us"], 150000);
    // Nothing else is set, performed or posted, and the attributes are never switched back.
    EXPECT_EQ(lines.size(), 3u);
  }
}

TEST(ObserveEnumerate, WindowsMenuBarAndFallbackToTheApplication) {
  json minimised = withAttr(window("min", {button("hiddenwin", 300, 300)}), "AXMinimized", true);
  json oddMinimised = withAttr(window("odd", {button("oddwin", 600, 300)}), "AXMinimized", "yes");
  json visible = window("vis", {button("shown", 300, 500)});

  json unreadable = appElement({}, menuBar());
  unreadable["attrs"].erase("AXWindows");
  unreadable["attrs"]["AXChildren"] = {window("w", {button("inapp", 300, 500)}), menuBar()};
  json nonElementList = appElement({}, menuBar());
  nonElementList["attrs"]["AXWindows"] = {"not an element"};
  nonElementList["attrs"]["AXChildren"] = {button("child", 300, 500)};
  json menuNotElement = appElement({visible});
  menuNotElement["attrs"]["AXMenuBar"] = "menu";

  struct Case {
    const char* name;
    json root;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"minimised windows are skipped",
       appElement({minimised, visible, oddMinimised}, menuBar()),
       {"File", "Edit", "oddwin", "shown"}},
      {"all windows minimised: the menu bar only", appElement({minimised}, menuBar()), {"File", "Edit"}},
      {"an empty window list: the menu bar only", appElement({}, menuBar()), {"File", "Edit"}},
      {"unreadable window list: the application is walked, its menu bar twice and kept once",
       unreadable,
       {"File", "Edit", "inapp"}},
      {"a window list holding other values counts as unreadable", nonElementList, {"File", "Edit", "child"}},
      {"a menu bar that is not an element is not walked", menuNotElement, {"shown"}},
  };
  for (const auto& c : cases) {
    auto o = observe(world({app(100, c.root)}));
    ASSERT_EQ(o.run.result.status, 0) << c.name << o.run.result.out << o.run.result.err;
    EXPECT_EQ(o.titles, c.expected) << c.name;
  }
}

TEST(ObserveEnumerate, TargetAndSystemUIProcesses) {
  json target = appElement({window("win", {button("target", 10, 300)})});
  json otherApp = app(300, appElement({window("w3", {button("other", 10, 500)})}), "com.example.other");
  json noBundle = app(400, appElement({window("w4", {button("nobundle", 10, 600)})}), "");
  noBundle.erase("bundleId");
  struct Case {
    const char* name;
    int frontmost;
    std::vector<std::string> args;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"no options: frontmost and system UI", 100, {}, {"ui1", "ui2", "target"}},
      {"a --pid that is not a number counts as none", 100, {"--pid", "abc"}, {"ui1", "ui2", "target"}},
      {"a later bad --pid clears an earlier one", 100, {"--pid", "300", "--pid", "12x"}, {"ui1", "ui2", "target"}},
      {"--pid alone: no system UI, even for the frontmost app", 100, {"--pid", "100"}, {"target"}},
      {"--pid of another app", 100, {"--pid", "300"}, {"other"}},
      {"--pid of a system UI process walks it at full depth alone", 100, {"--pid", "200"}, {"ui1"}},
      {"--pid without a process", 100, {"--pid", "999"}, {}},
      {"no frontmost application: pid 0, system UI still walked", 0, {}, {"ui1", "ui2"}},
      {"--pid as the last token is skipped", 100, {"--pid"}, {"ui1", "ui2", "target"}},
  };
  for (const auto& c : cases) {
    json w = world(
        {app(100, target), systemUIApp(200, "ui1", 0, 1300), otherApp, noBundle, systemUIApp(201, "ui2", 1, 1340)},
        c.frontmost);
    auto o = observe(w, c.args);
    ASSERT_EQ(o.run.result.status, 0) << c.name << o.run.result.out << o.run.result.err;
    // The two system UI badges share a row: left to right.
    EXPECT_EQ(o.titles, c.expected) << c.name;
    if (c.frontmost == 0) {
      EXPECT_EQ(journalOps(o.run.journal, {"axSet"}).at(0)["element"], "0") << c.name;
    }
  }
}

TEST(ObserveEnumerate, SystemUIIsWalkedTwelveLevelsDeep) {
  auto chain = [](const std::string& title, int levels) {
    json leaf = button(title, 700, 2, 20, 20);
    for (int i = 0; i < levels; ++i) leaf = plain("s" + std::to_string(i), {leaf});
    return leaf;
  };
  // The application element is depth 0, so a leaf under 11 levels is at depth 12.
  json sysRoot = plain("sysroot", {chain("depth12", 11), chain("depth13", 12)});
  json sys = app(200, sysRoot, systemUIBundle(0));
  auto o = observe(world({app(100, appElement({})), sys}));
  EXPECT_EQ(o.titles, (std::vector<std::string>{"depth12"}));
}

TEST(ObserveEnumerate, ReadingOrderRows) {
  struct Case {
    const char* name;
    std::vector<json> children;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"tops 100 and 110 are one row", {button("right", 500, 100), button("left", 20, 110)}, {"left", "right"}},
      {"tops 100 and 115 are two rows", {button("lower", 20, 115), button("upper", 500, 100)}, {"upper", "lower"}},
      {"smaller duplicate wins over its wrapper",
       {withChildren(button("wrapper", 90, 90, 60, 60), {button("inner", 100, 100, 20, 20)})},
       {"inner"}},
      {"centres 11.9 apart: the smaller survives",
       {button("large", 111.9, 300, 40, 21), button("small", 100, 300)},
       {"small"}},
      {"centres 30 apart: both survive", {button("b1", 100, 300), button("b2", 130, 300)}, {"b1", "b2"}},
  };
  for (const auto& c : cases) {
    auto o = observe(singleWindowWorld(c.children));
    EXPECT_EQ(o.titles, c.expected) << c.name;
  }
}

// 64 elements and more are merged, not inserted; a chain of row steps must still give every element
// once, numbered without gaps, and the same answer every time.
TEST(ObserveEnumerate, LongChainedRowsAreStableAndComplete) {
  std::vector<json> children;
  for (int i = 0; i < 90; ++i)
    children.push_back(button("c" + std::to_string(i), 20 + (i * 53) % 1300, 20 + i * 8, 30, 6));
  auto first = observe(singleWindowWorld(children));
  auto second = observe(singleWindowWorld(children));
  ASSERT_EQ(first.run.result.status, 0) << first.run.result.err;
  ASSERT_EQ(first.answer["elements"].size(), 90u);
  EXPECT_EQ(first.run.result.out, second.run.result.out);
  for (std::size_t i = 0; i < 90; ++i) EXPECT_EQ(first.answer["elements"][i]["number"], i + 1);
  auto titles = first.titles;
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(std::unique(titles.begin(), titles.end()), titles.end());
}

TEST(ObserveAnswer, PrettyDocumentExactly) {
  json box = element("Remember me", "AXCheckBox", 100, 200.5, 18.25, 18);
  box["attrs"]["AXValue"] = 1;
  box["attrs"]["AXFocused"] = true;
  json field = element("Name", "AXTextField", 20, 100, 200, 22);
  field["attrs"]["AXTitle"] = "";
  field["attrs"]["AXValue"] = "Ann \"A\" /x";
  const std::string path = testing_support::tempDir() + "/pretty/shot.png";
  std::filesystem::create_directories(testing_support::tempDir() + "/pretty");
  auto o = observe(singleWindowWorld({box, field}), {"--screenshot", path});
  ASSERT_EQ(o.run.result.status, 0) << o.run.result.err;
  std::string escapedPath;
  for (char ch : path) {
    if (ch == '/') escapedPath += '\\';
    escapedPath += ch;
  }
  const std::string expected =
      "{\n"
      "  \"elements\" : [\n"
      "    {\n"
      "      \"number\" : 1,\n"
      "      \"role\" : \"AXTextField\",\n"
      "      \"title\" : \"Ann \\\"A\\\" \\/x\",\n"
      "      \"state\" : \"value=\\\"Ann \\\"A\\\" \\/x\\\"\",\n"
      "      \"x\" : 20,\n"
      "      \"y\" : 100,\n"
      "      \"width\" : 200,\n"
      "      \"height\" : 22\n"
      "    },\n"
      "    {\n"
      "      \"number\" : 2,\n"
      "      \"role\" : \"AXCheckBox\",\n"
      "      \"title\" : \"Remember me\",\n"
      "      \"state\" : \"selected, focused\",\n"
      "      \"x\" : 100,\n"
      "      \"y\" : 200.5,\n"
      "      \"width\" : 18.25,\n"
      "      \"height\" : 18\n"
      "    }\n"
      "  ],\n"
      "  \"screenshotPath\" : \"" +
      escapedPath + "\"\n}\n";
  EXPECT_EQ(o.run.result.out, expected);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(ObserveAnswer, EmptyResultAndScreenshotOptions) {
  auto empty = observe(world({}, 0), {});
  ASSERT_EQ(empty.run.result.status, 0) << empty.run.result.err;
  EXPECT_TRUE(empty.answer["elements"].is_array());
  EXPECT_TRUE(empty.answer["elements"].empty());
  EXPECT_EQ(empty.answer["screenshotPath"], screenshotPath());

  // Without a value the default path is used (the option is the last token).
  auto o = testing_support::runSim("deskhand", {"observe", "--pid", "7", "--screenshot"}, world({}, 0));
  ASSERT_EQ(o.result.status, 0) << o.result.err;
  EXPECT_EQ(json::parse(o.result.out)["screenshotPath"], "/tmp/velmora-screenshot.png");
}

}  // namespace
