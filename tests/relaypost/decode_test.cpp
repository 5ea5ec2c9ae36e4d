// Line decoding: which lines become which InputEvent, and which are dropped.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "relaypost/input_event.h"
#include "relaypost/keys.h"
#include "relaypost/pointer.h"

namespace relaypost {

// Readable failure messages.
void PrintTo(const InputEvent& e, std::ostream* os) {
  auto opt = [&](const char* name, const auto& v) {
    if (v) *os << " " << name << "=" << *v;
  };
  *os << "{type=" << e.type;
  opt("x", e.x);
  opt("y", e.y);
  opt("button", e.button);
  opt("clickCount", e.clickCount);
  opt("deltaX", e.deltaX);
  opt("deltaY", e.deltaY);
  opt("key", e.key);
  opt("code", e.code);
  if (e.modifiers) {
    *os << " modifiers{";
    opt("cmd", e.modifiers->cmd);
    opt("ctrl", e.modifiers->ctrl);
    opt("alt", e.modifiers->alt);
    opt("shift", e.modifiers->shift);
    *os << " }";
  }
  *os << "}";
}

namespace {

using namespace std::string_literals;

InputEvent move(double x, double y) {
  InputEvent e;
  e.type = "mousemove";
  e.x = x;
  e.y = y;
  return e;
}

InputEvent typed(std::string type) {
  InputEvent e;
  e.type = std::move(type);
  return e;
}

InputEvent withClickCount(std::int64_t n) {
  InputEvent e = typed("mousedown");
  e.clickCount = n;
  return e;
}

InputEvent withModifiers(Modifiers m) {
  InputEvent e = typed("keydown");
  e.modifiers = m;
  return e;
}

struct DecodeCase {
  const char* name;
  std::string line;
  std::optional<InputEvent> expected;  // nothing: the line is dropped
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, decodesOrDrops) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(decodeInputEvent(c.line), c.expected) << c.line;
}

InputEvent everyField() {
  InputEvent e;
  e.type = "keydown";
  e.x = 1.5;
  e.y = -2;
  e.button = "right";
  e.clickCount = 3;
  e.deltaX = 0.25;
  e.deltaY = -7;
  e.key = "a";
  e.code = "KeyA";
  e.modifiers = Modifiers{true, false, std::nullopt, true};
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeTest,
    ::testing::Values(
        DecodeCase{"plainMove", R"({"type":"mousemove","x":640,"y":400})", move(640, 400)},
        DecodeCase{"fractionsAndExponents", R"({"type":"mousemove","x":1.5e2,"y":-0.25})", move(150, -0.25)},
        DecodeCase{"everyField",
                   R"({"type":"keydown","x":1.5,"y":-2,"button":"right","clickCount":3,"deltaX":0.25,)"
                   R"("deltaY":-7,"key":"a","code":"KeyA","modifiers":{"cmd":true,"ctrl":false,"shift":true}})",
                   everyField()},
        DecodeCase{"typeOnly", R"({"type":"mousemove"})", typed("mousemove")},
        DecodeCase{"unknownTypeStillDecodes", R"({"type":"pointercancel"})", typed("pointercancel")},
        DecodeCase{"jsonWhiteSpaceInside", "{ \"type\" :\t\"mousemove\" , \"x\" : 1 ,\"y\":2 }", move(1, 2)},
        DecodeCase{"unknownKeysOfAnyShapeIgnored",
                   R"({"type":"mousemove","x":1,"y":2,"pointerId":7,"extra":{"x":"s","a":[{"y":[]}]},"n":null})",
                   move(1, 2)},
        DecodeCase{"keysAreCaseSensitive", R"({"type":"mousemove","X":"no","Y":[],"x":1,"y":2})", move(1, 2)},
        DecodeCase{"nullMeansAbsent", R"({"type":"mousemove","x":null,"y":null,"modifiers":null,"key":null})",
                   typed("mousemove")},
        DecodeCase{"lastRepeatedKeyWins", R"({"type":"mousemove","x":"bad","x":3,"y":4})", move(3, 4)},
        DecodeCase{"lastRepeatedKeyWinsEvenWhenWrong", R"({"type":"mousemove","x":3,"x":"bad","y":4})", std::nullopt},
        DecodeCase{"repeatedNullClearsEarlierValue", R"({"type":"mousemove","x":3,"x":null,"y":4})",
                   [] {
                     InputEvent e = typed("mousemove");
                     e.y = 4;
                     return e;
                   }()},
        // Required type
        DecodeCase{"noType", R"({"x":1,"y":2})", std::nullopt},
        DecodeCase{"nullType", R"({"type":null,"x":1,"y":2})", std::nullopt},
        DecodeCase{"numericType", R"({"type":5})", std::nullopt},
        DecodeCase{"typeInsideNestedObjectDoesNotCount", R"({"extra":{"type":"mousemove"}})", std::nullopt},
        // Not exactly one object
        DecodeCase{"twoObjects", R"({"type":"mousemove","x":1,"y":2}{"type":"mousemove","x":3,"y":4})", std::nullopt},
        DecodeCase{"twoObjectsWithSpace", R"({"type":"mousemove"} {"type":"mousemove"})", std::nullopt},
        DecodeCase{"array", R"([{"type":"mousemove"}])", std::nullopt},
        DecodeCase{"string", R"("mousemove")", std::nullopt}, DecodeCase{"number", "5", std::nullopt},
        DecodeCase{"nullLiteral", "null", std::nullopt},
        DecodeCase{"truncated", R"({"type":"mousemove","x":1)", std::nullopt},
        DecodeCase{"trailingComma", R"({"type":"mousemove",})", std::nullopt},
        DecodeCase{"comment", R"({"type":"mousemove"} // move)", std::nullopt},
        DecodeCase{"singleQuotes", R"({'type':'mousemove'})", std::nullopt}, DecodeCase{"empty", "", std::nullopt},
        DecodeCase{"nulAfterObject", "{\"type\":\"mousemove\"}\0"s, std::nullopt},
        DecodeCase{"nulThenSecondObject", "{\"type\":\"mousemove\"}\0{\"type\":\"keydown\"}"s, std::nullopt},
        DecodeCase{"nulInsideString", "{\"type\":\"mouse\0move\"}"s, std::nullopt},
        DecodeCase{"escapedNulInString", R"({"type":"keydown","key":"\u0000"})",
                   [] {
                     InputEvent e = typed("keydown");
                     e.key = "\0"s;
                     return e;
                   }()},
        DecodeCase{"numberOverflow", R"({"type":"mousemove","x":1e400,"y":0})", std::nullopt},
        DecodeCase{"loneSurrogateEscape", R"({"type":"keydown","key":"\ud800"})", std::nullopt},
        // Wrong JSON types drop the whole line
        DecodeCase{"xAsString", R"({"type":"mousemove","x":"640","y":400})", std::nullopt},
        DecodeCase{"yAsBoolean", R"({"type":"mousemove","x":640,"y":true})", std::nullopt},
        DecodeCase{"deltaAsArray", R"({"type":"scroll","deltaX":[1],"deltaY":1})", std::nullopt},
        DecodeCase{"buttonAsNumber", R"({"type":"mousedown","x":1,"y":1,"button":2})", std::nullopt},
        DecodeCase{"keyAsObject", R"({"type":"keydown","key":{"v":"a"}})", std::nullopt},
        DecodeCase{"codeAsBoolean", R"({"type":"keydown","code":false})", std::nullopt},
        DecodeCase{"modifiersAsString", R"({"type":"keydown","modifiers":"cmd"})", std::nullopt},
        DecodeCase{"modifiersAsArray", R"({"type":"keydown","modifiers":["cmd"]})", std::nullopt},
        DecodeCase{"modifiersAsBoolean", R"({"type":"keydown","modifiers":true})", std::nullopt},
        DecodeCase{"modifierAsNumber", R"({"type":"keydown","modifiers":{"cmd":1}})", std::nullopt},
        DecodeCase{"modifierAsString", R"({"type":"keydown","modifiers":{"shift":"true"}})", std::nullopt},
        DecodeCase{"modifierAsObject", R"({"type":"keydown","modifiers":{"alt":{}}})", std::nullopt},
        DecodeCase{"booleanOutsideModifiersIsWrong", R"({"type":"keydown","cmd":true,"key":true})", std::nullopt},
        // Modifiers
        DecodeCase{"emptyModifiers", R"({"type":"keydown","modifiers":{}})", withModifiers({})},
        DecodeCase{"modifierNullIsAbsent", R"({"type":"keydown","modifiers":{"cmd":null,"alt":true}})",
                   withModifiers({std::nullopt, std::nullopt, true, std::nullopt})},
        DecodeCase{"unknownModifierIgnored", R"({"type":"keydown","modifiers":{"meta":"x","Cmd":1,"ctrl":true}})",
                   withModifiers({std::nullopt, true, std::nullopt, std::nullopt})},
        DecodeCase{"modifiersReplacedByLaterNull", R"({"type":"keydown","modifiers":{"cmd":7},"modifiers":null})",
                   typed("keydown")},
        DecodeCase{"laterModifiersObjectReplacesEarlier",
                   R"({"type":"keydown","modifiers":{"cmd":true},"modifiers":{"shift":true}})",
                   withModifiers({std::nullopt, std::nullopt, std::nullopt, true})},
        DecodeCase{"modifierKeysInNestedObjectIgnored",
                   R"({"type":"keydown","modifiers":{"more":{"cmd":"x"},"cmd":true}})",
                   withModifiers({true, std::nullopt, std::nullopt, std::nullopt})},
        // clickCount: integral values in the signed 64-bit range, however written
        DecodeCase{"clickCountInteger", R"({"type":"mousedown","clickCount":2})", withClickCount(2)},
        DecodeCase{"clickCountNegative", R"({"type":"mousedown","clickCount":-1})", withClickCount(-1)},
        DecodeCase{"clickCountWithZeroFraction", R"({"type":"mousedown","clickCount":2.0})", withClickCount(2)},
        DecodeCase{"clickCountExponent", R"({"type":"mousedown","clickCount":1e3})", withClickCount(1000)},
        DecodeCase{"clickCountFraction", R"({"type":"mousedown","clickCount":2.5})", std::nullopt},
        DecodeCase{"clickCountSmallFraction", R"({"type":"mousedown","clickCount":1e-1})", std::nullopt},
        DecodeCase{"clickCountInt64Max", R"({"type":"mousedown","clickCount":9223372036854775807})",
                   withClickCount(9223372036854775807)},
        DecodeCase{"clickCountInt64Min", R"({"type":"mousedown","clickCount":-9223372036854775808})",
                   withClickCount(-9223372036854775807 - 1)},
        DecodeCase{"clickCountBeyondInt64", R"({"type":"mousedown","clickCount":9223372036854775808})", std::nullopt},
        DecodeCase{"clickCountBeyondUint64", R"({"type":"mousedown","clickCount":18446744073709551616})", std::nullopt},
        DecodeCase{"clickCountHugeExponent", R"({"type":"mousedown","clickCount":1e19})", std::nullopt},
        DecodeCase{"clickCountAsString", R"({"type":"mousedown","clickCount":"2"})", std::nullopt},
        DecodeCase{"doubleFromUnsigned", R"({"type":"mousemove","x":18446744073709551615,"y":0})",
                   move(18446744073709551615.0, 0)}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(KeyTables, holdEveryEntryAndAgreeWhereTheyOverlap) {
  buildKeyTables();
  EXPECT_EQ(browserCodeToKeyCode.size(), 109u);
  EXPECT_EQ(keyValueFallback.size(), 61u);
  // A letter or digit value types what its physical key types, and the named keys share their codes.
  for (char c = 'a'; c <= 'z'; ++c) {
    std::string code = std::string("Key") + static_cast<char>(c - 'a' + 'A');
    EXPECT_EQ(keyValueFallback.at(std::string(1, c)), browserCodeToKeyCode.at(code)) << c;
  }
  for (char c = '0'; c <= '9'; ++c)
    EXPECT_EQ(keyValueFallback.at(std::string(1, c)), browserCodeToKeyCode.at(std::string("Digit") + c)) << c;
  for (const char* named : {"Enter", "Tab", "Backspace", "Delete", "Escape", "ArrowUp", "ArrowDown", "ArrowLeft",
                            "ArrowRight", "Home", "End", "PageUp", "PageDown"})
    EXPECT_EQ(keyValueFallback.at(named), browserCodeToKeyCode.at(named)) << named;
  const std::pair<const char*, const char*> punctuation[] = {
      {"-", "Minus"},     {"=", "Equal"}, {"[", "BracketLeft"}, {"]", "BracketRight"},
      {";", "Semicolon"}, {"'", "Quote"}, {"`", "Backquote"},   {",", "Comma"},
      {".", "Period"},    {"/", "Slash"}, {"\\", "Backslash"},
  };
  for (auto [value, code] : punctuation) EXPECT_EQ(keyValueFallback.at(value), browserCodeToKeyCode.at(code)) << code;
  EXPECT_EQ(keyValueFallback.at(" "), browserCodeToKeyCode.at("Space"));
  // Distinct physical keys never share a code.
  std::set<std::uint16_t> codes;
  for (auto& [name, code] : browserCodeToKeyCode) EXPECT_TRUE(codes.insert(code).second) << name;
}

struct ResolveCase {
  std::optional<std::string> code;
  std::optional<std::string> key;
  std::optional<std::uint16_t> expected;
};

TEST(ResolveKeyCode, codeFirstThenValueThenOneLowerCasedCharacter) {
  buildKeyTables();
  const ResolveCase cases[] = {
      {"KeyA", std::nullopt, 0},
      {"KeyA", "b", 0},
      {"keya", "b", 11},  // names are case-sensitive
      {"Unknown", "Enter", 36},
      {std::nullopt, "A", 0},
      {std::nullopt, "Z", 6},
      {std::nullopt, "!", std::nullopt},
      {std::nullopt, "Shift", std::nullopt},
      {std::nullopt, "ENTER", std::nullopt},  // more than one character: no lower-casing
      {std::nullopt, " ", 49},
      {std::nullopt, "", std::nullopt},
      {std::nullopt, "\xC3\x89", std::nullopt},   // É lower-cases to é, which has no entry
      {std::nullopt, "a\xCC\x81", std::nullopt},  // a + combining acute: one character, not "a"
      {std::nullopt, "\xE2\x84\xAA", 40},         // KELVIN SIGN lower-cases to k
      {"Unknown", std::nullopt, std::nullopt},
      {std::nullopt, std::nullopt, std::nullopt},
      {"ShiftLeft", "Shift", 56},
  };
  for (const auto& c : cases) {
    InputEvent e = typed("keydown");
    e.code = c.code;
    e.key = c.key;
    EXPECT_EQ(resolveKeyCode(e), c.expected) << c.code.value_or("-") << " / " << c.key.value_or("-");
  }
}

TEST(BuildFlags, setsOnlyTrueModifiers) {
  EXPECT_EQ(buildFlags(std::nullopt), 0u);
  EXPECT_EQ(buildFlags(Modifiers{}), 0u);
  EXPECT_EQ(buildFlags(Modifiers{true, std::nullopt, std::nullopt, false}), 0x100000u);
  EXPECT_EQ(buildFlags(Modifiers{false, true, false, false}), 0x40000u);
  EXPECT_EQ(buildFlags(Modifiers{std::nullopt, std::nullopt, true, std::nullopt}), 0x80000u);
  EXPECT_EQ(buildFlags(Modifiers{true, true, true, true}), 0x1E0000u);
}

TEST(WheelValue, invertsAndLimitsToOneHundred) {
  const std::pair<double, std::int32_t> cases[] = {
      {250, -100}, {100.5, -100}, {100, -100}, {99.9, -99}, {0.5, 0},      {0, 0},        {-0.5, 0},
      {-30.7, 30}, {-99.9, 99},   {-100, 100}, {-101, 100}, {1e300, -100}, {-1e300, 100},
  };
  for (auto [delta, wheel] : cases) EXPECT_EQ(wheelValue(delta), wheel) << delta;
}

}  // namespace
}  // namespace relaypost
