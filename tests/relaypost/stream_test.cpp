// relaypost-sim end to end: input streams on standard input and the exact events they post.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::journalOps;
using testing_support::runSim;
using namespace std::string_literals;

json mouse(int type, double x, double y, int button = 0, json clickState = nullptr) {
  return {{"op", "mouse"},   {"type", type}, {"x", x}, {"y", y}, {"button", button}, {"clickState", clickState},
          {"flags", nullptr}};
}
json move(double x, double y) { return mouse(5, x, y); }
json key(int code, bool down, std::uint64_t flags = 0) {
  return {{"op", "key"}, {"code", code}, {"down", down}, {"flags", flags}};
}
json scroll(int vertical, int horizontal) {
  return {{"op", "scroll"}, {"unit", 0}, {"wheelCount", 2}, {"wheels", {vertical, horizontal, 0}}};
}

// The posted events, without their times.
std::vector<json> posted(const std::vector<json>& journal) {
  std::vector<json> events = journalOps(journal, {"mouse", "key", "scroll"});
  for (auto& e : events) e.erase("t");
  return events;
}

std::string moveLine(double x, double y) { return json{{"type", "mousemove"}, {"x", x}, {"y", y}}.dump() + "\n"; }

struct StreamCase {
  const char* name;
  std::string input;
  std::vector<json> expected;
  std::optional<json> world = std::nullopt;
};

class StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamTest, postsExactlyTheseEvents) {
  const StreamCase& c = GetParam();
  auto run = runSim("relaypost", {}, c.world, c.input);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, "");
  const std::vector<json> events = posted(run.journal);
  // Compared as JSON values, so that 1 and 1.0 are the same number.
  EXPECT_EQ(json(events), json(c.expected))
      << "posted:   " << json(events).dump() << "\nexpected: " << json(c.expected).dump();
}

const std::string bigLine(10 * 1024 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Frame, StreamTest,
    ::testing::Values(
        StreamCase{"emptyInput", "", {}},
        StreamCase{"blankAndSpaceOnlyLinesSkipped", "\n   \n\t \t\n\xE3\x80\x80\n" + moveLine(1, 2), {move(1, 2)}},
        StreamCase{"surroundingWhiteSpaceAccepted",
                   "  \t{\"type\":\"mousemove\",\"x\":3,\"y\":4} \xC2\xA0\n\xE2\x80\xA8{\"type\":\"mousemove\",\"x\":5,"
                   "\"y\":6}\xE3\x80\x80\n",
                   {move(3, 4), move(5, 6)}},
        StreamCase{"crlfLines",
                   "{\"type\":\"mousemove\",\"x\":1,\"y\":2}\r\n{\"type\":\"mousemove\",\"x\":3,\"y\":4}\r\n",
                   {move(1, 2), move(3, 4)}},
        StreamCase{"lastLineWithoutNewline", R"({"type":"mousemove","x":7,"y":8})", {move(7, 8)}},
        StreamCase{"moveWithoutCoordinatesPostsNothing",
                   "{\"type\":\"mousemove\"}\n{\"type\":\"mousemove\",\"x\":5}\n{\"type\":\"mousemove\",\"y\":5}\n" +
                       moveLine(9, 9),
                   {move(9, 9)}},
        StreamCase{"noTypeDropped", "{\"x\":1,\"y\":2}\n" + moveLine(3, 3), {move(3, 3)}},
        StreamCase{
            "twoObjectsOnALineDropped",
            "{\"type\":\"mousemove\",\"x\":1,\"y\":2}{\"type\":\"mousemove\",\"x\":3,\"y\":4}\n" + moveLine(5, 5),
            {move(5, 5)}},
        StreamCase{
            "xAsStringDropsTheLine", "{\"type\":\"mousemove\",\"x\":\"1\",\"y\":2}\n" + moveLine(6, 6), {move(6, 6)}},
        StreamCase{"unknownKeysIgnored",
                   "{\"type\":\"mousemove\",\"x\":1,\"y\":2,\"pointerType\":\"pen\",\"extra\":{\"x\":\"no\"}}\n",
                   {move(1, 2)}},
        StreamCase{"unknownTypeIgnored",
                   "{\"type\":\"click\",\"x\":1,\"y\":2}\n{\"type\":\"MouseMove\",\"x\":1,"
                   "\"y\":2}\n" +
                       moveLine(4, 4),
                   {move(4, 4)}},
        StreamCase{
            "invalidUtf8LineDropped",
            "{\"type\":\"mousemove\",\"x\":1,\"y\":2,\"note\":\"\xFF\xFE\"}\n{\"type\":\"keydown\",\"key\":\"\xC3"
            "\"}\n" +
                moveLine(2, 3),
            {move(2, 3)}},
        StreamCase{
            "nulByteLinesDropped", "{\"type\":\"mousemove\",\"x\":1,\"y\":2}\0\n\0\n"s + moveLine(4, 5), {move(4, 5)}},
        StreamCase{"binaryGarbageDropped", "\x01\x02\xFF{{[[\"\x7F\0\n}\n]]]\n"s + moveLine(1, 1), {move(1, 1)}},
        StreamCase{"tenMegabyteGarbageLineThenValidLine", bigLine + "\n" + moveLine(8, 9), {move(8, 9)}},
        StreamCase{"tenMegabyteValidLineHandled",
                   "{\"type\":\"mousemove\",\"x\":1,\"y\":2,\"pad\":\"" + bigLine + "\"}\n" + moveLine(3, 4),
                   {move(1, 2), move(3, 4)}},
        StreamCase{"eventSourceFailureStillPosts", moveLine(1, 2), {move(1, 2)}, json{{"fail", {"eventSource"}}}}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Pointer, StreamTest,
    ::testing::Values(
        StreamCase{"pressMoveRelease",
                   "{\"type\":\"mousedown\",\"x\":10,\"y\":10}\n{\"type\":\"mousemove\",\"x\":50,\"y\":50}\n"
                   "{\"type\":\"mouseup\",\"x\":50,\"y\":50}\n" +
                       moveLine(60, 60),
                   {mouse(1, 10, 10), mouse(6, 50, 50), mouse(2, 50, 50), move(60, 60)}},
        StreamCase{"rightDrag",
                   "{\"type\":\"mousedown\",\"x\":1,\"y\":1,\"button\":\"right\"}\n" + moveLine(2, 2) +
                       "{\"type\":\"mouseup\",\"x\":2,\"y\":2,\"button\":\"right\"}\n" + moveLine(3, 3),
                   {mouse(3, 1, 1, 1), mouse(7, 2, 2, 1), mouse(4, 2, 2, 1), move(3, 3)}},
        StreamCase{"bothButtonsDragLeftWithRightButtonArgument",
                   "{\"type\":\"mousedown\",\"x\":1,\"y\":1}\n{\"type\":\"mousedown\",\"x\":1,\"y\":1,\"button\":"
                   "\"right\"}\n" +
                       moveLine(2, 2) + "{\"type\":\"mouseup\",\"x\":2,\"y\":2}\n" + moveLine(3, 3),
                   {mouse(1, 1, 1), mouse(3, 1, 1, 1), mouse(6, 2, 2, 1), mouse(2, 2, 2), mouse(7, 3, 3, 1)}},
        StreamCase{"middleAndOtherCasePressLeft",
                   "{\"type\":\"mousedown\",\"x\":1,\"y\":1,\"button\":\"middle\"}\n{\"type\":\"mousedown\",\"x\":1,"
                   "\"y\":1,\"button\":\"Right\"}\n{\"type\":\"mouseup\",\"x\":1,\"y\":1,\"button\":\"RIGHT\"}\n" +
                       moveLine(2, 2),
                   {mouse(1, 1, 1), mouse(1, 1, 1), mouse(2, 1, 1), move(2, 2)}},
        StreamCase{"releaseWithoutPressIsPosted",
                   "{\"type\":\"mouseup\",\"x\":4,\"y\":4}\n" + moveLine(5, 5),
                   {mouse(2, 4, 4), move(5, 5)}},
        StreamCase{"pressOrReleaseWithoutCoordinatesDoesNothing",
                   "{\"type\":\"mousedown\",\"x\":1}\n{\"type\":\"mousedown\",\"y\":1,\"button\":\"right\"}\n" +
                       moveLine(2, 2),
                   {move(2, 2)}},
        StreamCase{
            "clickCounts",
            "{\"type\":\"mousedown\",\"x\":1,\"y\":1,\"clickCount\":2}\n"
            "{\"type\":\"mouseup\",\"x\":1,\"y\":1,\"clickCount\":2.0}\n"
            "{\"type\":\"mousedown\",\"x\":1,\"y\":1,\"clickCount\":0}\n"
            "{\"type\":\"mouseup\",\"x\":1,\"y\":1,\"clickCount\":-1}\n"
            "{\"type\":\"mousedown\",\"x\":2,\"y\":2,\"clickCount\":2.5}\n"
            "{\"type\":\"mousedown\",\"x\":3,\"y\":3,\"clickCount\":1e3,\"button\":\"right\"}\n",
            {mouse(1, 1, 1, 0, 2), mouse(2, 1, 1, 0, 2), mouse(1, 1, 1), mouse(2, 1, 1), mouse(3, 3, 3, 1, 1000)}},
        StreamCase{"farPointsClampedToDefaultDisplay",
                   moveLine(2000, -5) + moveLine(-10, 5000) + moveLine(1440, 900) + moveLine(-1e308, 1e308) +
                       "{\"type\":\"mousedown\",\"x\":99999,\"y\":450.5}\n",
                   {move(1440, 0), move(0, 900), move(1440, 900), move(0, 900), mouse(1, 1440, 450.5)}},
        StreamCase{"farPointsClampedToOffsetDisplay",
                   moveLine(0, 0) + moveLine(5000, 5000) + moveLine(300.25, 700),
                   {move(100, 50), move(900, 650), move(300.25, 650)},
                   json{{"display", {{"bounds", {100, 50, 800, 600}}}}}},
        StreamCase{"farPointsClampedToNegativeOriginDisplay",
                   moveLine(-5000, -5000) + moveLine(10, 10),
                   {move(-1920.5, -100), move(0, 10)},
                   json{{"display", {{"bounds", {-1920.5, -100, 1920.5, 1180}}}}}},
        StreamCase{"scrollDeltas",
                   "{\"type\":\"scroll\",\"deltaX\":0,\"deltaY\":250}\n{\"type\":\"scroll\",\"deltaX\":-30.7,"
                   "\"deltaY\":-30.7}\n{\"type\":\"scroll\",\"deltaX\":0.5,\"deltaY\":-100}\n{\"type\":\"scroll\","
                   "\"deltaX\":100,\"deltaY\":-1000}\n",
                   {scroll(-100, 0), scroll(30, 30), scroll(100, 0), scroll(100, -100)}},
        StreamCase{"scrollAtPointMovesFirstEvenWhileHeld",
                   "{\"type\":\"mousedown\",\"x\":1,\"y\":1}\n{\"type\":\"scroll\",\"x\":3000,\"y\":20,\"deltaX\":0,"
                   "\"deltaY\":5}\n" +
                       moveLine(2, 2),
                   {mouse(1, 1, 1), move(1440, 20), scroll(-5, 0), mouse(6, 2, 2)}},
        StreamCase{"scrollWithOnlyOneCoordinateDoesNotMove",
                   "{\"type\":\"scroll\",\"x\":3,\"deltaX\":1,\"deltaY\":1}\n",
                   {scroll(-1, -1)}},
        StreamCase{"scrollWithoutADeltaPostsNothing",
                   "{\"type\":\"scroll\",\"x\":3,\"y\":3,\"deltaY\":10}\n{\"type\":\"scroll\",\"x\":3,\"y\":3,"
                   "\"deltaX\":10}\n",
                   {}},
        StreamCase{"mouseFailureLeavesKeysAndWheelWorking",
                   "{\"type\":\"mousedown\",\"x\":1,\"y\":1}\n{\"type\":\"scroll\",\"x\":3,\"y\":3,\"deltaX\":0,"
                   "\"deltaY\":1}\n{\"type\":\"keydown\",\"code\":\"KeyA\"}\n",
                   {scroll(-1, 0), key(0, true)},
                   json{{"fail", {"mouseEvent"}}}},
        StreamCase{"scrollFailureStillMoves",
                   "{\"type\":\"scroll\",\"x\":3,\"y\":3,\"deltaX\":0,\"deltaY\":1}\n",
                   {move(3, 3)},
                   json{{"fail", {"scrollEvent"}}}}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

std::string keyLine(const std::string& type, const json& fields) {
  json line = fields;
  line["type"] = type;
  return line.dump() + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, StreamTest,
    ::testing::Values(
        StreamCase{"codeWithoutKey", keyLine("keydown", {{"code", "KeyA"}}), {key(0, true)}},
        StreamCase{"codeWinsOverKey", keyLine("keydown", {{"code", "KeyA"}, {"key", "b"}}), {key(0, true)}},
        StreamCase{
            "unknownCodeFallsBackToKey", keyLine("keydown", {{"code", "Lang1"}, {"key", "Enter"}}), {key(36, true)}},
        StreamCase{"singleCharacterKeyLowerCased", keyLine("keydown", {{"key", "A"}}), {key(0, true)}},
        StreamCase{"unresolvableKeysPostNothing",
                   keyLine("keydown", {{"key", "!"}}) + keyLine("keydown", {{"key", "Shift"}}) +
                       keyLine("keydown", {{"code", "Unknown"}}) + keyLine("keydown", json::object()) +
                       keyLine("keyup", {{"key", "\xC3\xA9"}}),
                   {}},
        StreamCase{"spaceKey", keyLine("keydown", {{"key", " "}}), {key(49, true)}},
        StreamCase{
            "modifierFlags",
            keyLine("keydown", {{"code", "KeyC"}, {"modifiers", {{"cmd", true}, {"shift", false}}}}) +
                keyLine("keydown", {{"code", "KeyC"}, {"modifiers", json::object()}}) +
                keyLine("keydown", {{"code", "KeyC"}}) +
                keyLine("keydown", {{"code", "KeyC"}, {"modifiers", nullptr}}) +
                keyLine("keydown", {{"code", "KeyC"},
                                    {"modifiers", {{"cmd", true}, {"ctrl", true}, {"alt", true}, {"shift", true}}}}),
            {key(8, true, 0x100000), key(8, true, 0), key(8, true, 0), key(8, true, 0), key(8, true, 0x1E0000)}},
        StreamCase{"keyupResolvesLikeKeydown",
                   keyLine("keydown", {{"key", "A"}, {"modifiers", {{"alt", true}}}}) +
                       keyLine("keyup", {{"key", "A"}, {"modifiers", {{"alt", true}}}}),
                   {key(0, true, 0x80000), key(0, false, 0x80000)}},
        StreamCase{"modifierKeyIsAnOrdinaryKey",
                   keyLine("keydown", {{"code", "ShiftLeft"}, {"key", "Shift"}, {"modifiers", {{"shift", true}}}}) +
                       keyLine("keyup", {{"code", "ShiftLeft"}, {"key", "Shift"}}),
                   {key(56, true, 0x20000), key(56, false, 0)}},
        StreamCase{"keyboardFailureSkipsOnlyKeys",
                   keyLine("keydown", {{"code", "KeyA"}}) + moveLine(1, 1),
                   {move(1, 1)},
                   json{{"fail", {"keyboardEvent"}}}}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Lines of many lengths, so that line ends fall everywhere in the loop's read blocks, including
// right before and after a block edge and between a carriage return and its newline.
TEST(StreamBlocks, everyLineAcrossReadBlocksIsHandledInOrder) {
  std::string input;
  std::vector<json> expected;
  for (int i = 0; i < 4000; ++i) {
    json line{{"type", "mousemove"}, {"x", i % 1440}, {"y", i % 900}, {"pad", std::string(i % 97, 'p')}};
    input += line.dump() + (i % 3 == 0 ? "\r\n" : "\n");
    if (i % 5 == 0) input += std::string(i % 11, ' ') + "\n";
    expected.push_back(move(i % 1440, i % 900));
  }
  ASSERT_GT(input.size(), 4u * 65536);
  auto run = runSim("relaypost", {}, std::nullopt, input);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  const std::vector<json> events = posted(run.journal);
  ASSERT_EQ(events.size(), expected.size());
  for (std::size_t i = 0; i < events.size(); ++i) ASSERT_EQ(events[i], expected[i]) << "line " << i;
}

}  // namespace
