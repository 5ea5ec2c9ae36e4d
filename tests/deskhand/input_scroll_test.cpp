// Whole-program tests of scroll over the simulated desktop.
#include <gtest/gtest.h>

#include "tests/deskhand/input_journal_test.h"

namespace {

using namespace input_test;

// The empty world's display is 1440 x 900 at the origin.
constexpr double kMidX = 720, kMidY = 450;

// Move, settle 25 ms and 50 ms more, then one wheel event of `lines` and a pause per step.
Journal scrollAt(double x, double y, int lines, int steps) {
  Journal j = {mouse("move", x, y), sleepUs(25000), sleepUs(50000)};
  for (int i = 0; i < steps; ++i) {
    j.push_back("scroll unit=1 n=1 wheels=" + std::to_string(lines) + ",0,0");
    j.push_back(sleepUs(16000));
  }
  return j;
}

struct ScrollCase {
  std::vector<std::string> args;
  Journal journal;
};

TEST(InputScroll, DirectionStepsAndPosition) {
  const ScrollCase cases[] = {
      {{"down"}, scrollAt(kMidX, kMidY, -3, 3)},
      {{"up", "1"}, scrollAt(kMidX, kMidY, 3, 1)},
      // Only the exact word "down" scrolls down.
      {{"Down", "1"}, scrollAt(kMidX, kMidY, 3, 1)},
      {{"left", "1"}, scrollAt(kMidX, kMidY, 3, 1)},
      {{"", "1"}, scrollAt(kMidX, kMidY, 3, 1)},
      {{"down", "5", "7"}, scrollAt(kMidX, kMidY, -3, 5)},
      // The count still equals 3 when 7 is read.
      {{"down", "3", "7"}, scrollAt(kMidX, kMidY, -3, 7)},
      {{"down", "x", "4"}, scrollAt(kMidX, kMidY, -3, 4)},
      {{"down", "+2"}, scrollAt(kMidX, kMidY, -3, 2)},
      {{"down", "2.5"}, scrollAt(kMidX, kMidY, -3, 3)},
      {{"down", "99999999999"}, scrollAt(kMidX, kMidY, -3, 3)},
      // "--at" without two tokens after it is a step token.
      {{"down", "--at", "100"}, scrollAt(kMidX, kMidY, -3, 100)},
      {{"up", "--at", "10", "abc"}, scrollAt(10, kMidY, 3, 3)},
      {{"up", "--at", "abc", "20.5"}, scrollAt(kMidX, 20.5, 3, 3)},
      {{"down", "--at", "10", "20", "2"}, scrollAt(10, 20, -3, 2)},
      {{"down", "2", "--at", "-5", "6"}, scrollAt(-5, 6, -3, 2)},
      {{"down", "0"}, scrollAt(kMidX, kMidY, -3, 0)},
      // A negative count scrolls nothing and succeeds, like zero.
      {{"down", "-2"}, scrollAt(kMidX, kMidY, -3, 0)},
      {{"up", "-2147483648"}, scrollAt(kMidX, kMidY, 3, 0)},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE("scroll " + joinArgs(c.args));
    std::vector<std::string> args{"scroll"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SimAnswer run = runDeskhand(args);
    expectAnswer(run, std::nullopt);
    EXPECT_EQ(run.journal, c.journal);
  }
}

TEST(InputScroll, DefaultPositionIsTheMainDisplayCentre) {
  SimAnswer run = runDeskhand({"scroll", "down", "1"}, {{"display", {{"bounds", {100, 50, 801, 600}}}}});
  expectAnswer(run, std::nullopt);
  EXPECT_EQ(run.journal, scrollAt(500.5, 350, -3, 1));
  run = runDeskhand({"scroll", "down", "1", "--at", "7", "x"}, {{"display", {{"bounds", {100, 50, 801, 600}}}}});
  EXPECT_EQ(run.journal, scrollAt(7, 350, -3, 1));
}

TEST(InputScroll, Failures) {
  const std::string failed = "Failed to simulate scroll";
  const std::pair<json, Journal> cases[] = {
      {{{"fail", {"eventSource"}}}, {}},
      {{{"fail", {"scrollEvent"}}}, scrollAt(kMidX, kMidY, -3, 0)},
      // Steps already posted stay scrolled.
      {{{"failAfter", {{"scrollEvent", 2}}}}, scrollAt(kMidX, kMidY, -3, 2)},
  };
  for (const auto& [failures, journal] : cases) {
    SCOPED_TRACE(failures.dump());
    SimAnswer run = runDeskhand({"scroll", "down", "4"}, failures);
    expectError(run, failed);
    EXPECT_EQ(run.journal, journal);
  }
  // A lost move does not stop the scroll.
  SimAnswer run = runDeskhand({"scroll", "up", "1"}, {{"fail", {"mouseEvent"}}});
  expectAnswer(run, std::nullopt);
  EXPECT_EQ(run.journal, (Journal{sleepUs(25000), sleepUs(50000), "scroll unit=1 n=1 wheels=3,0,0", sleepUs(16000)}));

  run = runDeskhand({"scroll"});
  expectError(run, "Usage: velmora-helper scroll <direction> [steps] [--at x y]");
  EXPECT_EQ(run.journal, Journal{});
}

}  // namespace
