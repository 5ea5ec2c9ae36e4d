// Simulated accessibility: elements are nodes of the world file; reads convert the JSON shapes into
// values, writes and actions only reach the journal.
#include "platform/accessibility.h"

#include <string>

#include "platform/sim/world.h"

namespace platform {
namespace {

using nlohmann::json;

AXUIElement makeElement(const json* node, std::int32_t pid, std::string path, AXError readError = kAXErrorSuccess) {
  auto data = std::make_shared<AXElementData>();
  data->node = node;
  data->pid = pid;
  data->readError = readError;
  data->path = std::move(path);
  data->journalId = node && node->contains("id") ? (*node)["id"].get<std::string>() : data->path;
  return data;
}

AXValueWrapper wrapper(AXValueType type, const json& numbers) {
  AXValueWrapper w;
  w.type = type;
  for (std::size_t i = 0; i < numbers.size() && i < 4; ++i) w.values[i] = numbers[i].get<double>();
  return w;
}

// A value of a shape the loader accepted; `at` is the path an element found here gets.
AXValue valueOf(const json& v, std::int32_t pid, const std::string& at) {
  if (v.is_string()) return {v.get<std::string>()};
  if (v.is_boolean()) return {v.get<bool>()};
  if (v.is_number_integer()) return {v.get<std::int64_t>()};
  if (v.is_number_float()) return {v.get<double>()};
  if (v.is_array()) {
    AXValueList list;
    for (std::size_t i = 0; i < v.size(); ++i) list.push_back(valueOf(v[i], pid, at + "/" + std::to_string(i)));
    return {std::move(list)};
  }
  if (v.contains("attrs")) return {makeElement(&v, pid, at)};
  if (v.contains("point")) return {wrapper(AXValueType::cgPoint, v["point"])};
  if (v.contains("size")) return {wrapper(AXValueType::cgSize, v["size"])};
  if (v.contains("rect")) return {wrapper(AXValueType::cgRect, v["rect"])};
  return {wrapper(AXValueType::cfRange, v["range"])};
}

// Reads a stored value: {"absent": true} succeeds without a value, {"error": code} fails with it.
AXError readValue(const json& v, std::int32_t pid, const std::string& at, std::optional<AXValue>& out) {
  if (v.is_object() && !v.contains("attrs") && !v.contains("point") && !v.contains("size") && !v.contains("rect") &&
      !v.contains("range")) {
    if (v.contains("error")) return v["error"].get<AXError>();
    return kAXErrorSuccess;  // {"absent": true}
  }
  out = valueOf(v, pid, at);
  return kAXErrorSuccess;
}

}  // namespace

AXUIElement axUIElementCreateApplication(std::int32_t pid) {
  std::string path = std::to_string(pid);
  for (const sim::App& app : sim::runningApps()) {
    if (app.pid != pid) continue;
    if (app.element) return makeElement(app.element, pid, path);
    return makeElement(nullptr, pid, path, kAXErrorCannotComplete);
  }
  return makeElement(nullptr, pid, path, kAXErrorInvalidUIElement);
}

AXError axUIElementCopyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                      std::optional<AXValue>& value) {
  value.reset();
  sim::world();
  if (!element) return kAXErrorIllegalArgument;
  if (!element->node) return element->readError;
  auto attrs = element->node->find("attrs");
  if (attrs == element->node->end()) return kAXErrorAttributeUnsupported;
  auto found = attrs->find(attribute);
  if (found == attrs->end()) return kAXErrorAttributeUnsupported;
  // Children sit directly under their parent's path; elements behind any other attribute under its name.
  std::string at =
      attribute == "AXChildren" && found->is_array() ? element->path : element->path + "/" + std::string(attribute);
  return readValue(*found, element->pid, at, value);
}

AXError axUIElementSetAttributeValue(const AXUIElement& element, std::string_view attribute, bool value) {
  if (!element) return kAXErrorIllegalArgument;
  auto line = sim::journalLine("axSet");
  line["element"] = element->journalId;
  line["attr"] = attribute;
  line["value"] = value;
  sim::writeJournal(line);
  return element->node ? kAXErrorSuccess : element->readError;
}

AXError axUIElementPerformAction(const AXUIElement& element, std::string_view action) {
  if (!element) return kAXErrorIllegalArgument;
  auto line = sim::journalLine("axPerform");
  line["element"] = element->journalId;
  line["action"] = action;
  sim::writeJournal(line);
  return element->node ? kAXErrorSuccess : element->readError;
}

AXError axUIElementCopyActionNames(const AXUIElement& element, std::optional<AXValue>& names) {
  names.reset();
  sim::world();
  if (!element) return kAXErrorIllegalArgument;
  if (!element->node) return element->readError;
  auto actions = element->node->find("actions");
  if (actions == element->node->end()) return kAXErrorFailure;
  return readValue(*actions, element->pid, element->path + "/actions", names);
}

bool axIsProcessTrustedWithOptions(bool) { return sim::world().trusted; }

}  // namespace platform
