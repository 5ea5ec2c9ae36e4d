// Whole-program tests of key and type over the simulated desktop, and of the key table.
#include <gtest/gtest.h>

#include "deskhand/input/keyboard.h"
#include "tests/deskhand/input_journal_test.h"

namespace {

using namespace input_test;

std::string keyDown(int code) { return "key " + std::to_string(code) + " down"; }
std::string keyUp(int code) { return "key " + std::to_string(code) + " up"; }

// Modifier downs (2 ms each), the key down and up with the flags 20 ms apart, modifier ups in reverse.
Journal chord(const std::vector<int>& modifiers, int key, std::uint64_t flags) {
  Journal j;
  for (int m : modifiers) j.insert(j.end(), {keyDown(m), sleepUs(2000)});
  j.push_back(keyDown(key) + " flags=" + hex(flags));
  j.push_back(sleepUs(20000));
  j.push_back(keyUp(key) + " flags=" + hex(flags));
  for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) j.insert(j.end(), {keyUp(*m), sleepUs(2000)});
  return j;
}

struct KeyCase {
  std::vector<std::string> args;
  Journal journal;
  std::optional<std::string> unsupported;  // the key name of the standard-error line
};

TEST(InputKey, SpecsAndUnsupportedNames) {
  const KeyCase cases[] = {
      {{"cmd+shift+t"}, chord({55, 56}, 17, 0x120000), {}},
      {{"Cmd+Shift+T"}, chord({55, 56}, 17, 0x120000), {}},
      {{"command+option+escape"}, chord({55, 58}, 53, 0x180000), {}},
      {{"ctrl+cmd+ctrl+a"}, chord({59, 55, 59}, 0, 0x140000), {}},
      {{"alt+opt+control+fn+f1"}, chord({58, 58, 59, 63}, 122, 0x8c0000), {}},
      {{"return"}, chord({}, 36, 0), {}},
      {{"ENTER"}, chord({}, 36, 0), {}},
      {{"delete"}, chord({}, 51, 0), {}},
      {{"forwarddelete"}, chord({}, 117, 0), {}},
      {{"shift+\\"}, chord({56}, 42, 0x20000), {}},
      {{"`"}, chord({}, 50, 0), {}},
      {{"cmd+,"}, chord({55}, 43, 0x100000), {}},
      {{"cmd++a"}, chord({55}, 0, 0x100000), {}},
      {{"+cmd+a+"}, chord({55}, 0, 0x100000), {}},
      {{"a+b"}, chord({}, 11, 0), {}},
      {{"F12"}, chord({}, 111, 0), {}},
      {{"cmd+c", "extra"}, chord({55}, 8, 0x100000), {}},
      // The Kelvin sign lower-cases to the ASCII letter k.
      {{"cmd+\u212A"}, chord({55}, 40, 0x100000), {}},
      {{"cmd"}, {}, ""},
      {{"+"}, {}, ""},
      {{"cmd+"}, {}, ""},
      {{""}, {}, ""},
      {{"cmd+foo"}, {}, "foo"},
      {{"cmd+FOO"}, {}, "foo"},
      {{"cmd+ a"}, {}, " a"},
      {{"super+a+meta"}, {}, "meta"},
      // Full-width letters are other characters; İ lower-cases to i and a combining dot.
      {{"\uFF21"}, {}, "\uFF41"},
      {{"cmd+\u0130"}, {}, "i\u0307"},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE("key " + joinArgs(c.args));
    std::vector<std::string> args{"key"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SimAnswer run = runDeskhand(args);
    if (c.unsupported) {
      expectError(run, "Failed to simulate key press '" + c.args.front() + "'");
      EXPECT_EQ(run.err, "Unsupported key: '" + *c.unsupported + "'\n");
    } else {
      expectAnswer(run, std::nullopt);
      EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(run.journal, c.journal);
  }
}

TEST(InputKey, CreationFailures) {
  struct Case {
    std::string spec;
    json world;
    Journal journal;
    std::optional<std::string> error;
    std::string err;
  };
  const Case cases[] = {
      {"cmd+a", {{"fail", {"eventSource"}}}, {}, "Failed to simulate key press 'cmd+a'", ""},
      // The name is checked before the source is made.
      {"cmd+zz", {{"fail", {"eventSource"}}}, {}, "Failed to simulate key press 'cmd+zz'", "Unsupported key: 'zz'\n"},
      // Events that cannot be created are skipped; the pauses and the answer stay.
      {"cmd+a", {{"fail", {"keyboardEvent"}}}, {sleepUs(2000), sleepUs(20000), sleepUs(2000)}, {}, ""},
      {"cmd+a",
       {{"failAfter", {{"keyboardEvent", 1}}}},
       {keyDown(55), sleepUs(2000), sleepUs(20000), sleepUs(2000)},
       {},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec + " " + c.world.dump());
    SimAnswer run = runDeskhand({"key", c.spec}, c.world);
    expectAnswer(run, c.error);
    EXPECT_EQ(run.journal, c.journal);
    EXPECT_EQ(run.err, c.err);
  }
  SimAnswer run = runDeskhand({"key"});
  expectError(run, "Usage: velmora-helper key <key-spec>");
}

// Key down and up of one chunk, then its pause.
Journal chunk(const std::string& text, const std::string& units = "") {
  std::string suffix = " text=" + text + (units.empty() ? "" : " units=" + units);
  return {"key 0 down" + suffix, "key 0 up" + suffix, sleepUs(5000)};
}

TEST(InputType, ChunksOfTwentyUnits) {
  const std::string twenty(20, 'x');
  const std::string units19 =
      "0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,0x61,"
      "0x61,0x61,0x61,0xd83d";
  const std::pair<std::vector<std::string>, Journal> cases[] = {
      {{"hello"}, chunk("hello")},
      {{"hello", "world"}, chunk("hello world")},
      {{"a  b"}, chunk("a  b")},
      {{"", ""}, chunk(" ")},
      {{""}, {}},
      {{twenty}, chunk(twenty)},
      {{twenty + twenty + "y"}, chunk(twenty) + chunk(twenty) + chunk("y")},
      // 19 letters and an emoji: the cut falls between the two halves of the surrogate pair.
      {{std::string(19, 'a') + "\U0001F600b"},
       chunk(std::string(19, 'a') + "\uFFFD", units19) + chunk("\uFFFDb", "0xde00,0x62")},
      {{"caf\u00e9 \u65e5\u672c"}, chunk("caf\u00e9 \u65e5\u672c")},
      {{"x", "--hold-seconds", "1"}, chunk("x --hold-seconds 1")},
  };
  for (const auto& [args, journal] : cases) {
    SCOPED_TRACE("type " + joinArgs(args));
    std::vector<std::string> all{"type"};
    all.insert(all.end(), args.begin(), args.end());
    SimAnswer run = runDeskhand(all);
    expectAnswer(run, std::nullopt);
    EXPECT_EQ(run.journal, journal);
  }
}

TEST(InputType, Failures) {
  const std::string failed = "Failed to simulate typing";
  const std::string text41(41, 'q');
  struct Case {
    std::string text;
    json world;
    Journal journal;
    std::optional<std::string> error;
  };
  const Case cases[] = {
      {"hi", {{"fail", {"eventSource"}}}, {}, failed},
      {"", {{"fail", {"eventSource"}}}, {}, failed},
      {"", {{"fail", {"keyboardEvent"}}}, {}, {}},
      {"hi", {{"fail", {"keyboardEvent"}}}, {}, failed},
      // The key-down stays posted without its key-up.
      {"hi", {{"failAfter", {{"keyboardEvent", 1}}}}, {"key 0 down text=hi"}, failed},
      {text41, {{"failAfter", {{"keyboardEvent", 2}}}}, chunk(std::string(20, 'q')), failed},
      {text41,
       {{"failAfter", {{"keyboardEvent", 5}}}},
       chunk(std::string(20, 'q')) + chunk(std::string(20, 'q')) + Journal{"key 0 down text=q"},
       failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " " + c.world.dump());
    SimAnswer run = runDeskhand({"type", c.text}, c.world);
    expectAnswer(run, c.error);
    EXPECT_EQ(run.journal, c.journal);
  }
  SimAnswer run = runDeskhand({"type"});
  expectError(run, "Usage: velmora-helper type <text>");
}

TEST(InputKey, TableHoldsEveryNamedKey) {
  const std::map<std::string, std::uint16_t>& table = deskhand::keyCodeMap();
  EXPECT_EQ(table.size(), 76u);
  const std::pair<const char*, std::uint16_t> samples[] = {
      {"return", 36},
      {"enter", 36},
      {"tab", 48},
      {"space", 49},
      {"delete", 51},
      {"backspace", 51},
      {"forwarddelete", 117},
      {"escape", 53},
      {"esc", 53},
      {"up", 126},
      {"down", 125},
      {"left", 123},
      {"right", 124},
      {"home", 115},
      {"end", 119},
      {"pageup", 116},
      {"pagedown", 121},
      {"f1", 122},
      {"f2", 120},
      {"f3", 99},
      {"f4", 118},
      {"f5", 96},
      {"f6", 97},
      {"f7", 98},
      {"f8", 100},
      {"f9", 101},
      {"f10", 109},
      {"f11", 103},
      {"f12", 111},
      {"a", 0},
      {"b", 11},
      {"c", 8},
      {"d", 2},
      {"e", 14},
      {"f", 3},
      {"g", 5},
      {"h", 4},
      {"i", 34},
      {"j", 38},
      {"k", 40},
      {"l", 37},
      {"m", 46},
      {"n", 45},
      {"o", 31},
      {"p", 35},
      {"q", 12},
      {"r", 15},
      {"s", 1},
      {"t", 17},
      {"u", 32},
      {"v", 9},
      {"w", 13},
      {"x", 7},
      {"y", 16},
      {"z", 6},
      {"0", 29},
      {"1", 18},
      {"2", 19},
      {"3", 20},
      {"4", 21},
      {"5", 23},
      {"6", 22},
      {"7", 26},
      {"8", 28},
      {"9", 25},
      {"-", 27},
      {"=", 24},
      {"[", 33},
      {"]", 30},
      {";", 41},
      {"'", 39},
      {",", 43},
      {".", 47},
      {"/", 44},
      {"\\", 42},
      {"`", 50},
  };
  for (const auto& [name, code] : samples) {
    auto found = table.find(name);
    ASSERT_NE(found, table.end()) << name;
    EXPECT_EQ(found->second, code) << name;
  }
}

}  // namespace
