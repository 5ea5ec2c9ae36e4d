// Depth-first walk of one accessibility subtree, collecting the visible elements a user could act on.
#pragma once

#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/geometry.h"

namespace deskhand {

// One collected element; it holds its own reference to the accessibility element.
struct RawElement {
  platform::AXUIElement axElement;
  std::string role;   // empty when "AXRole" cannot be read as a string
  std::string title;  // the label, at most 61 characters
  platform::Rect frame;
};

inline constexpr int kDefaultWalkDepth = 20;

// Appends, in visiting order (an element before its descendants), every collected element of the subtree
// rooted at `element`, which sits at level `depth`; levels beyond `maxDepth` are not visited.
void walkAXTree(const platform::AXUIElement& element, std::vector<RawElement>& into, int depth = 0,
                int maxDepth = kDefaultWalkDepth, platform::Rect cgBounds = {});

}  // namespace deskhand
