// Shared by the input tests: runs deskhand-sim and renders its input journal as short lines, so that
// whole sequences (events, points, buttons, click states, flags, text and pauses) compare at once.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/unicode.h"
#include "tests/support/program.h"

namespace input_test {

using nlohmann::json;
using Journal = std::vector<std::string>;

// Numbers as the journal writes them: integral values as integers.
inline std::string number(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e18)
    return std::to_string(static_cast<long long>(value));
  return json(value).dump();
}

inline std::string number(const json& value) {
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_number()) return number(value.get<double>());
  return value.dump();
}

inline std::string hex(std::uint64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
  return buffer;
}

inline std::string mouseName(int type) {
  static const char* names[] = {"?", "down", "up", "rdown", "rup", "move", "drag", "rdrag"};
  return type >= 1 && type <= 7 ? names[type] : "mouse" + std::to_string(type);
}

// One journal line as text: "sleep 25000", "move 10,20 b0", "down 10,20 b0 cs=1", "key 55 down",
// "key 17 up flags=0x120000", "key 0 down text=hi", "scroll unit=1 n=1 wheels=-3,0,0".
inline std::string describe(const json& line) {
  std::string op = line.value("op", "");
  if (op == "sleep") return "sleep " + number(line["us"]);
  if (op == "mouse") {
    std::string s = mouseName(line["type"].get<int>()) + " " + number(line["x"]) + "," + number(line["y"]) + " b" +
                    number(line["button"]);
    if (!line.contains("clickState") || !line.contains("flags")) return "malformed " + line.dump();
    if (!line["clickState"].is_null()) s += " cs=" + number(line["clickState"]);
    if (!line["flags"].is_null()) s += " flags=" + hex(line["flags"].get<std::uint64_t>());
    return s;
  }
  if (op == "key") {
    std::string s = "key " + number(line["code"]) + (line["down"].get<bool>() ? " down" : " up");
    if (!line.contains("flags")) return "malformed " + line.dump();
    if (!line["flags"].is_null()) s += " flags=" + hex(line["flags"].get<std::uint64_t>());
    if (line.contains("text")) {
      std::string text = line["text"].get<std::string>();
      s += " text=" + text;
      std::vector<std::uint16_t> units = line["units"].get<std::vector<std::uint16_t>>();
      std::u16string expected = text::toUtf16(text);
      // Units that the text alone does not spell (a cut surrogate pair) are written out.
      if (!std::equal(units.begin(), units.end(), expected.begin(), expected.end())) {
        s += " units=";
        for (std::size_t i = 0; i < units.size(); ++i) s += (i ? "," : "") + hex(units[i]);
      }
    }
    return s;
  }
  if (op == "scroll") {
    std::string s = "scroll unit=" + number(line["unit"]) + " n=" + number(line["wheelCount"]) + " wheels=";
    for (std::size_t i = 0; i < line["wheels"].size(); ++i) s += (i ? "," : "") + number(line["wheels"][i]);
    if (line.contains("flags")) s += " flags=" + hex(line["flags"].get<std::uint64_t>());
    return s;
  }
  return line.dump();
}

// Expected-line builders, in the same notation.
inline std::string sleepUs(std::uint64_t us) { return "sleep " + std::to_string(us); }
inline std::string at(double x, double y) { return number(x) + "," + number(y); }
inline std::string mouse(const std::string& kind, double x, double y, int button = 0,
                         std::optional<int> clickState = std::nullopt) {
  std::string s = kind + " " + at(x, y) + " b" + std::to_string(button);
  if (clickState) s += " cs=" + std::to_string(*clickState);
  return s;
}

inline Journal operator+(Journal a, const Journal& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct SimAnswer {
  int status = -1;
  std::string out;
  std::string err;
  Journal journal;  // input events and pauses only
  std::vector<json> raw;
};

// A trusted world, with the given extra top-level entries (failures, display).
inline json world(const json& extra = json::object()) {
  json w = {{"trusted", true}};
  for (auto& [key, value] : extra.items()) w[key] = value;
  return w;
}

inline SimAnswer runDeskhand(const std::vector<std::string>& args, const json& extraWorld = json::object()) {
  testing_support::SimRun sim = testing_support::runSim("deskhand", args, world(extraWorld));
  SimAnswer run;
  run.status = sim.result.status;
  run.out = sim.result.out;
  run.err = sim.result.err;
  run.raw = testing_support::journalOps(sim.journal, {"mouse", "key", "scroll", "sleep"});
  for (const json& line : run.raw) run.journal.push_back(describe(line));
  return run;
}

inline std::string success() { return "{\"success\":true}\n"; }

// One line on standard output holding exactly {"error": message}.
inline void expectError(const SimAnswer& run, const std::string& message) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');
  json parsed = json::parse(run.out, nullptr, false);
  EXPECT_EQ(parsed, json({{"error", message}})) << run.out;
}

// The answer for a case: success, or the error message.
inline void expectAnswer(const SimAnswer& run, const std::optional<std::string>& error) {
  if (error) {
    expectError(run, *error);
  } else {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, success());
  }
}

inline std::string joinArgs(const std::vector<std::string>& args) {
  std::string s;
  for (const auto& a : args) s += (s.empty() ? "" : " ") + ("[" + a + "]");
  return s;
}

}  // namespace input_test
