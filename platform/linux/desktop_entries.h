// Desktop entries (the installed applications' .desktop files) as the workspace service and the launcher
// match them. Private to the Linux backend.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::desktop {

struct DesktopEntry {
  std::string id;              // "org.gnome.Calculator.desktop"
  std::string name;            // localized Name
  std::string startupWMClass;  // may be empty
  std::string executable;      // basename of the Exec program, may be empty
};

// Every installed entry, read once per process.
const std::vector<DesktopEntry>& entries();

// The id without its ".desktop" suffix: what the workspace service reports as the bundle identifier.
std::string bundleIdentifier(const DesktopEntry& entry);

// What a window tells about its application.
struct WindowIdentity {
  std::string instance;       // WM_CLASS instance
  std::string windowClass;    // WM_CLASS class
  std::string applicationId;  // _GTK_APPLICATION_ID, may be empty
  std::string processName;    // the owning process's executable name, may be empty
};

// The entry an application with that identity was started from, if one matches.
const DesktopEntry* entryForIdentity(const WindowIdentity& identity);

// The entry the launcher starts for a name: its Name in any case, its id (with or without
// ".desktop"), or its executable.
const DesktopEntry* entryForLaunchName(std::string_view name);

// The executable name of a running process ("" when it cannot be read).
std::string processName(int pid);

}  // namespace platform::desktop
