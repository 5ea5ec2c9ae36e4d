// The simulated backend's accessibility values, workspace and launcher, clipboard and audio objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/audio.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/sim/world.h"
#include "platform/workspace.h"
#include "tests/support/program.h"

namespace {

using nlohmann::json;
using testing_support::writeTempFile;

std::string useWorld(const json& world) {
  std::string journal = writeTempFile("journal.ndjson", "");
  setenv("SIM_JOURNAL", journal.c_str(), 1);
  EXPECT_EQ(platform::sim::loadWorldForTesting(writeTempFile("world.json", world.dump())), "");
  return journal;
}

std::vector<json> journalOf(const std::string& path) {
  std::ifstream in(path);
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

// A value as comparable text: its kind and contents.
std::string describe(const platform::AXValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) return "string " + v;
        if constexpr (std::is_same_v<T, bool>) return v ? "bool true" : "bool false";
        if constexpr (std::is_same_v<T, std::int64_t>) return "int " + std::to_string(v);
        if constexpr (std::is_same_v<T, double>) return "double " + json(v).dump();
        if constexpr (std::is_same_v<T, platform::AXUIElement>) return "element " + v->journalId;
        if constexpr (std::is_same_v<T, platform::AXValueWrapper>)
          return "wrapper " + std::to_string(static_cast<int>(v.type)) + " " + json(v.values[0]).dump() + "," +
                 json(v.values[1]).dump() + "," + json(v.values[2]).dump() + "," + json(v.values[3]).dump();
        if constexpr (std::is_same_v<T, platform::AXValueList>) {
          std::string text = "list [";
          for (const auto& item : v) text += describe(item) + ";";
          return text + "]";
        }
      },
      value.data);
}

const json kTree = json::parse(R"({
  "apps": [
    {"pid": 100, "name": "Editor", "bundleId": "com.example.editor", "element": {"attrs": {
      "AXRole": "AXApplication", "AXEnabled": true, "AXValue": 1, "AXRatio": 1.5, "AXBig": 1e2,
      "AXPosition": {"point": [10, 20.5]}, "AXSize": {"size": [80, 24]}, "AXFrame": {"rect": [1, 2, 3, 4]},
      "AXMenuBar": {"attrs": {"AXRole": "AXMenuBar"}},
      "AXWindows": [{"id": "win1", "attrs": {}}, {"attrs": {}}],
      "AXChildren": [{"attrs": {}}, {"attrs": {"AXChildren": [{"attrs": {}}, {"attrs": {}}]}}],
      "AXNumbers": [1, "two"], "AXEmpty": [],
      "AXGone": {"absent": true}, "AXBroken": {"error": -25212}}, "actions": ["AXRaise"]}},
    {"pid": 200, "name": "Bare"},
    {"pid": 300, "element": {"attrs": {}, "actions": {"error": -25205}}},
    {"pid": 400, "element": {"attrs": {}, "actions": "AXPress"}}
  ]})");

TEST(SimAccessibility, AttributeValuesFollowTheirJsonShape) {
  useWorld(kTree);
  platform::AXUIElement app = platform::axUIElementCreateApplication(100);
  struct Case {
    std::string attr;
    platform::AXError error;
    std::string value;  // empty: no value
  };
  const std::vector<Case> cases = {
      {"AXRole", 0, "string AXApplication"},
      {"AXEnabled", 0, "bool true"},
      {"AXValue", 0, "int 1"},
      {"AXRatio", 0, "double 1.5"},
      {"AXBig", 0, "double 100.0"},
      {"AXPosition", 0, "wrapper 1 10.0,20.5,0.0,0.0"},
      {"AXSize", 0, "wrapper 2 80.0,24.0,0.0,0.0"},
      {"AXFrame", 0, "wrapper 3 1.0,2.0,3.0,4.0"},
      {"AXMenuBar", 0, "element 100/AXMenuBar"},
      {"AXWindows", 0, "list [element win1;element 100/AXWindows/1;]"},
      {"AXChildren", 0, "list [element 100/0;element 100/1;]"},
      {"AXNumbers", 0, "list [int 1;string two;]"},
      {"AXEmpty", 0, "list []"},
      {"AXGone", 0, ""},
      {"AXBroken", -25212, ""},
      {"AXTitle", platform::kAXErrorAttributeUnsupported, ""},
  };
  for (const Case& c : cases) {
    std::optional<platform::AXValue> value;
    EXPECT_EQ(platform::axUIElementCopyAttributeValue(app, c.attr, value), c.error) << c.attr;
    EXPECT_EQ(value ? describe(*value) : "", c.value) << c.attr;
  }
  // Paths continue through children of children.
  std::optional<platform::AXValue> children;
  platform::axUIElementCopyAttributeValue(app, "AXChildren", children);
  auto second = std::get<platform::AXUIElement>(std::get<platform::AXValueList>(children->data)[1].data);
  std::optional<platform::AXValue> grandchildren;
  platform::axUIElementCopyAttributeValue(second, "AXChildren", grandchildren);
  EXPECT_EQ(describe(*grandchildren), "list [element 100/1/0;element 100/1/1;]");
}

TEST(SimAccessibility, ApplicationElementsThatCannotBeRead) {
  std::string journal = useWorld(kTree);
  for (auto [pid, error] : std::vector<std::pair<int, platform::AXError>>{{200, platform::kAXErrorCannotComplete},
                                                                          {999, platform::kAXErrorInvalidUIElement}}) {
    platform::AXUIElement app = platform::axUIElementCreateApplication(pid);
    std::optional<platform::AXValue> value;
    EXPECT_EQ(platform::axUIElementCopyAttributeValue(app, "AXWindows", value), error) << pid;
    EXPECT_EQ(platform::axUIElementCopyActionNames(app, value), error) << pid;
    EXPECT_FALSE(value);
    platform::axUIElementSetAttributeValue(app, "AXEnhancedUserInterface", true);
  }
  auto lines = journalOf(journal);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1],
            json::parse(R"({"t":0,"op":"axSet","element":"999","attr":"AXEnhancedUserInterface","value":true})"));
}

TEST(SimAccessibility, ActionNamesAndJournalledActions) {
  std::string journal = useWorld(kTree);
  struct Case {
    int pid;
    platform::AXError error;
    std::string names;
  };
  for (const Case& c :
       std::vector<Case>{{100, 0, "list [string AXRaise;]"}, {300, -25205, ""}, {400, 0, "string AXPress"}}) {
    std::optional<platform::AXValue> names;
    EXPECT_EQ(platform::axUIElementCopyActionNames(platform::axUIElementCreateApplication(c.pid), names), c.error);
    EXPECT_EQ(names ? describe(*names) : "", c.names) << c.pid;
  }
  std::optional<platform::AXValue> none;
  platform::AXUIElement app = platform::axUIElementCreateApplication(100);
  std::optional<platform::AXValue> menuBar;
  platform::axUIElementCopyAttributeValue(app, "AXMenuBar", menuBar);
  EXPECT_NE(platform::axUIElementCopyActionNames(std::get<platform::AXUIElement>(menuBar->data), none), 0);
  std::optional<platform::AXValue> windows;
  platform::axUIElementCopyAttributeValue(app, "AXWindows", windows);
  for (const auto& window : std::get<platform::AXValueList>(windows->data))
    platform::axUIElementPerformAction(std::get<platform::AXUIElement>(window.data), "AXRaise");
  auto lines = journalOf(journal);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], json::parse(R"({"t":0,"op":"axPerform","element":"win1","action":"AXRaise"})"));
  EXPECT_EQ(lines[1]["element"], "100/AXWindows/1");
}

TEST(SimWorkspace, LaunchedApplicationsAppearWhenTheirTimeComes) {
  std::string journal = useWorld(json::parse(R"({
    "apps": [{"pid": 100, "name": "Editor"}], "frontmost": 100,
    "launcher": {"TextEdit": {"status": 0, "appearsAfterUs": 200000,
                              "app": {"pid": 500, "name": "TextEdit", "element": {"attrs": {"AXRole": "AXApplication"}}}},
                 "Broken": {"status": 3}},
    "fail": [], "failAfter": {"launch": 3}})"));
  platform::sleepMicroseconds(1000);
  EXPECT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "TextEdit"}), 0);
  EXPECT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "Broken"}), 3);
  EXPECT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "textedit"}), 1);
  EXPECT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "TextEdit"}), std::nullopt);
  EXPECT_EQ(platform::workspaceRunningApplications().size(), 1u);
  platform::sleepMicroseconds(199999);
  EXPECT_EQ(platform::workspaceRunningApplications().size(), 1u);
  EXPECT_FALSE(platform::runningApplicationActivate(500, platform::kApplicationActivateAllWindows));
  platform::sleepMicroseconds(1);
  auto apps = platform::workspaceRunningApplications();
  ASSERT_EQ(apps.size(), 2u);
  EXPECT_EQ(apps[1].processIdentifier, 500);
  EXPECT_EQ(apps[1].localizedName, "TextEdit");
  EXPECT_EQ(apps[1].bundleIdentifier, std::nullopt);
  EXPECT_TRUE(platform::runningApplicationActivate(500, platform::kApplicationActivateAllWindows));
  std::optional<platform::AXValue> role;
  EXPECT_EQ(platform::axUIElementCopyAttributeValue(platform::axUIElementCreateApplication(500), "AXRole", role), 0);
  EXPECT_EQ(platform::workspaceFrontmostApplicationPid(), 100);

  auto launches = testing_support::journalOps(journalOf(journal), {"launch", "activate"});
  ASSERT_EQ(launches.size(), 6u);
  EXPECT_EQ(launches[0],
            json::parse(R"({"t":1000,"op":"launch","path":"/usr/bin/open","args":["-a","TextEdit"],"status":0})"));
  EXPECT_EQ(launches[3]["status"], nullptr);
  EXPECT_EQ(launches[5], json::parse(R"({"t":201000,"op":"activate","pid":500,"options":1})"));
}

TEST(SimClipboard, TypesAndText) {
  struct Case {
    json clipboard;
    std::optional<std::vector<std::string>> types;
    std::optional<std::string> text;
  };
  const std::vector<Case> cases = {
      {json::parse(R"({"types": ["public.utf8-plain-text"], "string": "hello"})"),
       std::vector<std::string>{"public.utf8-plain-text"}, "hello"},
      {json::parse(R"({"types": ["public.utf8-plain-text"], "string": null})"),
       std::vector<std::string>{"public.utf8-plain-text"}, std::nullopt},
      {json::parse(R"({"string": ""})"), std::nullopt, ""},
      {json::object(), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    useWorld({{"clipboard", c.clipboard}});
    EXPECT_EQ(platform::pasteboardTypes(), c.types) << c.clipboard;
    EXPECT_EQ(platform::pasteboardStringForType(platform::kPasteboardTypeString), c.text) << c.clipboard;
    EXPECT_EQ(platform::pasteboardStringForType(platform::kPasteboardTypePNG), std::nullopt);
  }
}

const json kAudio = json::parse(R"({"audio": {
  "devices": [{"id": 40, "name": "Speakers", "streams": {"outp": 2, "inpt": 0}},
              {"id": 41, "name": {"error": 1852797029}},
              {"id": 42, "name": "Mic", "streams": {"inpt": 1}},
              {"id": 43, "name": null}, {"id": 44}],
  "defaultOutput": 40, "deviceListBytes": 30, "refuse": ["dIn "]},
  "failAfter": {"audioSet": 1}})");

TEST(SimAudio, DeviceListIsCutToTheDevicesThereAre) {
  for (std::uint32_t reported : {30u, 10u}) {
    json world = kAudio;
    world["audio"]["deviceListBytes"] = reported;
    useWorld(world);
    platform::AudioObjectPropertyAddress address{platform::kAudioHardwarePropertyDevices,
                                                 platform::kAudioObjectPropertyScopeGlobal, 0};
    std::uint32_t size = 0;
    ASSERT_EQ(platform::audioObjectGetPropertyDataSize(platform::kAudioObjectSystemObject, address, size), 0);
    EXPECT_EQ(size, reported);
    std::vector<platform::AudioObjectID> ids(size / 4, 0);
    std::uint32_t io = size;
    ASSERT_EQ(platform::audioObjectGetPropertyData(platform::kAudioObjectSystemObject, address, io, ids.data()), 0);
    if (reported == 30) {
      EXPECT_EQ(io, 20u);
      EXPECT_EQ(ids, (std::vector<platform::AudioObjectID>{40, 41, 42, 43, 44, 0, 0}));
    } else {
      EXPECT_EQ(io, 8u);
      EXPECT_EQ(ids, (std::vector<platform::AudioObjectID>{40, 41}));
    }
  }
}

TEST(SimAudio, NamesStreamsAndDefaults) {
  std::string journal = useWorld(kAudio);
  const platform::AudioObjectPropertyAddress name{platform::kAudioObjectPropertyName,
                                                  platform::kAudioObjectPropertyScopeGlobal, 0};
  struct NameCase {
    platform::AudioObjectID id;
    bool ok;
    std::optional<std::string> text;
  };
  for (const NameCase& c : std::vector<NameCase>{{40, true, "Speakers"},
                                                 {41, false, std::nullopt},
                                                 {43, true, std::nullopt},
                                                 {44, false, std::nullopt},
                                                 {99, false, std::nullopt}}) {
    platform::AudioStringRef ref;
    platform::OSStatus status = platform::audioObjectGetStringPropertyData(c.id, name, 8, ref);
    EXPECT_EQ(status == 0, c.ok) << c.id;
    EXPECT_EQ(ref ? std::optional<std::string>(*ref) : std::nullopt, c.text) << c.id;
    if (c.id == 41) {
      EXPECT_EQ(status, 1852797029);
    }
  }
  struct StreamCase {
    platform::AudioObjectID id;
    std::uint32_t scope;
    std::uint32_t size;
  };
  for (const StreamCase& c : std::vector<StreamCase>{{40, platform::kAudioDevicePropertyScopeOutput, 16},
                                                     {40, platform::kAudioDevicePropertyScopeInput, 0},
                                                     {42, platform::kAudioDevicePropertyScopeOutput, 0},
                                                     {42, platform::kAudioDevicePropertyScopeInput, 8}}) {
    std::uint32_t size = 99;
    EXPECT_EQ(platform::audioObjectGetPropertyDataSize(c.id, {platform::kAudioDevicePropertyStreams, c.scope, 0}, size),
              0);
    EXPECT_EQ(size, c.size) << c.id;
  }
  std::uint32_t size = 0;
  EXPECT_NE(platform::audioObjectGetPropertyDataSize(
                99, {platform::kAudioDevicePropertyStreams, platform::kAudioDevicePropertyScopeOutput, 0}, size),
            0);

  auto readDefault = [](std::uint32_t selector) -> std::optional<platform::AudioObjectID> {
    platform::AudioObjectID id = 0;
    std::uint32_t io = 4;
    if (platform::audioObjectGetPropertyData(platform::kAudioObjectSystemObject,
                                             {selector, platform::kAudioObjectPropertyScopeGlobal, 0}, io, &id) != 0)
      return std::nullopt;
    return id;
  };
  auto setDefault = [](std::uint32_t selector, platform::AudioObjectID id) {
    return platform::audioObjectSetPropertyData(platform::kAudioObjectSystemObject,
                                                {selector, platform::kAudioObjectPropertyScopeGlobal, 0}, 4, &id) == 0;
  };
  const auto out = platform::kAudioHardwarePropertyDefaultOutputDevice;
  const auto in = platform::kAudioHardwarePropertyDefaultInputDevice;
  EXPECT_EQ(readDefault(out), 40u);
  EXPECT_EQ(readDefault(in), std::nullopt);
  EXPECT_FALSE(setDefault(in, 42));   // refused by the world
  EXPECT_FALSE(setDefault(out, 42));  // the one set failAfter allows was used by the refused one
  EXPECT_EQ(readDefault(out), 40u);
  auto sets = journalOf(journal);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0], json::parse(R"({"t":0,"op":"audioSet","selector":"dIn ","device":42,"ok":false})"));

  json world = kAudio;
  world.erase("failAfter");
  journal = useWorld(world);
  EXPECT_TRUE(setDefault(out, 42));
  EXPECT_EQ(readDefault(out), 42u);
  EXPECT_FALSE(setDefault(out, 77));  // no such device
  EXPECT_EQ(journalOf(journal)[0], json::parse(R"({"t":0,"op":"audioSet","selector":"dOut","device":42,"ok":true})"));
}

}  // namespace
