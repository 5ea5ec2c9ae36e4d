// Element-level reads: one generic attribute read with typed views of it, an element's frame, whether
// it offers a user action, and its short state text. All are pure reads of the target application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.h"
#include "platform/geometry.h"

namespace deskhand {

// The attribute's value when the service reports success (possibly absent there); nothing on any error.
std::optional<platform::AXValue> axGet(const platform::AXUIElement& element, std::string_view attribute);

// Typed reads: a failed read, an absent value or a value of another type gives the empty string or no
// value. A number is never read as a string.
std::string axGetString(const platform::AXUIElement& element, std::string_view attribute);
std::optional<bool> axGetBool(const platform::AXUIElement& element, std::string_view attribute);
std::optional<std::int64_t> axGetInt(const platform::AXUIElement& element, std::string_view attribute);
std::optional<platform::AXUIElement> axGetElement(const platform::AXUIElement& element, std::string_view attribute);
// Only a list whose every item is an element counts; an empty list is a list.
std::optional<std::vector<platform::AXUIElement>> axGetElements(const platform::AXUIElement& element,
                                                                std::string_view attribute);

// "AXPosition" and "AXSize" as one frame, exactly as read (negative sizes are kept).
std::optional<platform::Rect> getPositionAndSize(const platform::AXUIElement& element);

// True when one of the element's action names is in actionableActions().
bool isActionable(const platform::AXUIElement& element);

// "selected"/"unselected", "focused" and value="..." parts, joined by ", ".
std::string getElementState(const platform::AXUIElement& element, const std::string& role);

}  // namespace deskhand
