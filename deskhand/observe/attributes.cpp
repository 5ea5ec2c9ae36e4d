#include "deskhand/observe/attributes.h"

#include "common/unicode.h"
#include "deskhand/observe/roles.h"

namespace deskhand {

namespace {

// Longest text value reported in a state before it is cut.
constexpr std::size_t kStateValueLimit = 40;

template <typename T>
const T* valueAs(const std::optional<platform::AXValue>& value) {
  return value ? std::get_if<T>(&value->data) : nullptr;
}

}  // namespace

std::optional<platform::AXValue> axGet(const platform::AXUIElement& element, std::string_view attribute) {
  std::optional<platform::AXValue> value;
  if (platform::axUIElementCopyAttributeValue(element, attribute, value) != platform::kAXErrorSuccess) {
    return std::nullopt;
  }
  return value;
}

std::string axGetString(const platform::AXUIElement& element, std::string_view attribute) {
  auto value = axGet(element, attribute);
  const auto* text = valueAs<std::string>(value);
  return text ? *text : std::string();
}

std::optional<bool> axGetBool(const platform::AXUIElement& element, std::string_view attribute) {
  auto value = axGet(element, attribute);
  const auto* flag = valueAs<bool>(value);
  if (!flag) return std::nullopt;
  return *flag;
}

std::optional<std::int64_t> axGetInt(const platform::AXUIElement& element, std::string_view attribute) {
  auto value = axGet(element, attribute);
  const auto* number = valueAs<std::int64_t>(value);
  if (!number) return std::nullopt;
  return *number;
}

std::optional<platform::AXUIElement> axGetElement(const platform::AXUIElement& element, std::string_view attribute) {
  auto value = axGet(element, attribute);
  const auto* child = valueAs<platform::AXUIElement>(value);
  if (!child || !*child) return std::nullopt;
  return *child;
}

std::optional<std::vector<platform::AXUIElement>> axGetElements(const platform::AXUIElement& element,
                                                                std::string_view attribute) {
  auto value = axGet(element, attribute);
  const auto* list = valueAs<platform::AXValueList>(value);
  if (!list) return std::nullopt;
  std::vector<platform::AXUIElement> elements;
  elements.reserve(list->size());
  for (const auto& item : *list) {
    const auto* child = std::get_if<platform::AXUIElement>(&item.data);
    if (!child || !*child) return std::nullopt;
    elements.push_back(*child);
  }
  return elements;
}

std::optional<platform::Rect> getPositionAndSize(const platform::AXUIElement& element) {
  // The size is not asked for when the position cannot be read: every read is a round trip.
  auto position = axGet(element, "AXPosition");
  if (!position) return std::nullopt;
  auto size = axGet(element, "AXSize");
  if (!size) return std::nullopt;
  const auto* positionWrapper = valueAs<platform::AXValueWrapper>(position);
  const auto* sizeWrapper = valueAs<platform::AXValueWrapper>(size);
  if (!positionWrapper || !sizeWrapper) return std::nullopt;
  platform::Point origin;
  platform::Size extent;
  if (!platform::axValueGetPoint(*positionWrapper, origin)) return std::nullopt;
  if (!platform::axValueGetSize(*sizeWrapper, extent)) return std::nullopt;
  return platform::Rect{origin, extent};
}

bool isActionable(const platform::AXUIElement& element) {
  std::optional<platform::AXValue> names;
  if (platform::axUIElementCopyActionNames(element, names) != platform::kAXErrorSuccess) return false;
  const auto* list = valueAs<platform::AXValueList>(names);
  if (!list) return false;
  // A list with anything but strings in it is not a list of action names at all.
  for (const auto& item : *list) {
    if (!std::holds_alternative<std::string>(item.data)) return false;
  }
  const auto& actions = actionableActions();
  for (const auto& item : *list) {
    if (actions.contains(std::get<std::string>(item.data))) return true;
  }
  return false;
}

std::string getElementState(const platform::AXUIElement& element, const std::string& role) {
  std::string state;
  auto addPart = [&state](const std::string& part) {
    if (!state.empty()) state += ", ";
    state += part;
  };
  if (role == "AXCheckBox" || role == "AXRadioButton") {
    if (auto selected = axGetInt(element, "AXValue")) addPart(*selected == 1 ? "selected" : "unselected");
  }
  if (axGetBool(element, "AXFocused").value_or(false)) addPart("focused");
  if (role == "AXTextField" || role == "AXTextArea" || role == "AXComboBox") {
    std::string value = axGetString(element, "AXValue");
    if (!value.empty()) addPart("value=\"" + text::truncateWithEllipsis(value, kStateValueLimit) + "\"");
  }
  return state;
}

}  // namespace deskhand
