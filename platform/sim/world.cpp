// Loading and checking the world file, the journal, the virtual clock and the fault counters.
#include "platform/sim/world.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/application.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/faults.h"

namespace platform::sim {
namespace {

using nlohmann::json;

// The operations a world may make fail.
const std::set<std::string, std::less<>> faultNames{"eventSource", "mouseEvent",     "keyboardEvent", "scrollEvent",
                                                    "capture",     "bitmapContext",  "pngWriter",     "pngFinalize",
                                                    "canvas",      "drawingContext", "pngEncode",     "fileRead",
                                                    "fileWrite",   "launch",         "audioSet"};

// Deeper element trees than this are refused rather than risking the stack.
constexpr int kMaxDepth = 400;
// Largest capture side in pixels.
constexpr double kMaxPictureSide = 32768;

// Every world loaded in this process: elements handed out keep pointing into them.
std::vector<std::unique_ptr<World>> loadedWorlds;
World* current = nullptr;
RunState state;
bool loading = false;

struct ShapeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void shapeError(const std::string& where, const std::string& what) {
  throw ShapeError(where + ": " + what);
}

std::string member(const std::string& where, std::string_view key) {
  return where.empty() ? std::string(key) : where + "." + std::string(key);
}
std::string item(const std::string& where, std::size_t index) { return where + "[" + std::to_string(index) + "]"; }

const json& requireObject(const json& value, const std::string& where) {
  if (!value.is_object()) shapeError(where, "must be an object");
  return value;
}

std::int64_t integerIn(const json& value, const std::string& where, std::int64_t low, std::int64_t high) {
  if (value.is_number_unsigned()) {
    auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(high)) shapeError(where, "is out of range");
    return static_cast<std::int64_t>(u);
  }
  if (!value.is_number_integer()) shapeError(where, "must be an integer");
  auto i = value.get<std::int64_t>();
  if (i < low || i > high) shapeError(where, "is out of range");
  return i;
}

std::int32_t int32Of(const json& value, const std::string& where) {
  return static_cast<std::int32_t>(
      integerIn(value, where, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}
std::uint32_t uint32Of(const json& value, const std::string& where) {
  return static_cast<std::uint32_t>(integerIn(value, where, 0, std::numeric_limits<std::uint32_t>::max()));
}
std::uint64_t countOf(const json& value, const std::string& where) {
  return static_cast<std::uint64_t>(integerIn(value, where, 0, std::numeric_limits<std::int64_t>::max()));
}

double numberOf(const json& value, const std::string& where) {
  if (!value.is_number()) shapeError(where, "must be a number");
  return value.get<double>();
}

std::string stringOf(const json& value, const std::string& where) {
  if (!value.is_string()) shapeError(where, "must be a string");
  return value.get<std::string>();
}

void requireNumbers(const json& value, std::size_t count, const std::string& where) {
  if (!value.is_array() || value.size() != count)
    shapeError(where, "must be an array of " + std::to_string(count) + " numbers");
  for (std::size_t i = 0; i < count; ++i) numberOf(value[i], item(where, i));
}

void checkElement(const json& element, const std::string& where, int depth);

// An attribute value (or an action-name value) of any of the shapes the format knows.
void checkValue(const json& value, const std::string& where, bool inList, int depth) {
  if (depth > kMaxDepth) shapeError(where, "is nested too deeply");
  if (value.is_string() || value.is_boolean() || value.is_number_float()) return;
  if (value.is_number_integer()) {
    integerIn(value, where, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    return;
  }
  if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) checkValue(value[i], item(where, i), true, depth + 1);
    return;
  }
  if (value.is_object()) {
    if (value.contains("attrs")) return checkElement(value, where, depth + 1);
    if (value.contains("point")) return requireNumbers(value["point"], 2, member(where, "point"));
    if (value.contains("size")) return requireNumbers(value["size"], 2, member(where, "size"));
    if (value.contains("rect")) return requireNumbers(value["rect"], 4, member(where, "rect"));
    if (value.contains("range")) return requireNumbers(value["range"], 2, member(where, "range"));
    if (!inList && value.contains("absent")) {
      if (value["absent"] != true) shapeError(member(where, "absent"), "must be true");
      return;
    }
    if (!inList && value.contains("error")) {
      int32Of(value["error"], member(where, "error"));
      return;
    }
  }
  shapeError(where, "is not an attribute value (string, boolean, number, array, element, point, size, rect, range" +
                        std::string(inList ? ")" : ", absent or error)"));
}

void checkElement(const json& element, const std::string& where, int depth) {
  if (depth > kMaxDepth) shapeError(where, "is nested too deeply");
  requireObject(element, where);
  if (element.contains("id")) stringOf(element["id"], member(where, "id"));
  if (element.contains("attrs")) {
    const json& attrs = requireObject(element["attrs"], member(where, "attrs"));
    for (auto& [name, value] : attrs.items()) checkValue(value, member(member(where, "attrs"), name), false, depth + 1);
  }
  if (element.contains("actions")) checkValue(element["actions"], member(where, "actions"), false, depth + 1);
}

App parseApp(const json& value, const std::string& where) {
  requireObject(value, where);
  App app;
  if (!value.contains("pid")) shapeError(where, "needs a pid");
  app.pid = int32Of(value["pid"], member(where, "pid"));
  if (value.contains("name")) app.name = stringOf(value["name"], member(where, "name"));
  if (value.contains("bundleId")) app.bundleId = stringOf(value["bundleId"], member(where, "bundleId"));
  if (value.contains("element")) {
    checkElement(value["element"], member(where, "element"), 0);
    app.element = &value["element"];
  }
  return app;
}

std::vector<std::uint8_t> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::strerror(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(std::strerror(errno));
  return bytes;
}

void parseDisplay(const json& display, const std::string& baseDir, World& world) {
  requireObject(display, "display");
  if (display.contains("bounds")) {
    const json& b = display["bounds"];
    requireNumbers(b, 4, "display.bounds");
    world.bounds = rectMake(b[0].get<double>(), b[1].get<double>(), b[2].get<double>(), b[3].get<double>());
    if (!(world.bounds.size.width > 0 && world.bounds.size.height > 0))
      shapeError("display.bounds", "width and height must be positive");
  }
  if (display.contains("scale")) {
    world.scale = numberOf(display["scale"], "display.scale");
    if (!(world.scale > 0)) shapeError("display.scale", "must be positive");
  }
  if (std::trunc(world.bounds.size.width * world.scale) > kMaxPictureSide ||
      std::trunc(world.bounds.size.height * world.scale) > kMaxPictureSide)
    shapeError("display", "the capture would be larger than 32768 pixels on a side");
  if (display.contains("fill")) {
    const json& fill = display["fill"];
    if (!fill.is_array() || fill.size() != 3) shapeError("display.fill", "must be an array of 3 integers");
    for (std::size_t i = 0; i < 3; ++i)
      world.fill[i] = static_cast<std::uint8_t>(integerIn(fill[i], item("display.fill", i), 0, 255));
  }
  if (display.contains("png")) {
    std::filesystem::path file = stringOf(display["png"], "display.png");
    if (file.is_relative()) file = std::filesystem::path(baseDir) / file;
    std::vector<std::uint8_t> bytes;
    try {
      bytes = readWholeFile(file.string());
    } catch (const std::runtime_error& e) {
      shapeError("display.png", "cannot read " + file.string() + ": " + e.what());
    }
    auto decoded = pngDecode(bytes);
    if (!decoded) shapeError("display.png", file.string() + " is not a PNG picture");
    auto wantWidth = static_cast<int>(std::trunc(world.bounds.size.width * world.scale));
    auto wantHeight = static_cast<int>(std::trunc(world.bounds.size.height * world.scale));
    if (decoded->pixels.width != wantWidth || decoded->pixels.height != wantHeight) {
      shapeError("display.png", file.string() + " is " + std::to_string(decoded->pixels.width) + "x" +
                                    std::to_string(decoded->pixels.height) + " pixels, the display needs " +
                                    std::to_string(wantWidth) + "x" + std::to_string(wantHeight));
    }
    world.picture = std::move(decoded->pixels);
  }
}

void parseFaults(const json& doc, World& world) {
  if (doc.contains("fail")) {
    const json& fail = doc["fail"];
    if (!fail.is_array()) shapeError("fail", "must be an array of operation names");
    for (std::size_t i = 0; i < fail.size(); ++i) {
      auto name = stringOf(fail[i], item("fail", i));
      if (!faultNames.count(name)) shapeError(item("fail", i), "unknown operation \"" + name + "\"");
      world.failAlways.insert(name);
    }
  }
  if (doc.contains("failAfter")) {
    const json& after = requireObject(doc["failAfter"], "failAfter");
    for (auto& [name, count] : after.items()) {
      if (!faultNames.count(name)) shapeError("failAfter", "unknown operation \"" + name + "\"");
      world.failAfter[name] = countOf(count, member("failAfter", name));
    }
  }
}

void parseLauncher(const json& launcher, World& world) {
  requireObject(launcher, "launcher");
  for (auto& [name, entry] : launcher.items()) {
    std::string where = member("launcher", name);
    requireObject(entry, where);
    LauncherEntry parsed;
    if (entry.contains("status")) parsed.status = int32Of(entry["status"], member(where, "status"));
    if (entry.contains("appearsAfterUs"))
      parsed.appearsAfterUs = countOf(entry["appearsAfterUs"], member(where, "appearsAfterUs"));
    if (entry.contains("app")) parsed.app = parseApp(entry["app"], member(where, "app"));
    world.launcher[name] = std::move(parsed);
  }
}

void parseClipboard(const json& clipboard, World& world) {
  requireObject(clipboard, "clipboard");
  if (clipboard.contains("types")) {
    const json& types = clipboard["types"];
    if (!types.is_array()) shapeError("clipboard.types", "must be an array of strings");
    std::vector<std::string> list;
    for (std::size_t i = 0; i < types.size(); ++i) list.push_back(stringOf(types[i], item("clipboard.types", i)));
    world.clipboardTypes = std::move(list);
  }
  if (clipboard.contains("string") && !clipboard["string"].is_null())
    world.clipboardString = stringOf(clipboard["string"], "clipboard.string");
}

void parseAudio(const json& audio, World& world) {
  requireObject(audio, "audio");
  if (audio.contains("devices")) {
    const json& devices = audio["devices"];
    if (!devices.is_array()) shapeError("audio.devices", "must be an array of devices");
    for (std::size_t i = 0; i < devices.size(); ++i) {
      std::string where = item("audio.devices", i);
      const json& d = requireObject(devices[i], where);
      AudioDevice device;
      if (!d.contains("id")) shapeError(where, "needs an id");
      device.id = uint32Of(d["id"], member(where, "id"));
      if (d.contains("name")) {
        const json& name = d["name"];
        if (name.is_object() && name.contains("error"))
          int32Of(name["error"], member(member(where, "name"), "error"));
        else if (!name.is_string() && !name.is_null())
          shapeError(member(where, "name"), "must be a string, null or {\"error\": code}");
        device.name = &name;
      }
      if (d.contains("streams")) {
        const json& streams = requireObject(d["streams"], member(where, "streams"));
        std::string sw = member(where, "streams");
        if (streams.contains("outp")) device.outputStreams = uint32Of(streams["outp"], member(sw, "outp"));
        if (streams.contains("inpt")) device.inputStreams = uint32Of(streams["inpt"], member(sw, "inpt"));
      }
      world.devices.push_back(device);
    }
  }
  if (audio.contains("defaultOutput")) world.defaultOutput = uint32Of(audio["defaultOutput"], "audio.defaultOutput");
  if (audio.contains("defaultInput")) world.defaultInput = uint32Of(audio["defaultInput"], "audio.defaultInput");
  world.deviceListBytes = static_cast<std::uint32_t>(4 * world.devices.size());
  if (audio.contains("deviceListBytes"))
    world.deviceListBytes = uint32Of(audio["deviceListBytes"], "audio.deviceListBytes");
  if (audio.contains("refuse")) {
    const json& refuse = audio["refuse"];
    if (!refuse.is_array()) shapeError("audio.refuse", "must be an array of four-character selectors");
    for (std::size_t i = 0; i < refuse.size(); ++i) {
      auto code = stringOf(refuse[i], item("audio.refuse", i));
      if (code.size() != 4) shapeError(item("audio.refuse", i), "must be four characters, such as \"dIn \"");
      char text[5] = {code[0], code[1], code[2], code[3], 0};
      world.refuse.insert(fourCharCode(text));
    }
  }
}

[[noreturn]] void failToStart(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
  std::exit(2);
}

// Loads the world at path (nothing: the empty world) into a new World; gives the reason on failure.
std::string loadWorld(const std::optional<std::string>& path, std::unique_ptr<World>& out) {
  auto loaded = std::make_unique<World>();
  json doc = json::object();
  std::string baseDir = ".";
  if (path) {
    std::string text;
    try {
      auto bytes = readWholeFile(*path);
      text.assign(bytes.begin(), bytes.end());
    } catch (const std::runtime_error& e) {
      return "cannot load world file " + *path + ": " + e.what();
    }
    try {
      doc = json::parse(text);
    } catch (const json::exception& e) {
      return "cannot load world file " + *path + ": " + e.what();
    }
    baseDir = std::filesystem::path(*path).parent_path().string();
    if (baseDir.empty()) baseDir = ".";
  }
  loading = true;
  std::string error = parseWorld(std::move(doc), baseDir, *loaded);
  loading = false;
  if (!error.empty()) return "cannot load world file " + (path ? *path : std::string("(none)")) + ": " + error;
  out = std::move(loaded);
  return {};
}

std::string openJournal() {
  if (state.journal) std::fclose(state.journal);
  state.journal = nullptr;
  const char* path = std::getenv("SIM_JOURNAL");
  if (!path || !*path) return {};
  state.journal = std::fopen(path, "a");
  if (!state.journal) return std::string("cannot open journal file ") + path + ": " + std::strerror(errno);
  return {};
}

void install(std::unique_ptr<World> world) {
  current = world.get();
  loadedWorlds.push_back(std::move(world));
  state.now = 0;
  state.calls.clear();
  state.launched.clear();
}

}  // namespace

std::string parseWorld(nlohmann::json input, const std::string& baseDir, World& world) {
  world.doc = std::move(input);
  const json& doc = world.doc;
  try {
    requireObject(doc, "the world");
    if (doc.contains("display")) parseDisplay(doc["display"], baseDir, world);
    if (doc.contains("trusted")) {
      if (!doc["trusted"].is_boolean()) shapeError("trusted", "must be true or false");
      world.trusted = doc["trusted"].get<bool>();
    }
    parseFaults(doc, world);
    if (doc.contains("apps")) {
      const json& apps = doc["apps"];
      if (!apps.is_array()) shapeError("apps", "must be an array of applications");
      for (std::size_t i = 0; i < apps.size(); ++i) world.apps.push_back(parseApp(apps[i], item("apps", i)));
    }
    if (doc.contains("frontmost")) world.frontmost = int32Of(doc["frontmost"], "frontmost");
    if (doc.contains("launcher")) parseLauncher(doc["launcher"], world);
    if (doc.contains("clipboard")) parseClipboard(doc["clipboard"], world);
    world.deviceListBytes = 0;
    if (doc.contains("audio")) parseAudio(doc["audio"], world);
  } catch (const ShapeError& e) {
    return e.what();
  }
  return {};
}

World& world() {
  if (!current) {
    const char* path = std::getenv("SIM_WORLD");
    std::unique_ptr<World> loaded;
    std::string error = loadWorld(path && *path ? std::optional<std::string>(path) : std::nullopt, loaded);
    if (!error.empty()) failToStart(error);
    error = openJournal();
    if (!error.empty()) failToStart(error);
    install(std::move(loaded));
  }
  return *current;
}

RunState& runState() {
  world();
  return state;
}

std::string loadWorldForTesting(const std::optional<std::string>& path) {
  std::unique_ptr<World> loaded;
  std::string error = loadWorld(path, loaded);
  if (!error.empty()) return error;
  error = openJournal();
  if (!error.empty()) return error;
  install(std::move(loaded));
  return {};
}

bool fails(std::string_view operation) {
  // The picture of a world is decoded while it loads, through code that may ask; nothing fails then.
  if (loading) return false;
  World& w = world();
  auto found = state.calls.find(operation);
  if (found == state.calls.end()) found = state.calls.emplace(std::string(operation), 0).first;
  std::uint64_t count = ++found->second;
  if (w.failAlways.count(operation)) return true;
  auto limit = w.failAfter.find(operation);
  return limit != w.failAfter.end() && count > limit->second;
}

nlohmann::ordered_json journalLine(std::string_view op) {
  nlohmann::ordered_json line = nlohmann::ordered_json::object();
  line["t"] = runState().now;
  line["op"] = op;
  return line;
}

void writeJournal(const nlohmann::ordered_json& line) {
  RunState& s = runState();
  if (!s.journal) return;
  // Strings that came from the command line may not be UTF-8; the journal must stay readable.
  std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), s.journal);
  std::fflush(s.journal);
}

nlohmann::ordered_json journalNumber(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e18)
    return static_cast<std::int64_t>(value);
  return value;
}

std::string fourCharText(std::uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xff);
  return text;
}

std::vector<App> runningApps() {
  std::vector<App> apps = world().apps;
  for (const LaunchedApp& launched : state.launched)
    if (state.now >= launched.appearsAt) apps.push_back(launched.app);
  return apps;
}

}  // namespace platform::sim

namespace platform {

bool operationFails(std::string_view operation) { return sim::fails(operation); }

void sleepMicroseconds(std::uint32_t microseconds) {
  auto line = sim::journalLine("sleep");
  line["us"] = microseconds;
  sim::writeJournal(line);
  sim::runState().now += microseconds;
}

void applicationSetActivationPolicy(int) { sim::world(); }

}  // namespace platform
