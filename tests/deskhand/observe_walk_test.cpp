// What the tree walk collects, through whole observe runs of deskhand-sim over small worlds.
#include <gtest/gtest.h>

#include "tests/deskhand/observe_worlds.h"

namespace {

using namespace observe_worlds;

// `leaf` under `levels` frameless elements: with a window at depth 0, the leaf sits at depth levels + 1.
json nest(json leaf, int levels) {
  for (int i = 0; i < levels; ++i) leaf = plain("level" + std::to_string(levels - i), {leaf});
  return leaf;
}

json pressable(json e, json actions = json::array({"AXPress"})) {
  e["actions"] = std::move(actions);
  return e;
}

struct WalkCase {
  const char* name;
  std::vector<json> windows;
  std::vector<std::string> expected;
};

std::vector<json> oneWindow(std::vector<json> children) { return {window("win", std::move(children))}; }

void runCases(const std::vector<WalkCase>& cases) {
  for (const auto& c : cases) {
    auto o = observe(world({app(100, appElement(c.windows))}));
    ASSERT_EQ(o.run.result.status, 0) << c.name << "\n" << o.run.result.out << o.run.result.err;
    EXPECT_EQ(o.titles, c.expected) << c.name;
  }
}

TEST(ObserveWalk, DepthLimitAndPrunedSubtrees) {
  runCases({
      {"depth 20 is collected, its child at 21 is not",
       oneWindow({nest(withChildren(button("d20", 10, 10), {button("d21", 300, 300)}), 19)}),
       {"d20"}},
      {"depth 21 is never visited", oneWindow({nest(button("d21", 10, 10), 20)}), {}},
      {"hidden subtree",
       oneWindow({withAttr(withChildren(button("hidden", 10, 10), {button("kid", 300, 300)}), "AXHidden", true)}),
       {}},
      {"hidden false and a non-boolean hidden go on",
       oneWindow(
           {withAttr(button("no", 10, 10), "AXHidden", false), withAttr(button("str", 300, 10), "AXHidden", "yes")}),
       {"no", "str"}},
      {"off-screen window is pruned with its on-screen children",
       {window("far", {button("inside", 10, 10)}, 2000, 0, 800, 600), window("near", {button("kept", 300, 300)})},
       {"kept"}},
      {"off-screen row is skipped but its on-screen child is collected",
       oneWindow({withChildren(pressable(element("row", "AXRow", 0, -500, 1440, 40)), {button("cell", 10, 10)})}),
       {"cell"}},
      {"off-screen scroll area and group prune their subtree",
       oneWindow({withChildren(element("scroll", "AXScrollArea", 0, 950, 400, 400), {button("a", 10, 10)}),
                  withChildren(element("group", "AXGroup", -900, 0, 400, 400), {button("b", 300, 10)})}),
       {}},
      {"off-screen button not collected, its child is",
       oneWindow({withChildren(button("away", 1500, 10), {button("back", 300, 300)})}),
       {"back"}},
      {"a frame sharing only the right edge of the display does not intersect it",
       oneWindow({button("edge", 1440, 10), button("partly", -20, 300)}),
       {"partly"}},
  });
}

TEST(ObserveWalk, FramesSizesAndEnabledState) {
  json noPosition = button("nopos", 10, 10);
  noPosition["attrs"].erase("AXPosition");
  runCases({
      {"zero width or height is not collected, children are",
       oneWindow({withChildren(button("zerow", 10, 10, 0, 20), {button("kid1", 300, 10)}),
                  withChildren(button("zeroh", 10, 300, 20, 0), {button("kid2", 300, 300)})}),
       {"kid1", "kid2"}},
      {"no position: not collected, children are",
       oneWindow({withChildren(noPosition, {button("kid", 300, 300)})}),
       {"kid"}},
      {"a size read as another wrapper gives no frame",
       oneWindow({withAttr(button("rect", 10, 10), "AXSize", json{{"rect", {0, 0, 40, 20}}}),
                  withAttr(button("sizeerr", 300, 10), "AXSize", json{{"error", -25212}}),
                  withAttr(button("posabsent", 600, 10), "AXPosition", json{{"absent", true}})}),
       {}},
      {"pressable scroll area over a quarter of the screen is not collected",
       oneWindow({pressable(element("bigscroll", "AXScrollArea", 0, 0, 721, 450)),
                  pressable(element("bigweb", "AXWebArea", 0, 0, 720, 451))}),
       {}},
      {"a quarter of the screen or less is collected",
       oneWindow({pressable(element("scroll", "AXScrollArea", 0, 0, 720, 450)),
                  pressable(element("group", "AXGroup", 720, 450, 720, 450))}),
       {"scroll", "group"}},
      {"pressable group over a quarter of the screen is not collected",
       oneWindow({pressable(element("biggroup", "AXGroup", 0, 0, 800, 500))}),
       {}},
      {"large clickable non-container is collected, unless over half the screen",
       oneWindow({button("bigbutton", 0, 0, 1000, 600), button("hugebutton", 0, 200, 1000, 700)}),
       {"bigbutton"}},
      {"disabled is not collected, unreadable or non-boolean enabled is",
       oneWindow({withChildren(withAttr(button("off", 10, 10), "AXEnabled", false), {button("kid", 10, 300)}),
                  withAttr(button("unknown", 300, 10), "AXEnabled", json{{"error", -25205}}),
                  withAttr(button("odd", 600, 10), "AXEnabled", 0),
                  withAttr(button("on", 900, 10), "AXEnabled", true)}),
       {"unknown", "odd", "on", "kid"}},
  });
}

TEST(ObserveWalk, CandidatesByRoleOrAction) {
  json roleless = pressable(button("roleless", 10, 10));
  roleless["attrs"].erase("AXRole");
  json numericRole = pressable(withAttr(button("numrole", 300, 300), "AXRole", 7));
  runCases({
      {"every clickable role is collected without asking for actions",
       oneWindow({element("link", "AXLink", 10, 10, 40, 20), element("tab", "AXTab", 100, 10, 40, 20),
                  element("close", "AXCloseButton", 200, 10, 40, 20), element("slider", "AXSlider", 300, 10, 40, 20),
                  element("minimize", "AXMinimizeButton", 400, 10, 40, 20),
                  element("incr", "AXIncrementor", 500, 10, 40, 20)}),
       {"link", "tab", "close", "slider", "minimize", "incr"}},
      {"other roles need an actionable action",
       oneWindow({pressable(element("text", "AXStaticText", 10, 10, 40, 20), json::array({"AXShowMenu", "AXPress"})),
                  pressable(element("menu", "AXStaticText", 100, 10, 40, 20), json::array({"AXShowMenu"})),
                  pressable(element("mixed", "AXStaticText", 200, 10, 40, 20), json::array({1, "AXPress"})),
                  pressable(element("err", "AXStaticText", 300, 10, 40, 20), json{{"error", -25200}}),
                  element("none", "AXStaticText", 400, 10, 40, 20),
                  pressable(element("pick", "AXCell", 500, 10, 40, 20), json::array({"AXPick"})),
                  pressable(element("dec", "AXValueIndicator", 600, 10, 40, 20), json::array({"AXDecrement"}))}),
       {"text", "pick", "dec"}},
      {"role names and action names are case-sensitive",
       oneWindow({element("lower", "axbutton", 10, 10, 40, 20),
                  pressable(element("lowaction", "AXStaticText", 100, 10, 40, 20), json::array({"axpress"}))}),
       {}},
      {"an unreadable role with the press action is collected",
       oneWindow({roleless, numericRole}),
       {"roleless", "numrole"}},
  });
  // The unreadable role comes out empty.
  auto o = observe(singleWindowWorld({roleless}));
  ASSERT_EQ(o.answer["elements"].size(), 1u);
  EXPECT_EQ(o.answer["elements"][0]["role"], "");
}

TEST(ObserveWalk, LabelsFallBackAndAreCut) {
  const std::string thumbs = "\U0001F44D\U0001F3FD";  // one character: thumbs up with a skin tone
  const std::string accented = "e\u0301";             // one character: e with a combining acute accent
  const std::string ellipsis = "\u2026";
  auto labelled = [](const std::string& id, double x, json attrs) {
    json e = element(id, "AXTextField", x, 10, 40, 20);
    e["attrs"].erase("AXTitle");
    for (auto& [k, v] : attrs.items()) e["attrs"][k] = v;
    return e;
  };
  struct Case {
    const char* name;
    json attrs;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"title", {{"AXTitle", "Save"}, {"AXDescription", "d"}}, "Save"},
      {"empty title gives the description", {{"AXTitle", ""}, {"AXDescription", "Close tab"}}, "Close tab"},
      {"a numeric title counts as empty", {{"AXTitle", 5}, {"AXDescription", "Desc"}}, "Desc"},
      {"no title or description gives a string value", {{"AXValue", "typed"}}, "typed"},
      {"a numeric value gives no label", {{"AXValue", 5}}, ""},
      {"60 characters stay whole", {{"AXTitle", repeat(thumbs, 60)}}, repeat(thumbs, 60)},
      {"61 characters are cut to 60 and an ellipsis", {{"AXTitle", repeat(thumbs, 61)}}, repeat(thumbs, 60) + ellipsis},
      {"combining marks count with their base",
       {{"AXDescription", repeat(accented, 61)}},
       repeat(accented, 60) + ellipsis},
      {"a long value is cut to 60 and an ellipsis",
       {{"AXValue", repeat(accented + "x", 150)}},
       repeat(accented + "x", 30) + ellipsis},
      {"a value of exactly 60 stays whole", {{"AXValue", repeat("a", 60)}}, repeat("a", 60)},
  };
  for (const auto& c : cases) {
    auto o = observe(singleWindowWorld({labelled("field", 100, c.attrs)}));
    ASSERT_EQ(o.titles.size(), 1u) << c.name << o.run.result.out << o.run.result.err;
    EXPECT_EQ(o.titles[0], c.expected) << c.name;
  }
}

TEST(ObserveWalk, StateTexts) {
  const std::string thumbs = "\U0001F44D\U0001F3FD";
  struct Case {
    const char* name;
    std::string role;
    json attrs;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"check box on", "AXCheckBox", {{"AXValue", 1}}, "selected"},
      {"check box off", "AXCheckBox", {{"AXValue", 0}}, "unselected"},
      {"mixed check box", "AXCheckBox", {{"AXValue", 2}}, "unselected"},
      {"a fractional value is not an integer", "AXCheckBox", {{"AXValue", 1.5}}, ""},
      {"unreadable check box with focus",
       "AXCheckBox",
       {{"AXValue", {{"error", -25212}}}, {"AXFocused", true}},
       "focused"},
      {"radio button on and focused", "AXRadioButton", {{"AXValue", 1}, {"AXFocused", true}}, "selected, focused"},
      {"text of 40 characters",
       "AXTextField",
       {{"AXValue", repeat(thumbs, 40)}},
       "value=\"" + repeat(thumbs, 40) + "\""},
      {"text of 41 characters",
       "AXTextArea",
       {{"AXValue", repeat(thumbs, 41)}},
       "value=\"" + repeat(thumbs, 40) + "\u2026\""},
      {"focused empty field", "AXTextField", {{"AXValue", ""}, {"AXFocused", true}}, "focused"},
      {"focused combo box with text",
       "AXComboBox",
       {{"AXValue", "a\"b\\c"}, {"AXFocused", true}},
       "focused, value=\"a\"b\\c\""},
      {"a numeric field value is not text", "AXTextField", {{"AXValue", 42}}, ""},
      {"button with a value only reports focus", "AXButton", {{"AXValue", "x"}, {"AXFocused", true}}, "focused"},
      {"non-boolean focus", "AXLink", {{"AXFocused", 1}}, ""},
  };
  for (const auto& c : cases) {
    json e = element("e", c.role, 100, 100, 40, 20);
    for (auto& [k, v] : c.attrs.items()) e["attrs"][k] = v;
    auto o = observe(singleWindowWorld({e}));
    ASSERT_EQ(o.answer["elements"].size(), 1u) << c.name << o.run.result.out << o.run.result.err;
    EXPECT_EQ(o.answer["elements"][0]["state"], c.expected) << c.name;
  }
}

}  // namespace
