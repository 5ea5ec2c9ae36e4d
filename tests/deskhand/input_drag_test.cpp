// Whole-program tests of drag over the simulated desktop, and of its option scanner and interpolation.
#include <gtest/gtest.h>

#include <cmath>

#include "deskhand/input/drag.h"
#include "tests/deskhand/input_journal_test.h"

namespace {

using namespace input_test;

const std::string kDragUsage =
    "Usage: velmora-helper drag <from_x> <from_y> <to_x> <to_y> [--steps N] [--path x1,y1 ...] [--hold-seconds N]";

// Move to the start, settle, press, hold.
Journal pressAt(double x, double y, std::uint64_t holdUs = 20000) {
  return {mouse("move", x, y), sleepUs(25000), mouse("down", x, y), sleepUs(holdUs)};
}

// One drag event and its pause per interpolated point of the segment.
Journal segment(double fromX, double fromY, double toX, double toY, int steps) {
  Journal j;
  for (int i = 1; i <= steps; ++i) {
    double t = static_cast<double>(i) / steps;
    j.push_back(mouse("drag", (toX - fromX) * t + fromX, (toY - fromY) * t + fromY));
    j.push_back(sleepUs(16000));
  }
  return j;
}

Journal pauses(int count) { return Journal(static_cast<std::size_t>(count), sleepUs(16000)); }

struct DragCase {
  std::vector<std::string> args;
  Journal journal;
  std::optional<std::string> error;
};

TEST(InputDrag, PathsStepsAndHolds) {
  const DragCase cases[] = {
      // Default: ten steps straight to the destination, released there.
      {{"0", "0", "100", "50"}, pressAt(0, 0) + segment(0, 0, 100, 50, 10) + Journal{mouse("up", 100, 50)}, {}},
      // Thirds do not land on round numbers: the points are (to - from) * t + from.
      {{"1", "2", "2", "3", "--steps", "3"}, pressAt(1, 2) + segment(1, 2, 2, 3, 3) + Journal{mouse("up", 2, 3)}, {}},
      // Same start and destination: no drag events, but every pause.
      {{"5", "5", "5", "5"}, pressAt(5, 5) + pauses(10) + Journal{mouse("up", 5, 5)}, {}},
      {{"0", "0", "9", "9", "--steps", "0"}, pressAt(0, 0) + Journal{mouse("up", 9, 9)}, {}},
      {{"0", "0", "9", "9", "--steps", "-4"}, pressAt(0, 0) + Journal{mouse("up", 9, 9)}, {}},
      {{"0", "0", "9", "9", "--steps", "abc"},
       pressAt(0, 0) + segment(0, 0, 9, 9, 10) + Journal{mouse("up", 9, 9)},
       {}},
      {{"0", "0", "9", "9", "--steps"}, pressAt(0, 0) + segment(0, 0, 9, 9, 10) + Journal{mouse("up", 9, 9)}, {}},
      {{"0", "0", "8", "8", "--steps", "1", "--steps", "2"},
       pressAt(0, 0) + segment(0, 0, 8, 8, 2) + Journal{mouse("up", 8, 8)},
       {}},
      {{"0", "0", "9", "9", "--hold-seconds", "2", "--steps", "1"},
       pressAt(0, 0, 2000000) + segment(0, 0, 9, 9, 1) + Journal{mouse("up", 9, 9)},
       {}},
      // Waypoints: ten points per leg, then the release jumps to the destination.
      {{"0", "0", "100", "100", "--path", "10,20", "30,40"},
       pressAt(0, 0) + segment(0, 0, 10, 20, 10) + segment(10, 20, 30, 40, 10) + Journal{mouse("up", 100, 100)},
       {}},
      {{"0", "0", "100", "100", "--path", "10,20", "junk", "30,40", "--steps", "5"},
       pressAt(0, 0) + segment(0, 0, 10, 20, 5) + segment(10, 20, 30, 40, 5) + Journal{mouse("up", 100, 100)},
       {}},
      {{"0", "0", "100", "100", "--steps", "2", "--path", ",1,2", "1,2,3", "-4,,5,"},
       pressAt(0, 0) + segment(0, 0, 1, 2, 2) + segment(1, 2, -4, 5, 2) + Journal{mouse("up", 100, 100)},
       {}},
      // A later --path replaces the earlier one.
      {{"0", "0", "100", "100", "--path", "10,10", "--steps", "1", "--path", "20,30"},
       pressAt(0, 0) + segment(0, 0, 20, 30, 1) + Journal{mouse("up", 100, 100)},
       {}},
      // An empty --path is a straight drag, as is one with only unusable tokens.
      {{"0", "0", "4", "4", "--steps", "2", "--path"},
       pressAt(0, 0) + segment(0, 0, 4, 4, 2) + Journal{mouse("up", 4, 4)},
       {}},
      {{"0", "0", "4", "4", "--steps", "2", "--path", "1,2,3", "x,1"},
       pressAt(0, 0) + segment(0, 0, 4, 4, 2) + Journal{mouse("up", 4, 4)},
       {}},
      // A waypoint on the previous path point pauses without events.
      {{"0", "0", "10", "10", "--path", "0,0", "10,10", "--steps", "2"},
       pressAt(0, 0) + pauses(2) + segment(0, 0, 10, 10, 2) + Journal{mouse("up", 10, 10)},
       {}},
      // The hold option's value is not a waypoint; the path ends at the option.
      {{"0", "0", "10", "10", "--path", "2,2", "--hold-seconds", "1", "3,3", "--steps", "1"},
       pressAt(0, 0, 1000000) + segment(0, 0, 2, 2, 1) + Journal{mouse("up", 10, 10)},
       {}},
      {{"0", "0", "1", "1", "--hold-seconds", "21"}, {}, "--hold-seconds must be between 0 and 20"},
      {{"0", "0", "1", "1", "--steps", "2", "--hold-seconds"}, {}, "--hold-seconds requires a number"},
      {{"0", "0", "1"}, {}, kDragUsage},
      {{"0", "0", "1", "x", "--steps", "2"}, {}, kDragUsage},
      {{}, {}, kDragUsage},
  };
  for (const DragCase& c : cases) {
    SCOPED_TRACE("drag " + joinArgs(c.args));
    std::vector<std::string> args{"drag"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SimAnswer run = runDeskhand(args);
    expectAnswer(run, c.error);
    EXPECT_EQ(run.journal, c.journal);
  }
}

TEST(InputDrag, CreationFailures) {
  const std::string failed = "Failed to simulate drag";
  const std::pair<json, Journal> cases[] = {
      {{{"fail", {"eventSource"}}}, {}},
      {{{"fail", {"mouseEvent"}}}, {sleepUs(25000)}},
      {{{"failAfter", {{"mouseEvent", 1}}}}, {mouse("move", 0, 0), sleepUs(25000)}},
      // Drag events that cannot be created are skipped with their pauses kept; then the release fails
      // and the press stays posted.
      {{{"failAfter", {{"mouseEvent", 2}}}}, pressAt(0, 0) + pauses(3)},
      {{{"failAfter", {{"mouseEvent", 3}}}}, pressAt(0, 0) + Journal{mouse("drag", 2, 1), sleepUs(16000)} + pauses(2)},
  };
  for (const auto& [failures, journal] : cases) {
    SCOPED_TRACE(failures.dump());
    SimAnswer run = runDeskhand({"drag", "0", "0", "6", "3", "--steps", "3"}, failures);
    expectError(run, failed);
    EXPECT_EQ(run.journal, journal);
  }
}

TEST(InputDrag, InterpolationEndsOnTheDestination) {
  EXPECT_TRUE(deskhand::interpolatePoints(0, 0, 1, 1, 0).empty());
  EXPECT_TRUE(deskhand::interpolatePoints(0, 0, 1, 1, -3).empty());
  std::vector<platform::Point> points = deskhand::interpolatePoints(0.1, -7, 0.7, 11, 7);
  ASSERT_EQ(points.size(), 7u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    double t = static_cast<double>(i + 1) / 7;
    EXPECT_EQ(points[i].x, (0.7 - 0.1) * t + 0.1);
    EXPECT_EQ(points[i].y, (11.0 + 7.0) * t - 7);
  }
  EXPECT_EQ(points.back().x, 0.7);
  EXPECT_EQ(points.back().y, 11);
}

TEST(InputDrag, NotANumberPointsAlwaysMove) {
  // nan is a decimal number: every interpolated point differs from the last posted one.
  std::vector<platform::Point> points = deskhand::interpolatePoints(0, 0, NAN, 0, 2);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_TRUE(std::isnan(points[0].x));
  testing_support::SimRun sim =
      testing_support::runSim("deskhand", {"drag", "0", "0", "nan", "0", "--steps", "2"}, world());
  EXPECT_EQ(sim.result.status, 0);
  std::vector<json> drags;
  for (const json& line : testing_support::journalOps(sim.journal, {"mouse"}))
    if (line["type"] == 6) drags.push_back(line);
  EXPECT_EQ(drags.size(), 2u);
}

}  // namespace
