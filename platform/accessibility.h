// Accessibility service: application elements, typed attribute reads, boolean writes, actions, value
// wrappers and the trust check. Elements are reference-counted handles owned by the service: copying a
// handle retains the element, dropping the last copy releases it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/geometry.h"

namespace platform {

using AXError = std::int32_t;
inline constexpr AXError kAXErrorSuccess = 0;
inline constexpr AXError kAXErrorFailure = -25200;
inline constexpr AXError kAXErrorIllegalArgument = -25201;
inline constexpr AXError kAXErrorInvalidUIElement = -25202;
inline constexpr AXError kAXErrorCannotComplete = -25204;
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
inline constexpr AXError kAXErrorActionUnsupported = -25206;
inline constexpr AXError kAXErrorAPIDisabled = -25211;
inline constexpr AXError kAXErrorNoValue = -25212;

struct AXElementData;
using AXUIElement = std::shared_ptr<const AXElementData>;

enum class AXValueType : std::uint32_t { illegal = 0, cgPoint = 1, cgSize = 2, cgRect = 3, cfRange = 4 };

// A value wrapper: a point (x, y), a size (width, height) or a rectangle, by type.
struct AXValueWrapper {
  AXValueType type = AXValueType::illegal;
  double values[4] = {0, 0, 0, 0};
};

struct AXValue;
using AXValueList = std::vector<AXValue>;

// A dynamically typed attribute value.
struct AXValue {
  std::variant<std::string, bool, std::int64_t, double, AXUIElement, AXValueWrapper, AXValueList> data;
};

// Never fails; reads on it fail when no such process exists.
AXUIElement axUIElementCreateApplication(std::int32_t pid);

// On kAXErrorSuccess the value may still be absent (value stays empty); any other code means no value.
AXError axUIElementCopyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                      std::optional<AXValue>& value);
AXError axUIElementSetAttributeValue(const AXUIElement& element, std::string_view attribute, bool value);
AXError axUIElementPerformAction(const AXUIElement& element, std::string_view action);
// The names arrive as a value: normally a list of strings, but callers must test its shape.
AXError axUIElementCopyActionNames(const AXUIElement& element, std::optional<AXValue>& names);

inline bool axValueGetPoint(const AXValueWrapper& wrapper, Point& out) {
  if (wrapper.type != AXValueType::cgPoint) return false;
  out = {wrapper.values[0], wrapper.values[1]};
  return true;
}
inline bool axValueGetSize(const AXValueWrapper& wrapper, Size& out) {
  if (wrapper.type != AXValueType::cgSize) return false;
  out = {wrapper.values[0], wrapper.values[1]};
  return true;
}

// Whether this process may read other applications and post input; prompt asks the user when not.
bool axIsProcessTrustedWithOptions(bool prompt);

}  // namespace platform
