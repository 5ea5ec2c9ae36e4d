// libFuzzer target for relaypost's line handling over the simulated desktop (no journal).
//
// The input is a stream of lines. Each line is decoded twice, by relaypost's streaming decoder and by
// a straightforward decoder over a parsed nlohmann document that states the line format directly;
// the two must agree. Then the line goes through handleLine, with the button state carried across
// lines as in the real program. Any sanitizer report, exception or disagreement is a crash.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "common/unicode.h"
#include "relaypost/input_event.h"
#include "relaypost/relay.h"
#include "relaypost/state.h"

namespace {

using nlohmann::json;
using relaypost::InputEvent;
using relaypost::Modifiers;

// Reads one optional field from the document: false when its value has the wrong JSON type.
template <typename T, typename Check, typename Get>
bool readField(const json& doc, const char* name, std::optional<T>& out, Check isRightType, Get get) {
  auto it = doc.find(name);
  if (it == doc.end() || it->is_null()) return true;
  if (!isRightType(*it)) return false;
  out = get(*it);
  return true;
}

bool readDouble(const json& doc, const char* name, std::optional<double>& out) {
  return readField(
      doc, name, out, [](const json& v) { return v.is_number(); }, [](const json& v) { return v.get<double>(); });
}

bool readString(const json& doc, const char* name, std::optional<std::string>& out) {
  return readField(
      doc, name, out, [](const json& v) { return v.is_string(); }, [](const json& v) { return v.get<std::string>(); });
}

bool readBool(const json& doc, const char* name, std::optional<bool>& out) {
  return readField(
      doc, name, out, [](const json& v) { return v.is_boolean(); }, [](const json& v) { return v.get<bool>(); });
}

bool readClickCount(const json& doc, std::optional<std::int64_t>& out) {
  auto it = doc.find("clickCount");
  if (it == doc.end() || it->is_null()) return true;
  if (it->is_number_integer() && !it->is_number_unsigned()) {
    out = it->get<std::int64_t>();
    return true;
  }
  if (it->is_number_unsigned()) {
    const auto v = it->get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(INT64_MAX)) return false;
    out = static_cast<std::int64_t>(v);
    return true;
  }
  if (it->is_number_float()) {
    const double v = it->get<double>();
    if (std::floor(v) != v || v < -9223372036854775808.0 || v >= 9223372036854775808.0) return false;
    out = static_cast<std::int64_t>(v);
    return true;
  }
  return false;
}

std::optional<InputEvent> referenceDecode(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  const json doc = json::parse(line.begin(), line.end(), nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object()) return std::nullopt;
  InputEvent e;
  std::optional<std::string> type;
  if (!readString(doc, "type", type) || !type) return std::nullopt;
  e.type = *type;
  if (!readDouble(doc, "x", e.x) || !readDouble(doc, "y", e.y) || !readString(doc, "button", e.button) ||
      !readClickCount(doc, e.clickCount) || !readDouble(doc, "deltaX", e.deltaX) ||
      !readDouble(doc, "deltaY", e.deltaY) || !readString(doc, "key", e.key) || !readString(doc, "code", e.code))
    return std::nullopt;
  auto it = doc.find("modifiers");
  if (it != doc.end() && !it->is_null()) {
    if (!it->is_object()) return std::nullopt;
    Modifiers m;
    if (!readBool(*it, "cmd", m.cmd) || !readBool(*it, "ctrl", m.ctrl) || !readBool(*it, "alt", m.alt) ||
        !readBool(*it, "shift", m.shift))
      return std::nullopt;
    e.modifiers = m;
  }
  return e;
}

void checkLine(std::string_view line) {
  if (text::isValidUtf8(line)) {
    const std::string_view trimmed = text::trimWhitespace(line);
    if (relaypost::decodeInputEvent(trimmed) != referenceDecode(trimmed)) std::abort();
  }
  relaypost::handleLine(line);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Events go nowhere: the empty world, no journal.
  ::unsetenv("SIM_WORLD");
  ::unsetenv("SIM_JOURNAL");
  relaypost::startUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  relaypost::leftButtonDown = false;
  relaypost::rightButtonDown = false;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (;;) {
    const std::size_t newline = rest.find('\n');
    checkLine(rest.substr(0, newline));
    if (newline == std::string_view::npos) break;
    rest.remove_prefix(newline + 1);
  }
  return 0;
}
