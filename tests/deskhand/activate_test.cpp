// The activate command over simulated worlds: name matching, the launcher path, the waits and the
// answers, checked through the journal and the virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program.h"

namespace {

using json = nlohmann::json;
using testing_support::journalOps;
using testing_support::runSim;

// An application with one visible window, so that the window work is one raise and no key press.
json app(int pid, const std::string& name) {
  json window = {{"id", "win" + std::to_string(pid)},
                 {"attrs", {{"AXRole", "AXWindow"}, {"AXMinimized", false}}},
                 {"actions", {"AXRaise"}}};
  return {
      {"pid", pid}, {"name", name}, {"element", {{"attrs", {{"AXRole", "AXApplication"}, {"AXWindows", {window}}}}}}};
}

std::vector<long long> sleeps(const std::vector<json>& journal) {
  std::vector<long long> us;
  for (const json& line : journalOps(journal, {"sleep"})) us.push_back(line["us"].get<long long>());
  return us;
}

// The virtual time when the run ended: the last line's time, plus its pause when it is one.
long long endTime(const std::vector<json>& journal) {
  if (journal.empty()) return 0;
  const json& last = journal.back();
  return last["t"].get<long long>() + (last["op"] == "sleep" ? last["us"].get<long long>() : 0);
}

std::string couldNotOpen(const std::string& name) {
  return json({{"error",
                "Could not open application '" + name + "'. Verify the name is correct and the app is installed."}})
             .dump() +
         "\n";
}

TEST(Activate, RunningApplicationMatchesInAnyCase) {
  json world = {{"apps", {app(90, "Notes"), app(100, "TextEdit"), app(110, "TextEdit")}}};
  for (std::string name : {"TextEdit", "textedit", "TEXTEDIT", "tExTeDiT"}) {
    SCOPED_TRACE(name);
    auto run = runSim("deskhand", {"activate", name}, world);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.out, "{\"success\":true}\n");
    // The first of the two same-named applications, activated with all its windows; no launcher.
    auto activations = journalOps(run.journal, {"activate", "launch"});
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(activations[0]["op"], "activate");
    EXPECT_EQ(activations[0]["pid"], 100);
    EXPECT_EQ(activations[0]["options"], 1);
    auto raises = journalOps(run.journal, {"axPerform"});
    ASSERT_EQ(raises.size(), 1u);
    EXPECT_EQ(raises[0]["element"], "win100");
    EXPECT_TRUE(journalOps(run.journal, {"key"}).empty());
    EXPECT_EQ(sleeps(run.journal), (std::vector<long long>{200000, 500000}));
    EXPECT_EQ(endTime(run.journal), 700000);
  }
}

TEST(Activate, LowerCasingIsFullUnicode) {
  json world = {{"apps", {app(100, "ÉDITEUR Ω")}}};
  auto run = runSim("deskhand", {"activate", "éditeur", "ω"}, world);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(journalOps(run.journal, {"activate"}).size(), 1u);
}

TEST(Activate, JoinsArgumentsWithSingleSpaces) {
  json world = {{"apps", {app(100, "My Text Editor")}}};
  auto run = runSim("deskhand", {"activate", "My", "Text", "Editor"}, world);
  EXPECT_EQ(run.result.status, 0);
  ASSERT_EQ(journalOps(run.journal, {"activate"}).size(), 1u);
  EXPECT_TRUE(journalOps(run.journal, {"launch"}).empty());
}

TEST(Activate, ApplicationWithoutADisplayNameNeverMatches) {
  json nameless = app(100, "x");
  nameless.erase("name");
  json world = {{"apps", {nameless}}};
  auto run = runSim("deskhand", {"activate", "x"}, world);
  EXPECT_EQ(run.result.status, 1);
  EXPECT_EQ(journalOps(run.journal, {"launch"}).size(), 1u);
}

struct LaunchCase {
  const char* title;
  std::vector<std::string> args;
  json launcher;  // the world's launcher table
  bool failToStart;
  int status;
  std::vector<long long> sleeps;
  std::string launchedName;
};

TEST(Activate, LauncherPaths) {
  const LaunchCase cases[] = {
      {"appears within 0.5 s",
       {"activate", "Maps"},
       {{"Maps", {{"status", 0}, {"appearsAfterUs", 400000}, {"app", app(300, "Maps")}}}},
       false,
       0,
       {500000, 500000},
       "Maps"},
      {"appears later than 0.5 s",
       {"activate", "Maps"},
       {{"Maps", {{"status", 0}, {"appearsAfterUs", 600000}, {"app", app(300, "Maps")}}}},
       false,
       1,
       {500000},
       "Maps"},
      {"launcher exits non-zero",
       {"activate", "Maps"},
       {{"Maps", {{"status", 2}, {"appearsAfterUs", 0}, {"app", app(300, "Maps")}}}},
       false,
       1,
       {},
       "Maps"},
      {"no launcher entry", {"activate", "Nothing"}, json::object(), false, 1, {}, "Nothing"},
      {"launcher cannot start", {"activate", "Maps"}, json::object(), true, 1, {}, "Maps"},
      {"leading space is kept", {"activate", " TextEdit"}, json::object(), false, 1, {}, " TextEdit"},
  };
  for (const LaunchCase& c : cases) {
    SCOPED_TRACE(c.title);
    json world = {{"apps", {app(100, "TextEdit")}}, {"launcher", c.launcher}};
    if (c.failToStart) world["fail"] = {"launch"};
    auto run = runSim("deskhand", c.args, world);
    EXPECT_EQ(run.result.status, c.status);
    EXPECT_EQ(run.result.out, c.status == 0 ? "{\"success\":true}\n" : couldNotOpen(c.launchedName));
    auto launches = journalOps(run.journal, {"launch"});
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0]["path"], "/usr/bin/open");
    EXPECT_EQ(launches[0]["args"], json({"-a", c.launchedName}));
    // The launched application is never asked to activate.
    EXPECT_TRUE(journalOps(run.journal, {"activate"}).empty());
    EXPECT_EQ(sleeps(run.journal), c.sleeps);
    EXPECT_EQ(journalOps(run.journal, {"axPerform"}).size(), c.status == 0 ? 1u : 0u);
    long long expectedEnd = 0;
    for (long long us : c.sleeps) expectedEnd += us;
    EXPECT_EQ(endTime(run.journal), expectedEnd);
  }
}

TEST(Activate, NeedsAName) {
  auto run = runSim("deskhand", {"activate"});
  EXPECT_EQ(run.result.status, 1);
  EXPECT_EQ(run.result.out, "{\"error\":\"Usage: velmora-helper activate <app-name>\"}\n");
  EXPECT_TRUE(run.journal.empty());
}

TEST(Activate, RunsWithoutTheAccessibilityPermission) {
  json world = {{"trusted", false}, {"apps", {app(100, "TextEdit")}}};
  auto run = runSim("deskhand", {"activate", "TextEdit"}, world);
  EXPECT_EQ(run.result.status, 0);
}

}  // namespace
