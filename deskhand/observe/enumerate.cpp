#include "deskhand/observe/enumerate.h"

#include <cmath>

#include "deskhand/observe/attributes.h"
#include "deskhand/observe/sort.h"
#include "deskhand/observe/windows.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace deskhand {

namespace {

// Time the target needs to build its full tree after being asked to.
constexpr std::uint32_t kTreeSwitchOnWaitUs = 150000;
constexpr int kAppWalkDepth = 20;
constexpr int kSystemUIWalkDepth = 12;
constexpr double kOversizedShare = 0.5;
constexpr double kDuplicateDistance = 12;
constexpr double kWrapperDistance = 30;
constexpr double kRowTolerance = 15;

}  // namespace

double elementArea(const RawElement& element) {
  return platform::rectGetWidth(element.frame) * platform::rectGetHeight(element.frame);
}

void sortBySize(std::vector<RawElement>& elements) {
  observeSort(elements, [](const RawElement& a, const RawElement& b) { return elementArea(a) < elementArea(b); });
}

std::vector<RawElement> filterElements(std::vector<RawElement> sortedBySize, platform::Rect bounds) {
  const double screenArea = platform::rectGetWidth(bounds) * platform::rectGetHeight(bounds);
  std::vector<RawElement> kept;
  for (auto& element : sortedBySize) {
    if (elementArea(element) > kOversizedShare * screenArea) continue;
    const double cx = platform::rectGetMidX(element.frame);
    const double cy = platform::rectGetMidY(element.frame);
    bool duplicate = false;
    for (const auto& other : kept) {
      const double dx = cx - platform::rectGetMidX(other.frame);
      const double dy = cy - platform::rectGetMidY(other.frame);
      const double d = std::sqrt(dx * dx + dy * dy);
      // Of two near-coincident elements the smaller one (seen first) is the one to click; a wrapper
      // around a nearby smaller element gives way to it.
      if (d < kDuplicateDistance || (d < kWrapperDistance && platform::rectContainsRect(element.frame, other.frame))) {
        duplicate = true;
        break;
      }
    }
    if (!duplicate) kept.push_back(std::move(element));
  }
  return kept;
}

bool readingOrderBefore(const RawElement& a, const RawElement& b) {
  const double topA = platform::rectGetMinY(a.frame);
  const double topB = platform::rectGetMinY(b.frame);
  if (std::fabs(topA - topB) < kRowTolerance) return platform::rectGetMinX(a.frame) < platform::rectGetMinX(b.frame);
  return topA < topB;
}

void sortReadingOrder(std::vector<RawElement>& elements) { observeSort(elements, readingOrderBefore); }

std::vector<RawElement> enumerateElements(std::optional<std::int32_t> pid) {
  const std::int32_t target = pid ? *pid : getFrontmostAppPID();
  const platform::Rect bounds = platform::displayBounds(platform::mainDisplayID());

  platform::AXUIElement app = platform::axUIElementCreateApplication(target);
  // Browsers and Electron applications build their full tree only when asked; these stay on.
  platform::axUIElementSetAttributeValue(app, "AXEnhancedUserInterface", true);
  platform::axUIElementSetAttributeValue(app, "AXManualAccessibility", true);
  platform::sleepMicroseconds(kTreeSwitchOnWaitUs);

  std::vector<RawElement> collected;
  if (auto windows = axGetElements(app, "AXWindows")) {
    for (const auto& window : *windows) {
      if (axGetBool(window, "AXMinimized").value_or(false)) continue;
      walkAXTree(window, collected, 0, kAppWalkDepth, bounds);
    }
  } else {
    walkAXTree(app, collected, 0, kAppWalkDepth, bounds);
  }
  if (auto menuBar = axGetElement(app, "AXMenuBar")) walkAXTree(*menuBar, collected, 0, kAppWalkDepth, bounds);
  if (!pid) {
    for (std::int32_t systemPid : getSystemUIPids()) {
      walkAXTree(platform::axUIElementCreateApplication(systemPid), collected, 0, kSystemUIWalkDepth, bounds);
    }
  }

  sortBySize(collected);
  std::vector<RawElement> kept = filterElements(std::move(collected), bounds);
  sortReadingOrder(kept);
  return kept;
}

std::vector<ElementInfo> numberElements(const std::vector<RawElement>& elements) {
  std::vector<ElementInfo> infos;
  infos.reserve(elements.size());
  std::int64_t number = 0;
  for (const auto& element : elements) {
    infos.push_back(ElementInfo{++number, element.role, element.title, getElementState(element.axElement, element.role),
                                platform::rectGetMinX(element.frame), platform::rectGetMinY(element.frame),
                                platform::rectGetWidth(element.frame), platform::rectGetHeight(element.frame)});
  }
  return infos;
}

}  // namespace deskhand
