// raiseWindows and ensureWindowExists, called in this process over simulated worlds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "deskhand/input/keyboard.h"
#include "deskhand/observe/windows.h"
#include "platform/sim/world.h"
#include "platform/workspace.h"
#include "tests/deskhand/observe_worlds.h"

namespace {

using namespace observe_worlds;

int worldCount = 0;

// Loads the world into this process's simulated desktop with a fresh journal; gives the journal's path.
std::string loadWorld(const json& w) {
  const std::string journal = testing_support::tempDir() + "/windows-journal-" + std::to_string(++worldCount);
  setenv("SIM_JOURNAL", journal.c_str(), 1);
  const std::string path = testing_support::writeTempFile("windows-world.json", w.dump());
  const std::string reason = platform::sim::loadWorldForTesting(path);
  EXPECT_EQ(reason, "");
  return journal;
}

// The journal lines without their times.
std::vector<json> readJournal(const std::string& path) {
  std::fflush(platform::sim::runState().journal);
  std::vector<json> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    json j = json::parse(line);
    j.erase("t");
    lines.push_back(j);
  }
  return lines;
}

json win(const std::string& id, json minimised) {
  json w = window(id, {});
  if (!minimised.is_null()) w["attrs"]["AXMinimized"] = std::move(minimised);
  return w;
}

json raise(const std::string& id) { return json{{"op", "axPerform"}, {"element", id}, {"action", "AXRaise"}}; }

struct WindowCase {
  const char* name;
  json appRoot;  // null: no application with that pid
  std::vector<json> raised;
  bool newWindow = false;  // ensureWindowExists presses the new-window keys and waits
};

std::vector<WindowCase> windowCases() {
  json unreadableList = appElement({});
  unreadableList["attrs"]["AXWindows"] = json{{"error", -25204}};
  json notAList = appElement({});
  notAList["attrs"]["AXWindows"] = "windows";
  return {
      {"one visible and one minimised", appElement({win("vis", false), win("min", true)}), {raise("vis")}, false},
      {"minimised first, then visible", appElement({win("min", true), win("vis", json())}), {raise("vis")}, false},
      {"all minimised", appElement({win("m1", true), win("m2", true)}), {}, true},
      {"empty window list", appElement({}), {}, true},
      {"unreadable minimised state counts as usable",
       appElement({win("err", json{{"error", -25205}}), win("min", true)}),
       {raise("err")},
       false},
      {"a non-boolean minimised state counts as usable", appElement({win("odd", "yes")}), {raise("odd")}, false},
      {"every usable window is raised in list order",
       appElement({win("w1", false), win("w2", json())}),
       {raise("w1"), raise("w2")},
       false},
      {"unreadable window list", unreadableList, {}, true},
      {"window list of another type", notAList, {}, true},
      {"no such process", json(), {}, true},
  };
}

json worldWith(const json& root) {
  if (root.is_null()) return world({}, 0);
  return world({app(100, root)});
}

TEST(ObserveWindows, RaiseWindows) {
  for (const auto& c : windowCases()) {
    auto journal = loadWorld(worldWith(c.appRoot));
    deskhand::raiseWindows(100);
    EXPECT_EQ(readJournal(journal), c.raised) << c.name;
  }
}

TEST(ObserveWindows, EnsureWindowExists) {
  // What one press of the new-window keys leaves in the journal, on its own.
  auto keysJournal = loadWorld(world({}, 0));
  deskhand::pressKey(platform::newWindowKeySpec());
  std::vector<json> pressed = readJournal(keysJournal);
  ASSERT_FALSE(testing_support::journalOps(pressed, {"key"}).empty());

  for (const auto& c : windowCases()) {
    auto journal = loadWorld(worldWith(c.appRoot));
    deskhand::ensureWindowExists(100);
    std::vector<json> expected;
    if (c.newWindow) {
      expected = pressed;
      expected.push_back(json{{"op", "sleep"}, {"us", 500000}});
    }
    EXPECT_EQ(readJournal(journal), expected) << c.name;
  }
}

TEST(ObserveWindows, SystemUIPidsAndFrontmost) {
  auto ids = platform::systemUIBundleIdentifiers();
  ASSERT_FALSE(ids.empty());
  json a = app(10, appElement({}), ids.front());
  json b = app(11, appElement({}), "com.example.other");
  json c = app(12, appElement({}), ids.back());
  json d = app(13, appElement({}), ids.front());
  json e = app(14, appElement({}), "");
  e.erase("bundleId");
  json f = app(15, appElement({}), ids.front() + "x");
  loadWorld(world({a, b, c, d, e, f}, 11));
  EXPECT_EQ(deskhand::getSystemUIPids(), (std::vector<std::int32_t>{10, 12, 13}));
  EXPECT_EQ(deskhand::getFrontmostAppPID(), 11);
  loadWorld(world({b}, 0));
  EXPECT_TRUE(deskhand::getSystemUIPids().empty());
  EXPECT_EQ(deskhand::getFrontmostAppPID(), 0);
}

}  // namespace
