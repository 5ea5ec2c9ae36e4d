#include "deskhand/observe/tree_walk.h"

#include "common/unicode.h"
#include "deskhand/observe/attributes.h"
#include "deskhand/observe/roles.h"

namespace deskhand {

namespace {

// A string value is cut before its characters are counted, so a long document is never counted whole.
constexpr std::size_t kValueLabelPrefix = 80;
constexpr std::size_t kLabelLimit = 60;
// Containers and groups covering more than this share of the screen are layout, not controls.
constexpr double kContainerAreaShare = 0.25;

bool prunedWhenOffScreen(const std::string& role) {
  return role == "AXWindow" || role == "AXScrollArea" || role == "AXGroup";
}

std::string readLabel(const platform::AXUIElement& element) {
  std::string label = axGetString(element, "AXTitle");
  if (label.empty()) label = axGetString(element, "AXDescription");
  if (label.empty()) {
    // Only a string value counts; a slider's number stays unlabelled.
    label = text::graphemePrefix(axGetString(element, "AXValue"), kValueLabelPrefix);
  }
  return text::truncateWithEllipsis(label, kLabelLimit);
}

// Steps that decide whether this one element is collected; the children are walked by the caller
// unless this answers false (the subtree is skipped).
bool visitElement(const platform::AXUIElement& element, std::vector<RawElement>& into, platform::Rect cgBounds) {
  // Reads are ordered to reject early: each one is a round trip into the target application.
  if (axGetBool(element, "AXHidden").value_or(false)) return false;

  auto frame = getPositionAndSize(element);
  if (!frame || !(platform::rectGetWidth(*frame) > 0) || !(platform::rectGetHeight(*frame) > 0)) return true;

  if (!platform::rectIntersectsRect(*frame, cgBounds)) {
    // An off-screen window (another display) or scrolled-away pane holds nothing visible.
    return !prunedWhenOffScreen(axGetString(element, "AXRole"));
  }

  std::string role = axGetString(element, "AXRole");
  if (!clickableRoles().contains(role) && !isActionable(element)) return true;

  double area = platform::rectGetWidth(*frame) * platform::rectGetHeight(*frame);
  double screenArea = platform::rectGetWidth(cgBounds) * platform::rectGetHeight(cgBounds);
  if ((containerRoles().contains(role) || role == "AXGroup") && area > kContainerAreaShare * screenArea) return true;

  if (axGetBool(element, "AXEnabled") == std::optional<bool>(false)) return true;

  std::string label = readLabel(element);
  into.push_back(RawElement{element, std::move(role), std::move(label), *frame});
  return true;
}

}  // namespace

void walkAXTree(const platform::AXUIElement& element, std::vector<RawElement>& into, int depth, int maxDepth,
                platform::Rect cgBounds) {
  if (depth > maxDepth) return;
  if (!visitElement(element, into, cgBounds)) return;
  // The child list is this level's temporary: it is released when this level returns, so the
  // references of a large tree do not pile up until the whole walk ends.
  auto children = axGetElements(element, "AXChildren");
  if (!children) return;
  for (const auto& child : *children) walkAXTree(child, into, depth + 1, maxDepth, cgBounds);
}

}  // namespace deskhand
