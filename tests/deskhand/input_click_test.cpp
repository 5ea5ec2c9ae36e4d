// Whole-program tests of click, double-click and right-click over the simulated desktop.
#include <gtest/gtest.h>

#include "deskhand/input/mouse.h"
#include "tests/deskhand/input_journal_test.h"

namespace {

using namespace input_test;

const std::string kClickUsage = "Usage: velmora-helper click <x> <y> [--hold-seconds N]";
const std::string kNeedsNumber = "--hold-seconds requires a number";
const std::string kOutOfBounds = "--hold-seconds must be between 0 and 20";

// Move, settle, press, hold, release.
Journal clickAt(double x, double y, std::uint64_t holdUs) {
  return {mouse("move", x, y), sleepUs(25000), mouse("down", x, y), sleepUs(holdUs), mouse("up", x, y)};
}

struct ClickCase {
  std::vector<std::string> args;
  Journal journal;
  std::optional<std::string> error;
};

TEST(InputClick, HoldsAndUsage) {
  const ClickCase cases[] = {
      {{"10", "20"}, clickAt(10, 20, 20000), {}},
      {{"10", "20", "extra"}, clickAt(10, 20, 20000), {}},
      {{"10.5", "-3"}, clickAt(10.5, -3, 20000), {}},
      {{"+7", "1e2"}, clickAt(7, 100, 20000), {}},
      {{"10", "20", "--hold-seconds", "0"}, clickAt(10, 20, 20000), {}},
      {{"10", "20", "--hold-seconds", "-0"}, clickAt(10, 20, 20000), {}},
      {{"10", "20", "--hold-seconds", "0.5"}, clickAt(10, 20, 500000), {}},
      {{"10", "20", "--hold-seconds", "20"}, clickAt(10, 20, 20000000), {}},
      {{"10", "20", "--hold-seconds", "1e1"}, clickAt(10, 20, 10000000), {}},
      {{"10", "20", "--hold-seconds", "0x1p-1"}, clickAt(10, 20, 500000), {}},
      {{"10", "20", "--hold-seconds", "0X1.8P1"}, clickAt(10, 20, 3000000), {}},
      {{"10", "20", "--hold-seconds", ".25"}, clickAt(10, 20, 250000), {}},
      {{"10", "20", "--hold-seconds", "2."}, clickAt(10, 20, 2000000), {}},
      {{"10", "20", "--hold-seconds", "+1.5E+0"}, clickAt(10, 20, 1500000), {}},
      // Truncated, not rounded: 1.5 us becomes 1.
      {{"10", "20", "--hold-seconds", "1.5e-6"}, clickAt(10, 20, 1), {}},
      {{"10", "20", "--hold-seconds", "2", "--hold-seconds", "5"}, clickAt(10, 20, 2000000), {}},
      {{"10", "20", "--hold-seconds", "2", "--hold-seconds", "abc"}, clickAt(10, 20, 2000000), {}},
      {{"10", "20", "junk", "--hold-seconds", "3", "junk"}, clickAt(10, 20, 3000000), {}},
      {{"10", "20", "--HOLD-SECONDS", "3"}, clickAt(10, 20, 20000), {}},
      {{"10", "20", "--hold-seconds", "20.5"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "20.000001"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "-1"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "nan"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "-NaN"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "inf"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "Infinity"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "-inf"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "1e999"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "99"}, {}, kOutOfBounds},
      {{"10", "20", "--hold-seconds", "abc"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", ""}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", " 1"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "1 "}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds"}, {}, kNeedsNumber},
      {{"10", "20", "extra", "--hold-seconds"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "nan(1)"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "infinit"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "0x"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "1e"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "."}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "1.5.2"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "+-1"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "1s"}, {}, kNeedsNumber},
      {{"10", "20", "--hold-seconds", "--hold-seconds"}, {}, kNeedsNumber},
      {{}, {}, kClickUsage},
      {{"10"}, {}, kClickUsage},
      {{"10", "abc"}, {}, kClickUsage},
      {{"abc", "20", "--hold-seconds", "99"}, {}, kClickUsage},
      {{"10px", "20"}, {}, kClickUsage},
      {{" 10", "20"}, {}, kClickUsage},
      {{"10", ""}, {}, kClickUsage},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE("click " + joinArgs(c.args));
    std::vector<std::string> args{"click"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SimAnswer run = runDeskhand(args);
    expectAnswer(run, c.error);
    EXPECT_EQ(run.journal, c.journal);
    EXPECT_EQ(run.err, "");
  }
}

struct FailureCase {
  std::string command;
  json world;
  Journal journal;
  std::string error;
};

TEST(InputClick, CreationFailures) {
  const double x = 30, y = 40;
  const FailureCase cases[] = {
      {"click", {{"fail", {"eventSource"}}}, {}, "Failed to simulate click"},
      // The move is lost silently; the press is what fails.
      {"click", {{"fail", {"mouseEvent"}}}, {sleepUs(25000)}, "Failed to simulate click"},
      {"click",
       {{"failAfter", {{"mouseEvent", 1}}}},
       {mouse("move", x, y), sleepUs(25000)},
       "Failed to simulate click"},
      // The release fails: the press stays posted.
      {"click",
       {{"failAfter", {{"mouseEvent", 2}}}},
       {mouse("move", x, y), sleepUs(25000), mouse("down", x, y), sleepUs(20000)},
       "Failed to simulate click"},
      {"double-click", {{"fail", {"eventSource"}}}, {}, "Failed to simulate double-click"},
      {"double-click", {{"fail", {"mouseEvent"}}}, {sleepUs(25000)}, "Failed to simulate double-click"},
      {"double-click",
       {{"failAfter", {{"mouseEvent", 3}}}},
       {mouse("move", x, y), sleepUs(25000), mouse("down", x, y, 0, 1), sleepUs(20000), mouse("up", x, y, 0, 1),
        sleepUs(30000)},
       "Failed to simulate double-click"},
      {"double-click",
       {{"failAfter", {{"mouseEvent", 4}}}},
       {mouse("move", x, y), sleepUs(25000), mouse("down", x, y, 0, 1), sleepUs(20000), mouse("up", x, y, 0, 1),
        sleepUs(30000), mouse("down", x, y, 0, 2), sleepUs(20000)},
       "Failed to simulate double-click"},
      {"right-click", {{"fail", {"eventSource"}}}, {}, "Failed to simulate right-click"},
      {"right-click", {{"fail", {"mouseEvent"}}}, {sleepUs(25000)}, "Failed to simulate right-click"},
      {"right-click",
       {{"failAfter", {{"mouseEvent", 2}}}},
       {mouse("move", x, y), sleepUs(25000), mouse("rdown", x, y, 1), sleepUs(20000)},
       "Failed to simulate right-click"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.command + " " + c.world.dump());
    SimAnswer run = runDeskhand({c.command, number(x), number(y)}, c.world);
    expectError(run, c.error);
    EXPECT_EQ(run.journal, c.journal);
    EXPECT_EQ(run.err, "");
  }
}

TEST(InputClick, DoubleClickPostsFourEventsWithClickStates) {
  SimAnswer run = runDeskhand({"double-click", "100", "200.25", "ignored"});
  expectAnswer(run, std::nullopt);
  Journal expected = {mouse("move", 100, 200.25),     sleepUs(25000), mouse("down", 100, 200.25, 0, 1), sleepUs(20000),
                      mouse("up", 100, 200.25, 0, 1), sleepUs(30000), mouse("down", 100, 200.25, 0, 2), sleepUs(20000),
                      mouse("up", 100, 200.25, 0, 2), sleepUs(30000)};
  EXPECT_EQ(run.journal, expected);
}

TEST(InputClick, RightClickHasNoHoldAndNoClickState) {
  // The hold option is not read by right-click, not even a malformed one.
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{}, {"--hold-seconds", "5"}, {"--hold-seconds"}}) {
    std::vector<std::string> args{"right-click", "5", "6"};
    args.insert(args.end(), extra.begin(), extra.end());
    SCOPED_TRACE(joinArgs(args));
    SimAnswer run = runDeskhand(args);
    expectAnswer(run, std::nullopt);
    Journal expected = {mouse("move", 5, 6), sleepUs(25000), mouse("rdown", 5, 6, 1), sleepUs(20000),
                        mouse("rup", 5, 6, 1)};
    EXPECT_EQ(run.journal, expected);
  }
}

TEST(InputClick, DoubleAndRightClickUsage) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"double-click"}, "Usage: velmora-helper double-click <x> <y>"},
      {{"double-click", "1"}, "Usage: velmora-helper double-click <x> <y>"},
      {{"double-click", "1", "y"}, "Usage: velmora-helper double-click <x> <y>"},
      {{"right-click"}, "Usage: velmora-helper right-click <x> <y>"},
      {{"right-click", "x", "1"}, "Usage: velmora-helper right-click <x> <y>"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(joinArgs(args));
    SimAnswer run = runDeskhand(args);
    expectError(run, message);
    EXPECT_EQ(run.journal, Journal{});
  }
}

// The literal grammar of the hold option, apart from its range.
TEST(InputClick, HoldLiteralGrammar) {
  for (const char* good : {"0", "20", "-1", "+1", "1.", ".5", "1e5", "1E-5", "0x1p3", "0XaP-2", "0x.8", "0x1.", "inf",
                           "INF", "-Infinity", "nan", "NAN", "+nan", "007"})
    EXPECT_TRUE(deskhand::isHoldLiteral(good)) << good;
  for (const char* bad :
       {"",    " ",    " 1",   "1 ",  "\t1",    "1\n",  "+",         "-",  ".",   "e5",  "1e",  "1e+", "0x",
        "0x.", "0xp1", "0x1p", "1p3", "nan(0)", "nanq", "infinityy", "in", "1,5", "1_0", "0b1", "--1", "1e5.5"})
    EXPECT_FALSE(deskhand::isHoldLiteral(bad)) << "[" << bad << "]";
}

}  // namespace
