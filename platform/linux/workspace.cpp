// Running applications on an X desktop: the processes that own the window manager's client windows
// (EWMH _NET_CLIENT_LIST and _NET_WM_PID), then those registered on the accessibility bus without a
// window. Names and identifiers come from the matching desktop entry when there is one.
#include "platform/workspace.h"

#include <atspi/atspi.h>
#include <gio/gdesktopappinfo.h>
#include <unistd.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "common/unicode.h"
#include "platform/linux/desktop_entries.h"
#include "platform/linux/x_connection.h"

namespace platform {
namespace desktop {
namespace {

std::string asciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return !a.empty() && a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

std::string baseName(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<DesktopEntry> readEntries() {
  std::vector<DesktopEntry> result;
  GList* all = g_app_info_get_all();
  for (GList* item = all; item; item = item->next) {
    GAppInfo* info = G_APP_INFO(item->data);
    DesktopEntry entry;
    if (const char* id = g_app_info_get_id(info)) entry.id = id;
    if (const char* name = g_app_info_get_name(info)) entry.name = name;
    if (const char* exe = g_app_info_get_executable(info)) entry.executable = baseName(exe);
    if (G_IS_DESKTOP_APP_INFO(info)) {
      if (const char* wmClass = g_desktop_app_info_get_startup_wm_class(G_DESKTOP_APP_INFO(info)))
        entry.startupWMClass = wmClass;
    }
    if (!entry.id.empty()) result.push_back(std::move(entry));
  }
  g_list_free_full(all, g_object_unref);
  return result;
}

}  // namespace

const std::vector<DesktopEntry>& entries() {
  static const std::vector<DesktopEntry> all = readEntries();
  return all;
}

std::string bundleIdentifier(const DesktopEntry& entry) {
  std::string_view id = entry.id;
  constexpr std::string_view suffix = ".desktop";
  if (id.size() > suffix.size() && id.substr(id.size() - suffix.size()) == suffix) id.remove_suffix(suffix.size());
  return std::string(id);
}

// Strongest evidence first: the class the entry declares, the application id GTK sets, the entry id
// against WM_CLASS, and last the program the entry runs.
const DesktopEntry* entryForIdentity(const WindowIdentity& identity) {
  const std::vector<DesktopEntry>& all = entries();
  auto find = [&](auto matches) -> const DesktopEntry* {
    auto it = std::find_if(all.begin(), all.end(), matches);
    return it == all.end() ? nullptr : &*it;
  };
  if (auto* e = find([&](const DesktopEntry& e) {
        return sameIgnoringAsciiCase(e.startupWMClass, identity.windowClass) ||
               sameIgnoringAsciiCase(e.startupWMClass, identity.instance);
      }))
    return e;
  if (!identity.applicationId.empty()) {
    if (auto* e = find([&](const DesktopEntry& e) { return bundleIdentifier(e) == identity.applicationId; })) return e;
  }
  if (auto* e = find([&](const DesktopEntry& e) {
        std::string stem = bundleIdentifier(e);
        return sameIgnoringAsciiCase(stem, identity.windowClass) || sameIgnoringAsciiCase(stem, identity.instance);
      }))
    return e;
  return find([&](const DesktopEntry& e) {
    return e.startupWMClass.empty() && (sameIgnoringAsciiCase(e.executable, identity.instance) ||
                                        sameIgnoringAsciiCase(e.executable, identity.processName));
  });
}

const DesktopEntry* entryForLaunchName(std::string_view name) {
  if (name.empty()) return nullptr;
  const std::vector<DesktopEntry>& all = entries();
  const std::string lowered = text::toLowerFull(name);
  for (const DesktopEntry& e : all)
    if (text::toLowerFull(e.name) == lowered) return &e;
  for (const DesktopEntry& e : all)
    if (e.id == name || bundleIdentifier(e) == name) return &e;
  for (const DesktopEntry& e : all)
    if (e.executable == name) return &e;
  return nullptr;
}

std::string processName(int pid) {
  if (pid <= 0) return {};
  std::string proc = "/proc/" + std::to_string(pid);
  char target[PATH_MAX];
  ssize_t n = readlink((proc + "/exe").c_str(), target, sizeof target - 1);
  if (n > 0) {
    std::string path(target, static_cast<std::size_t>(n));
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
    return baseName(path);
  }
  std::ifstream comm(proc + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace desktop

namespace {

// Bounds every call on the accessibility bus: a hung application must not stall the listing.
constexpr int kAccessibilityTimeoutMs = 250;

struct ClientWindow {
  xcb_window_t window = XCB_WINDOW_NONE;
  std::int32_t pid = 0;
};

std::vector<xcb_window_t> clientList(bool stacking) {
  std::vector<xcb_window_t> windows;
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  if (!ewmh) return windows;
  xcb_ewmh_get_windows_reply_t list{};
  bool ok = stacking ? xcb_ewmh_get_client_list_stacking_reply(ewmh, xcb_ewmh_get_client_list_stacking(ewmh, 0), &list,
                                                               nullptr)
                     : xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, 0), &list, nullptr);
  if (!ok) return windows;
  windows.assign(list.windows, list.windows + list.windows_len);
  xcb_ewmh_get_windows_reply_wipe(&list);
  return windows;
}

std::int32_t windowPid(xcb_window_t window) {
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  uint32_t pid = 0;
  if (!ewmh || !xcb_ewmh_get_wm_pid_reply(ewmh, xcb_ewmh_get_wm_pid(ewmh, window), &pid, nullptr)) return 0;
  return pid > static_cast<uint32_t>(INT32_MAX) ? 0 : static_cast<std::int32_t>(pid);
}

std::vector<ClientWindow> clientWindows(bool stacking) {
  std::vector<ClientWindow> result;
  for (xcb_window_t w : clientList(stacking)) result.push_back({w, windowPid(w)});
  return result;
}

std::string stringProperty(xcb_window_t window, xcb_atom_t property) {
  xcb_connection_t* conn = x11::connection();
  if (property == XCB_ATOM_NONE) return {};
  auto r = x11::reply(xcb_get_property_reply(
      conn, xcb_get_property(conn, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
  if (!r || r->format != 8) return {};
  return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(r.get())));
}

desktop::WindowIdentity windowIdentity(xcb_window_t window, std::int32_t pid) {
  desktop::WindowIdentity identity;
  xcb_connection_t* conn = x11::connection();
  xcb_icccm_get_wm_class_reply_t wmClass{};
  if (xcb_icccm_get_wm_class_reply(conn, xcb_icccm_get_wm_class(conn, window), &wmClass, nullptr)) {
    if (wmClass.instance_name) identity.instance = wmClass.instance_name;
    if (wmClass.class_name) identity.windowClass = wmClass.class_name;
    xcb_icccm_get_wm_class_reply_wipe(&wmClass);
  }
  identity.applicationId = stringProperty(window, x11::atom("_GTK_APPLICATION_ID"));
  identity.processName = desktop::processName(pid);
  return identity;
}

struct AccessibleApp {
  std::int32_t pid = 0;
  std::string name;
};

// The applications registered with the accessibility registry, in its order.
void dropLibraryWarning(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

std::vector<AccessibleApp> accessibleApps() {
  std::vector<AccessibleApp> result;
  // libatspi warns on standard error about applications that vanish mid-call; deskhand's standard
  // error is reserved for its own messages.
  static const guint quiet = g_log_set_handler("dbind", G_LOG_LEVEL_WARNING, dropLibraryWarning, nullptr);
  (void)quiet;
  if (atspi_init() > 1) return result;  // 0: initialised now, 1: already, anything else: no bus
  atspi_set_timeout(kAccessibilityTimeoutMs, kAccessibilityTimeoutMs);
  AtspiAccessible* desktopObject = atspi_get_desktop(0);
  if (!desktopObject) return result;
  GError* error = nullptr;
  gint count = atspi_accessible_get_child_count(desktopObject, &error);
  g_clear_error(&error);
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktopObject, i, &error);
    g_clear_error(&error);
    if (!app) continue;
    AccessibleApp entry;
    guint pid = atspi_accessible_get_process_id(app, &error);
    g_clear_error(&error);
    entry.pid = pid > static_cast<guint>(INT32_MAX) ? 0 : static_cast<std::int32_t>(pid);
    if (gchar* name = atspi_accessible_get_name(app, &error)) {
      entry.name = name;
      g_free(name);
    }
    g_clear_error(&error);
    g_object_unref(app);
    if (entry.pid > 0) result.push_back(std::move(entry));
  }
  g_object_unref(desktopObject);
  return result;
}

}  // namespace

std::vector<RunningApplication> workspaceRunningApplications() {
  std::vector<RunningApplication> result;
  std::set<std::int32_t> seen;
  std::vector<AccessibleApp> accessible = accessibleApps();
  std::map<std::int32_t, std::string> accessibleNames;
  for (const AccessibleApp& app : accessible) accessibleNames.emplace(app.pid, app.name);

  for (const ClientWindow& client : clientWindows(false)) {
    if (client.pid <= 0 || !seen.insert(client.pid).second) continue;
    desktop::WindowIdentity identity = windowIdentity(client.window, client.pid);
    RunningApplication app;
    app.processIdentifier = client.pid;
    if (const desktop::DesktopEntry* entry = desktop::entryForIdentity(identity)) {
      if (!entry->name.empty()) app.localizedName = entry->name;
      app.bundleIdentifier = desktop::bundleIdentifier(*entry);
    }
    if (!app.localizedName && !identity.windowClass.empty()) app.localizedName = identity.windowClass;
    if (!app.localizedName) {
      auto named = accessibleNames.find(client.pid);
      if (named != accessibleNames.end() && !named->second.empty()) app.localizedName = named->second;
    }
    if (!app.bundleIdentifier && !identity.processName.empty()) app.bundleIdentifier = identity.processName;
    result.push_back(std::move(app));
  }

  // Windowless processes the accessibility registry knows (panels, shells, tray applets).
  for (const AccessibleApp& accessibleApp : accessible) {
    if (!seen.insert(accessibleApp.pid).second) continue;
    desktop::WindowIdentity identity;
    identity.processName = desktop::processName(accessibleApp.pid);
    RunningApplication app;
    app.processIdentifier = accessibleApp.pid;
    const desktop::DesktopEntry* entry = identity.processName.empty() ? nullptr : desktop::entryForIdentity(identity);
    if (entry) {
      if (!entry->name.empty()) app.localizedName = entry->name;
      app.bundleIdentifier = desktop::bundleIdentifier(*entry);
    }
    if (!app.localizedName && !accessibleApp.name.empty()) app.localizedName = accessibleApp.name;
    if (!app.bundleIdentifier && !identity.processName.empty()) app.bundleIdentifier = identity.processName;
    result.push_back(std::move(app));
  }
  return result;
}

std::int32_t workspaceFrontmostApplicationPid() {
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  if (!ewmh) return 0;
  xcb_window_t active = XCB_WINDOW_NONE;
  if (!xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, 0), &active, nullptr)) return 0;
  if (active == XCB_WINDOW_NONE) return 0;
  return windowPid(active);
}

namespace {

bool windowHidden(xcb_window_t window) {
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  xcb_ewmh_get_atoms_reply_t state{};
  if (!xcb_ewmh_get_wm_state_reply(ewmh, xcb_ewmh_get_wm_state(ewmh, window), &state, nullptr)) return false;
  bool hidden = std::find(state.atoms, state.atoms + state.atoms_len, ewmh->_NET_WM_STATE_HIDDEN) !=
                state.atoms + state.atoms_len;
  xcb_ewmh_get_atoms_reply_wipe(&state);
  return hidden;
}

}  // namespace

// Asks the window manager to activate the process's windows bottom to top, so that its topmost window
// ends up in front and focused. Minimised windows stay minimised, unless every window is: then the
// topmost is restored, since the caller goes on to send keys to the frontmost application.
bool runningApplicationActivate(std::int32_t pid, std::uint32_t options) {
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  if (!ewmh || pid <= 0) return false;
  std::vector<xcb_window_t> visible, hidden;
  for (const ClientWindow& client : clientWindows(true)) {
    if (client.pid != pid) continue;
    (windowHidden(client.window) ? hidden : visible).push_back(client.window);
  }
  std::vector<xcb_window_t> targets = visible;
  if (targets.empty() && !hidden.empty()) targets.push_back(hidden.back());
  if (targets.empty()) return false;
  if (!(options & kApplicationActivateAllWindows)) targets.erase(targets.begin(), targets.end() - 1);
  xcb_window_t current = XCB_WINDOW_NONE;
  xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, 0), &current, nullptr);
  for (xcb_window_t window : targets) {
    xcb_ewmh_request_change_active_window(ewmh, 0, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          current);
    current = window;
  }
  xcb_flush(x11::connection());
  return true;
}

// Panels, docks and shells of the common Linux desktops, as desktop entry ids or process names.
std::vector<std::string> systemUIBundleIdentifiers() {
  return {"gnome-shell", "org.gnome.Shell", "xfce4-panel", "org.xfce.panel", "plasmashell", "org.kde.plasmashell",
          "lxpanel",     "lxqt-panel",      "mate-panel",  "budgie-panel",   "cinnamon",    "tint2",
          "polybar",     "waybar",          "xfdesktop"};
}

std::string newWindowKeySpec() { return "ctrl+n"; }

}  // namespace platform
