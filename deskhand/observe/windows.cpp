#include "deskhand/observe/windows.h"

#include <algorithm>
#include <string>

#include "deskhand/input/keyboard.h"
#include "deskhand/observe/attributes.h"
#include "platform/accessibility.h"
#include "platform/clock.h"
#include "platform/workspace.h"

namespace deskhand {

namespace {

// Time the application gets to open the window asked for.
constexpr std::uint32_t kNewWindowWaitUs = 500000;

}  // namespace

std::int32_t getFrontmostAppPID() { return platform::workspaceFrontmostApplicationPid(); }

std::vector<std::int32_t> getSystemUIPids() {
  const std::vector<std::string> identifiers = platform::systemUIBundleIdentifiers();
  std::vector<std::int32_t> pids;
  for (const auto& app : platform::workspaceRunningApplications()) {
    // An application without an identifier counts as the empty one, which never matches.
    const std::string identifier = app.bundleIdentifier.value_or("");
    if (identifier.empty()) continue;
    if (std::find(identifiers.begin(), identifiers.end(), identifier) != identifiers.end()) {
      pids.push_back(app.processIdentifier);
    }
  }
  return pids;
}

void raiseWindows(std::int32_t pid) {
  platform::AXUIElement app = platform::axUIElementCreateApplication(pid);
  auto windows = axGetElements(app, "AXWindows");
  if (!windows) return;
  for (const auto& window : *windows) {
    // Minimised windows stay where the user put them; an unreadable state still gets the raise.
    if (axGetBool(window, "AXMinimized").value_or(false)) continue;
    platform::axUIElementPerformAction(window, "AXRaise");
  }
}

void ensureWindowExists(std::int32_t pid) {
  platform::AXUIElement app = platform::axUIElementCreateApplication(pid);
  if (auto windows = axGetElements(app, "AXWindows")) {
    for (const auto& window : *windows) {
      if (!axGetBool(window, "AXMinimized").value_or(false)) return;
    }
  }
  // The key goes to the frontmost application, which the caller has just made the target.
  pressKey(platform::newWindowKeySpec());
  platform::sleepMicroseconds(kNewWindowWaitUs);
}

}  // namespace deskhand
