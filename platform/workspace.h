// Application management: running applications, the frontmost one, activation, and the launcher.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct RunningApplication {
  std::int32_t processIdentifier = 0;
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
};

// In the platform's order.
std::vector<RunningApplication> workspaceRunningApplications();

// 0 when there is no frontmost application.
std::int32_t workspaceFrontmostApplicationPid();

inline constexpr std::uint32_t kApplicationActivateAllWindows = 1;
bool runningApplicationActivate(std::int32_t pid, std::uint32_t options);

// Starts the executable with the arguments, sharing this process's standard streams, and waits for it.
// Gives its exit status, or nothing when it could not be started. The Linux backend maps
// "/usr/bin/open" "-a" NAME onto its own desktop-entry launcher.
std::optional<int> taskLaunchAndWait(const std::string& executable, const std::vector<std::string>& arguments);

// The bundle identifiers of the platform's system UI processes (menu-bar servers, panels, shells),
// whose elements an observation of the frontmost application includes.
std::vector<std::string> systemUIBundleIdentifiers();

// The key spec that opens a new window in the frontmost application ("cmd+n"; "ctrl+n" on Linux).
std::string newWindowKeySpec();

}  // namespace platform
