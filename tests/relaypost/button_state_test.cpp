// Button state across lines when events cannot be created. Runs in-process over the simulated
// backend, so the fault can be switched off between lines, which a world file cannot express.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/sim/world.h"
#include "relaypost/relay.h"
#include "relaypost/state.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;

std::vector<json> readMouseEvents(const std::string& path) {
  std::vector<json> events;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    json entry = json::parse(line);
    if (entry["op"] == "mouse") events.push_back(entry);
  }
  return events;
}

class ButtonStateTest : public ::testing::Test {
 protected:
  std::string journal = testing_support::tempDir() + "/button-state-journal.jsonl";

  void SetUp() override {
    std::remove(journal.c_str());
    ::setenv("SIM_JOURNAL", journal.c_str(), 1);
    ASSERT_EQ(platform::sim::loadWorldForTesting(std::nullopt), "");
    relaypost::startUp();
  }
  void TearDown() override {
    ::unsetenv("SIM_JOURNAL");
    platform::sim::loadWorldForTesting(std::nullopt);
  }
  static void failMouseEvents(bool fail) {
    auto& always = platform::sim::world().failAlways;
    if (fail) {
      always.insert("mouseEvent");
    } else {
      always.erase("mouseEvent");
    }
  }
};

TEST_F(ButtonStateTest, failedPressLeavesButtonsUp) {
  failMouseEvents(true);
  relaypost::handleLine(R"({"type":"mousedown","x":1,"y":1})");
  relaypost::handleLine(R"({"type":"mousedown","x":1,"y":1,"button":"right"})");
  EXPECT_FALSE(relaypost::leftButtonDown);
  EXPECT_FALSE(relaypost::rightButtonDown);
  failMouseEvents(false);
  relaypost::handleLine(R"({"type":"mousemove","x":2,"y":2})");
  auto events = readMouseEvents(journal);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["type"], 5);
  EXPECT_EQ(events[0]["button"], 0);
}

TEST_F(ButtonStateTest, failedReleaseKeepsButtonDown) {
  relaypost::handleLine(R"({"type":"mousedown","x":1,"y":1,"button":"right"})");
  failMouseEvents(true);
  relaypost::handleLine(R"({"type":"mouseup","x":1,"y":1,"button":"right"})");
  EXPECT_TRUE(relaypost::rightButtonDown);
  failMouseEvents(false);
  relaypost::handleLine(R"({"type":"mousemove","x":2,"y":2})");
  auto events = readMouseEvents(journal);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0]["type"], 3);
  EXPECT_EQ(events[1]["type"], 7);
  EXPECT_EQ(events[1]["button"], 1);
}

TEST_F(ButtonStateTest, startUpClearsBothButtons) {
  relaypost::handleLine(R"({"type":"mousedown","x":1,"y":1})");
  relaypost::handleLine(R"({"type":"mousedown","x":1,"y":1,"button":"right"})");
  ASSERT_TRUE(relaypost::leftButtonDown && relaypost::rightButtonDown);
  relaypost::startUp();
  EXPECT_FALSE(relaypost::leftButtonDown);
  EXPECT_FALSE(relaypost::rightButtonDown);
}

}  // namespace
