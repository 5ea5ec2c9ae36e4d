// soundpick over the simulated audio system: the get line, every outcome of set, and which defaults
// were changed (the journal's audioSet lines).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "soundpick/command_line.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::journalOps;
using testing_support::runSim;

const std::string mainUsage = "Usage: soundpick <get|set>\n";
const std::string setUsage = "Usage: soundpick set --output <name> --input <name>\n";

json device(int id, const json& name, int outputStreams, int inputStreams) {
  json streams = json::object();
  if (outputStreams) streams["outp"] = outputStreams;
  if (inputStreams) streams["inpt"] = inputStreams;
  return {{"id", id}, {"name", name}, {"streams", streams}};
}

json worldWith(const json& audio) { return {{"audio", audio}}; }

// Speakers (output), Mic (input), Headset (both), in that order; Speakers and Mic are the defaults.
json standardAudio() {
  return {{"devices", {device(40, "Speakers", 2, 0), device(41, "Headset", 1, 1), device(42, "Mic", 0, 1)}},
          {"defaultOutput", 40},
          {"defaultInput", 42}};
}

struct Attempt {
  std::string selector;
  int device;
  bool ok;
};

std::vector<Attempt> audioSets(const std::vector<json>& journal) {
  std::vector<Attempt> attempts;
  for (const auto& line : journalOps(journal, {"audioSet"}))
    attempts.push_back(
        {line.at("selector").get<std::string>(), line.at("device").get<int>(), line.at("ok").get<bool>()});
  return attempts;
}

std::string describe(const std::vector<Attempt>& attempts) {
  std::string text;
  for (const auto& a : attempts) text += a.selector + ":" + std::to_string(a.device) + (a.ok ? ":ok " : ":refused ");
  return text;
}

// ---- get ----

struct GetCase {
  const char* label;
  json world;
  std::vector<std::string> args;
  std::string out;
};

TEST(SoundpickGet, PrintsTheDefaultNamesAsOneJsonLine) {
  json unnamedDefault = standardAudio();
  unnamedDefault["devices"][0]["name"] = {{"error", 1852797029}};
  json nullName = standardAudio();
  nullName["devices"][0]["name"] = nullptr;
  json noOutputDefault = standardAudio();
  noOutputDefault.erase("defaultOutput");
  json missingDevice = standardAudio();
  missingDevice["defaultInput"] = 99;
  json quoted = worldWith({{"devices", {device(7, "\"\\", 1, 0), device(8, "In \"x\" \\y", 0, 1)}},
                           {"defaultOutput", 7},
                           {"defaultInput", 8}});
  json unicode = worldWith({{"devices", {device(7, "Café/Ü 🎧", 1, 0), device(8, "\xE2\x80\xA8", 0, 1)}},
                            {"defaultOutput", 7},
                            {"defaultInput", 8}});
  const std::vector<GetCase> cases = {
      {"both defaults", worldWith(standardAudio()), {"get"}, "{\"output\":\"Speakers\",\"input\":\"Mic\"}\n"},
      {"further arguments ignored",
       worldWith(standardAudio()),
       {"get", "--output", "x", "set"},
       "{\"output\":\"Speakers\",\"input\":\"Mic\"}\n"},
      {"no audio devices at all", json::object(), {"get"}, "{\"output\":\"\",\"input\":\"\"}\n"},
      {"default output name unreadable", worldWith(unnamedDefault), {"get"}, "{\"output\":\"\",\"input\":\"Mic\"}\n"},
      {"default output name is an empty reference",
       worldWith(nullName),
       {"get"},
       "{\"output\":\"\",\"input\":\"Mic\"}\n"},
      {"no default output", worldWith(noOutputDefault), {"get"}, "{\"output\":\"\",\"input\":\"Mic\"}\n"},
      {"default input is no device", worldWith(missingDevice), {"get"}, "{\"output\":\"Speakers\",\"input\":\"\"}\n"},
      // A quote then a backslash becomes backslash, quote, backslash, backslash.
      {"quote and backslash", quoted, {"get"}, "{\"output\":\"\\\"\\\\\",\"input\":\"In \\\"x\\\" \\\\y\"}\n"},
      // Non-ASCII stays UTF-8, the solidus and U+2028 stay as they are.
      {"non-ASCII and solidus unchanged", unicode, {"get"}, "{\"output\":\"Café/Ü 🎧\",\"input\":\"\xE2\x80\xA8\"}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto run = runSim("soundpick", c.args, c.world);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.out, c.out);
    EXPECT_EQ(run.result.err, "");
    EXPECT_TRUE(audioSets(run.journal).empty());
  }
}

TEST(SoundpickGet, ControlCharactersInANameStillGiveOneValidJsonLine) {
  const std::string outputName = "Line\nfeed\tand\rmore\b\f\x01\x1f";
  const std::string inputName = "plain";
  auto world = worldWith({{"devices", {device(10, outputName, 1, 0), device(11, inputName, 0, 1)}},
                          {"defaultOutput", 10},
                          {"defaultInput", 11}});
  auto run = runSim("soundpick", {"get"}, world);
  ASSERT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.out, "{\"output\":\"Line\\nfeed\\tand\\rmore\\b\\f\\u0001\\u001f\",\"input\":\"plain\"}\n");
  ASSERT_FALSE(run.result.out.empty());
  EXPECT_EQ(run.result.out.find('\n'), run.result.out.size() - 1);
  auto parsed = json::parse(run.result.out);
  EXPECT_EQ(parsed.at("output"), outputName);
  EXPECT_EQ(parsed.at("input"), inputName);
  EXPECT_EQ(parsed.size(), 2u);
}

TEST(SoundpickJsonEscape, EveryNameRoundTripsThroughAJsonParser) {
  std::string allControls;
  for (int c = 1; c < 0x20; ++c) allControls += static_cast<char>(c);
  const std::vector<std::string> names = {"",          "\"\\", "\\\"",          "a\\\\b",
                                          allControls, "\x7f", "e\xCC\x81 / ü", "\"\"\n\n"};
  for (const auto& name : names) {
    SCOPED_TRACE(json(name).dump());
    auto line = soundpick::devicesLine(name, name);
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    auto parsed = json::parse(line);
    EXPECT_EQ(parsed.at("output"), name);
    EXPECT_EQ(parsed.at("input"), name);
    EXPECT_EQ(line.rfind("{\"output\":\"", 0), 0u);
  }
  // Only the characters JSON requires are escaped: the solidus and non-ASCII text are left alone.
  EXPECT_EQ(soundpick::jsonEscape("a/b é"), "a/b é");
  EXPECT_EQ(soundpick::jsonEscape("\"\\"), "\\\"\\\\");
}

// ---- usage ----

TEST(SoundpickUsage, UnknownOrMissingCommandsPrintTheUsageLine) {
  const std::vector<std::vector<std::string>> argLists = {{}, {"GET"}, {"Set"}, {"list"}, {""}, {"--output", "get"}};
  for (const auto& args : argLists) {
    SCOPED_TRACE(args.empty() ? std::string("(none)") : args[0]);
    auto run = runSim("soundpick", args, worldWith(standardAudio()));
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, mainUsage);
    EXPECT_TRUE(audioSets(run.journal).empty());
  }
}

// ---- set ----

struct SetCase {
  const char* label;
  json audio;
  std::vector<std::string> args;
  int status;
  std::string err;
  std::vector<Attempt> attempts;
};

TEST(SoundpickSet, ChecksBothNamesThenChangesOutputThenInput) {
  const json standard = standardAudio();
  json twins = {{"devices", {device(50, "Twin", 0, 1), device(51, "Twin", 1, 0), device(52, "Twin", 1, 1)}}};
  json duplicates = {{"devices", {device(60, "Dup", 1, 0), device(61, "Dup", 1, 0), device(62, "In", 0, 1)}}};
  json precomposed = {{"devices", {device(70, "Caf\xC3\xA9", 1, 0), device(71, "Mi\xC3\xB1o", 0, 1)}}};
  json decomposed = {{"devices", {device(70, "Cafe\xCC\x81", 1, 0), device(71, "Min\xCC\x83o", 0, 1)}}};
  json unreadable = {{"devices",
                      {{{"id", 80}, {"streams", {{"outp", 1}}}},
                       device(81, {{"error", 1852797029}}, 1, 0),
                       device(82, nullptr, 1, 0),
                       device(83, "Out", 1, 0),
                       device(84, "In", 0, 1)}}};
  json tenBytes = standard;
  tenBytes["deviceListBytes"] = 10;  // two identifiers: Speakers and Headset, not Mic
  json tenBytesTwo = {{"devices", {device(40, "Speakers", 1, 0), device(42, "Mic", 0, 1)}}, {"deviceListBytes", 10}};
  json longerList = standard;
  longerList["deviceListBytes"] = 20;  // more than the system fills: the rest stay 0
  json refuseInput = standard;
  refuseInput["refuse"] = {"dIn "};
  json refuseOutput = standard;
  refuseOutput["refuse"] = {"dOut"};
  json flagLike = {{"devices", {device(90, "--input", 1, 0), device(91, "Mic", 0, 1)}}};
  json quoted = {{"devices", {device(95, "A \"b\" \\c", 1, 0), device(96, "\\", 0, 1)}}};

  const std::vector<SetCase> cases = {
      {"output then input",
       standard,
       {"set", "--output", "Speakers", "--input", "Mic"},
       0,
       "",
       {{"dOut", 40, true}, {"dIn ", 42, true}}},
      {"flags in the other order",
       standard,
       {"set", "--input", "Mic", "--output", "Speakers"},
       0,
       "",
       {{"dOut", 40, true}, {"dIn ", 42, true}}},
      {"further arguments ignored",
       standard,
       {"set", "extra", "--output", "Headset", "--input", "Headset", "--output", "Mic"},
       0,
       "",
       {{"dOut", 41, true}, {"dIn ", 41, true}}},
      {"no flags", standard, {"set"}, 1, setUsage, {}},
      {"output without input", standard, {"set", "--output", "Speakers"}, 1, setUsage, {}},
      {"input without output", standard, {"set", "--input", "Mic"}, 1, setUsage, {}},
      {"--input last", standard, {"set", "--output", "Speakers", "--input"}, 1, setUsage, {}},
      {"--output last", standard, {"set", "--input", "Mic", "--output"}, 1, setUsage, {}},
      {"--output directly followed by --input names a device \"--input\"",
       flagLike,
       {"set", "--output", "--input", "Mic"},
       0,
       "",
       {{"dOut", 90, true}, {"dIn ", 91, true}}},
      {"--output directly followed by --input, no such device",
       standard,
       {"set", "--output", "--input", "Mic"},
       1,
       "Output device not found: --input\n",
       {}},
      {"neither found: only the output error",
       standard,
       {"set", "--output", "Nope", "--input", "Nada"},
       1,
       "Output device not found: Nope\n",
       {}},
      {"input not found changes nothing",
       standard,
       {"set", "--output", "Speakers", "--input", "Nada"},
       1,
       "Input device not found: Nada\n",
       {}},
      {"output naming a microphone",
       standard,
       {"set", "--output", "Mic", "--input", "Mic"},
       1,
       "Output device not found: Mic\n",
       {}},
      {"input naming speakers",
       standard,
       {"set", "--output", "Speakers", "--input", "Speakers"},
       1,
       "Input device not found: Speakers\n",
       {}},
      {"letter case differs",
       standard,
       {"set", "--output", "speakers", "--input", "Mic"},
       1,
       "Output device not found: speakers\n",
       {}},
      {"trailing space",
       standard,
       {"set", "--output", "Speakers ", "--input", "Mic"},
       1,
       "Output device not found: Speakers \n",
       {}},
      {"partial name",
       standard,
       {"set", "--output", "Speaker", "--input", "Mic"},
       1,
       "Output device not found: Speaker\n",
       {}},
      {"no devices",
       json::object(),
       {"set", "--output", "Speakers", "--input", "Mic"},
       1,
       "Output device not found: Speakers\n",
       {}},
      {"same name: each scope takes the first device with its streams",
       twins,
       {"set", "--output", "Twin", "--input", "Twin"},
       0,
       "",
       {{"dOut", 51, true}, {"dIn ", 50, true}}},
      {"several matches: the first in the system's order",
       duplicates,
       {"set", "--output", "Dup", "--input", "In"},
       0,
       "",
       {{"dOut", 60, true}, {"dIn ", 62, true}}},
      {"combining accents find precomposed names",
       precomposed,
       {"set", "--output", "Cafe\xCC\x81", "--input", "Min\xCC\x83o"},
       0,
       "",
       {{"dOut", 70, true}, {"dIn ", 71, true}}},
      {"precomposed accents find combining names",
       decomposed,
       {"set", "--output", "Caf\xC3\xA9", "--input", "Mi\xC3\xB1o"},
       0,
       "",
       {{"dOut", 70, true}, {"dIn ", 71, true}}},
      {"devices without readable names are passed over",
       unreadable,
       {"set", "--output", "Out", "--input", "In"},
       0,
       "",
       {{"dOut", 83, true}, {"dIn ", 84, true}}},
      {"a 10-byte list holds two devices",
       tenBytes,
       {"set", "--output", "Speakers", "--input", "Mic"},
       1,
       "Input device not found: Mic\n",
       {}},
      {"a 10-byte list holds both of two devices",
       tenBytesTwo,
       {"set", "--output", "Speakers", "--input", "Mic"},
       0,
       "",
       {{"dOut", 40, true}, {"dIn ", 42, true}}},
      {"a list longer than the devices",
       longerList,
       {"set", "--output", "Speakers", "--input", "Mic"},
       0,
       "",
       {{"dOut", 40, true}, {"dIn ", 42, true}}},
      {"input refused after the output changed",
       refuseInput,
       {"set", "--output", "Speakers", "--input", "Mic"},
       1,
       "Failed to set the default input device\n",
       {{"dOut", 40, true}, {"dIn ", 42, false}}},
      {"output refused: the input is not tried",
       refuseOutput,
       {"set", "--output", "Speakers", "--input", "Mic"},
       1,
       "Failed to set the default output device\n",
       {{"dOut", 40, false}}},
      {"quote and backslash in names",
       quoted,
       {"set", "--output", "A \"b\" \\c", "--input", "\\"},
       0,
       "",
       {{"dOut", 95, true}, {"dIn ", 96, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto run = runSim("soundpick", c.args, worldWith(c.audio));
    EXPECT_EQ(run.result.status, c.status);
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, c.err);
    EXPECT_EQ(describe(audioSets(run.journal)), describe(c.attempts));
  }
}

TEST(SoundpickSet, EverySetFailingReportsTheOutputFailure) {
  json world = worldWith(standardAudio());
  world["fail"] = {"audioSet"};
  auto run = runSim("soundpick", {"set", "--output", "Speakers", "--input", "Mic"}, world);
  EXPECT_EQ(run.result.status, 1);
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, "Failed to set the default output device\n");
  EXPECT_EQ(describe(audioSets(run.journal)), "dOut:40:refused ");
}

}  // namespace
