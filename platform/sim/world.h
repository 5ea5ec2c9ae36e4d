// The simulated desktop's state: the world file as loaded, the virtual clock, the fault counters and
// the journal. Every platform function of the simulated backend reaches the world through world(),
// which loads SIM_WORLD (and opens SIM_JOURNAL) on the first call of the process.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "platform/image.h"

namespace platform {

// An accessibility element of the simulated desktop: a node of the loaded world (null for an
// application element on which every read fails), the pid it belongs to, and its names.
struct AXElementData {
  const nlohmann::json* node = nullptr;
  std::int32_t pid = 0;
  AXError readError = kAXErrorSuccess;  // what every read gives when node is null
  std::string path;                     // pid, then one segment per step from the application element
  std::string journalId;                // the element's "id", else its path
};

}  // namespace platform

namespace platform::sim {

struct App {
  std::int32_t pid = 0;
  std::optional<std::string> name;
  std::optional<std::string> bundleId;
  const nlohmann::json* element = nullptr;  // the root element, or null when reads must fail
};

struct LauncherEntry {
  int status = 0;
  std::uint64_t appearsAfterUs = 0;
  std::optional<App> app;
};

struct AudioDevice {
  std::uint32_t id = 0;
  const nlohmann::json* name = nullptr;  // null when absent from the world
  std::optional<std::uint32_t> outputStreams;
  std::optional<std::uint32_t> inputStreams;
};

struct World {
  nlohmann::json doc;  // the parsed file; element pointers point into it, so it never changes
  Rect bounds = rectMake(0, 0, 1440, 900);
  double scale = 1;
  std::array<std::uint8_t, 3> fill{0, 0, 0};
  std::optional<Image> picture;  // the decoded "png" picture, when the world names one
  bool trusted = true;
  std::set<std::string, std::less<>> failAlways;
  std::map<std::string, std::uint64_t, std::less<>> failAfter;
  std::vector<App> apps;
  std::int32_t frontmost = 0;
  std::map<std::string, LauncherEntry, std::less<>> launcher;
  std::optional<std::vector<std::string>> clipboardTypes;
  std::optional<std::string> clipboardString;
  std::vector<AudioDevice> devices;
  std::optional<std::uint32_t> defaultOutput;
  std::optional<std::uint32_t> defaultInput;
  std::uint32_t deviceListBytes = 0;
  std::set<std::uint32_t> refuse;
};

struct LaunchedApp {
  App app;
  std::uint64_t appearsAt = 0;
};

// What changes while the process runs.
struct RunState {
  std::uint64_t now = 0;  // virtual microseconds since the start of the process
  std::map<std::string, std::uint64_t, std::less<>> calls;
  std::vector<LaunchedApp> launched;
  std::FILE* journal = nullptr;
};

// The loaded world; the first call loads it, and a world that cannot be loaded ends the process with
// a message on standard error and exit status 2.
World& world();
RunState& runState();

// Replaces the world with the file at path (nothing: the empty world), resets the clock, the counters
// and the launches, and reopens SIM_JOURNAL. Gives the reason when the file cannot be loaded (the
// previous world then stays); empty on success. Elements of earlier worlds stay valid.
std::string loadWorldForTesting(const std::optional<std::string>& path);

// Parses a world document; gives the reason when it has the wrong shape. baseDir resolves "png".
std::string parseWorld(nlohmann::json doc, const std::string& baseDir, World& into);

// Counts one call of the named operation and tells whether the world makes it fail.
bool fails(std::string_view operation);

// A journal line with the current time and the operation; write it with writeJournal once complete.
nlohmann::ordered_json journalLine(std::string_view op);
void writeJournal(const nlohmann::ordered_json& line);

// A number as the journal writes it: integral values as integers, others as doubles.
nlohmann::ordered_json journalNumber(double value);

// The four-character code as text ("dIn " keeps its space).
std::string fourCharText(std::uint32_t code);

// Every application running now: the world's, then the launched ones whose time has come.
std::vector<App> runningApps();

}  // namespace platform::sim
