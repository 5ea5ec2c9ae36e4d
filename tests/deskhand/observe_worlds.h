// Small accessibility worlds for the observe tests: elements, windows, applications, and runs of
// deskhand-sim observe over them.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/program.h"

namespace observe_worlds {

using nlohmann::json;

// An element with a role and a frame; its title is its id so that the answer names it.
inline json element(const std::string& id, const std::string& role, double x, double y, double w, double h) {
  return json{
      {"id", id},
      {"attrs",
       {{"AXRole", role}, {"AXTitle", id}, {"AXPosition", {{"point", {x, y}}}}, {"AXSize", {{"size", {w, h}}}}}}};
}

inline json button(const std::string& id, double x, double y, double w = 40, double h = 20) {
  return element(id, "AXButton", x, y, w, h);
}

// An element that reads no frame and offers nothing: it only carries children.
inline json plain(const std::string& id, std::vector<json> children = {}) {
  json e{{"id", id}, {"attrs", {{"AXRole", "AXGroup"}}}};
  if (!children.empty()) e["attrs"]["AXChildren"] = children;
  return e;
}

inline json withChildren(json e, std::vector<json> children) {
  e["attrs"]["AXChildren"] = std::move(children);
  return e;
}

inline json withAttr(json e, const std::string& name, json value) {
  e["attrs"][name] = std::move(value);
  return e;
}

inline json window(const std::string& id, std::vector<json> children, double x = 0, double y = 0, double w = 1440,
                   double h = 900) {
  json e = element(id, "AXWindow", x, y, w, h);
  e["attrs"].erase("AXTitle");
  if (!children.empty()) e["attrs"]["AXChildren"] = std::move(children);
  return e;
}

// The application element of `pid` with these windows (none given: an empty list) and an optional menu bar.
inline json appElement(std::vector<json> windows, std::optional<json> menuBar = std::nullopt) {
  json e{{"attrs", {{"AXRole", "AXApplication"}, {"AXWindows", json::array()}}}};
  for (auto& w : windows) e["attrs"]["AXWindows"].push_back(std::move(w));
  if (menuBar) e["attrs"]["AXMenuBar"] = *menuBar;
  return e;
}

inline json app(int pid, json root, const std::string& bundleId = "com.example.app") {
  return json{
      {"pid", pid}, {"name", "App" + std::to_string(pid)}, {"bundleId", bundleId}, {"element", std::move(root)}};
}

inline json world(std::vector<json> apps, int frontmost = 100) {
  json w{{"display", {{"bounds", {0, 0, 1440, 900}}, {"scale", 1}, {"fill", {40, 80, 120}}}},
         {"trusted", true},
         {"apps", json::array()},
         {"frontmost", frontmost}};
  for (auto& a : apps) w["apps"].push_back(std::move(a));
  return w;
}

// One application (pid 100, frontmost) with one full-screen window holding these children.
inline json singleWindowWorld(std::vector<json> children) {
  return world({app(100, appElement({window("win", children)}))});
}

struct Observation {
  testing_support::SimRun run;
  json answer;  // the parsed document, null when nothing was printed
  std::vector<std::string> titles;
};

inline std::string screenshotPath() { return testing_support::tempDir() + "/observe.png"; }

inline Observation observe(const json& w, std::vector<std::string> args = {}) {
  if (std::find(args.begin(), args.end(), "--screenshot") == args.end()) {
    args.push_back("--screenshot");
    args.push_back(screenshotPath());
  }
  std::vector<std::string> full{"observe"};
  full.insert(full.end(), args.begin(), args.end());
  Observation o{testing_support::runSim("deskhand", full, w), nullptr, {}};
  if (!o.run.result.out.empty()) o.answer = json::parse(o.run.result.out, nullptr, false);
  if (o.answer.is_object() && o.answer.contains("elements")) {
    for (const auto& e : o.answer["elements"]) o.titles.push_back(e["title"].get<std::string>());
  }
  return o;
}

// A string of `count` copies of one user-perceived character.
inline std::string repeat(const std::string& grapheme, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += grapheme;
  return s;
}

}  // namespace observe_worlds
