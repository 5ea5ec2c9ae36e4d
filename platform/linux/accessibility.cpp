// Accessibility over AT-SPI2: elements are AtspiAccessible objects of the accessibility bus. Role, name,
// states and children come from libatspi's cache; extents are fetched once per element. GTK 4 reports
// extents relative to its own window, so each top-level window's X11 position corrects its elements.
// An application that lets one call time out is not asked again by this process: every later read on
// it fails at once, so one hung program cannot stall a whole observation.
#include "platform/accessibility.h"

#include <atspi/atspi.h>
#include <gio/gio.h>
#include <signal.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <set>

#include "platform/linux/atspi_roles.h"
#include "platform/linux/x_connection.h"

namespace platform {

struct AXElementData {
  AtspiAccessible* accessible = nullptr;  // null: every read fails with readError
  AXError readError = kAXErrorInvalidUIElement;
  std::int32_t pid = 0;
  bool application = false;
  // Added to the toolkit's extents to make them global (GTK 4 reports window-relative ones).
  double offsetX = 0;
  double offsetY = 0;
  xcb_window_t xWindow = XCB_NONE;  // top-level windows only: the X window that shows it
  // Toolkit extents, read on first use; position and size come from the same read.
  mutable bool extentsRead = false;
  mutable bool extentsValid = false;
  mutable AtspiRect extents{};
};

namespace {

using Clock = std::chrono::steady_clock;

// Low enough that observe finishes in a few seconds when an application hangs.
constexpr int kCallTimeoutMs = 1000;
// A failed call that took this long ran into the timeout: the application is not answering.
constexpr auto kHungAfter = std::chrono::milliseconds(kCallTimeoutMs * 9 / 10);
// At most this much of a text is read for a value; a document is never fetched whole.
constexpr int kTextValueChars = 400;
// Extents and X geometry can differ by rounding in scaled toolkits.
constexpr double kSizeSlack = 1.5;

std::set<std::int32_t>& hungPids() {
  static std::set<std::int32_t> pids;
  return pids;
}

// Applications whose toolkit never sets SHOWING below the window (GTK 4): there VISIBLE is the
// nearest thing to "on screen".
std::set<std::int32_t>& visibleMeansShownPids() {
  static std::set<std::int32_t> pids;
  return pids;
}

bool connected() {
  static const bool ok = [] {
    if (atspi_init() > 1) return false;  // 0: initialised now, 1: already, anything else: no bus
    atspi_set_timeout(kCallTimeoutMs, 0);
    return true;
  }();
  return ok;
}

AXUIElement wrap(AtspiAccessible* accessible, std::int32_t pid, AXError readError = kAXErrorSuccess) {
  auto* data = new AXElementData;
  data->accessible = accessible;  // takes over the caller's reference
  data->readError = accessible ? kAXErrorSuccess : readError;
  data->pid = pid;
  return AXUIElement(data, [](const AXElementData* d) {
    if (d->accessible) g_object_unref(d->accessible);
    delete d;
  });
}

struct GErrorHolder {
  GError* error = nullptr;
  GErrorHolder() = default;
  GErrorHolder(const GErrorHolder&) = delete;
  GErrorHolder& operator=(const GErrorHolder&) = delete;
  ~GErrorHolder() {
    if (error) g_error_free(error);
  }
};

// Times one call into the application; a call that ran into the timeout marks the application hung.
struct CallWatch {
  const AXElementData& element;
  Clock::time_point start = Clock::now();
  bool hungNow() const {
    if (Clock::now() - start < kHungAfter) return false;
    hungPids().insert(element.pid);
    return true;
  }
};

// Whether reads may go to the application at all.
AXError readable(const AXElementData* element) {
  if (!element) return kAXErrorIllegalArgument;
  if (!element->accessible) return element->readError;
  if (hungPids().count(element->pid)) return kAXErrorCannotComplete;
  return kAXErrorSuccess;
}

struct StateSetDeleter {
  void operator()(AtspiStateSet* set) const { g_object_unref(set); }
};
using StateSet = std::unique_ptr<AtspiStateSet, StateSetDeleter>;

// The states, or none when the application did not answer.
std::optional<StateSet> states(const AXElementData& element) {
  CallWatch watch{element};
  StateSet set(atspi_accessible_get_state_set(element.accessible));
  if (watch.hungNow() || !set) return std::nullopt;
  return set;
}

std::optional<bool> hasState(const AXElementData& element, AtspiStateType state) {
  auto set = states(element);
  if (!set) return std::nullopt;
  return atspi_state_set_contains(set->get(), state) != 0;
}

std::optional<AtspiRole> roleOf(const AXElementData& element, AtspiAccessible* accessible) {
  CallWatch watch{element};
  GErrorHolder err;
  AtspiRole role = atspi_accessible_get_role(accessible, &err.error);
  if (watch.hungNow() || err.error) return std::nullopt;
  return role;
}

std::optional<std::string> roleName(const AXElementData& element) {
  auto role = roleOf(element, element.accessible);
  if (!role) return std::nullopt;
  atspi::RoleFacts facts{*role};
  if (atspi::roleNeedsParent(*role)) {
    CallWatch watch{element};
    GErrorHolder err;
    if (AtspiAccessible* parent = atspi_accessible_get_parent(element.accessible, &err.error)) {
      facts.parentRole = roleOf(element, parent).value_or(ATSPI_ROLE_INVALID);
      g_object_unref(parent);
    } else if (watch.hungNow()) {
      return std::nullopt;
    }
  }
  if (*role == ATSPI_ROLE_COMBO_BOX || *role == ATSPI_ROLE_TEXT) {
    auto set = states(element);
    if (!set) return std::nullopt;
    facts.editable = atspi_state_set_contains(set->get(), ATSPI_STATE_EDITABLE);
    facts.multiLine = atspi_state_set_contains(set->get(), ATSPI_STATE_MULTI_LINE);
  }
  return atspi::roleName(facts);
}

using StringGetter = gchar* (*)(AtspiAccessible*, GError**);

std::optional<std::string> stringOf(const AXElementData& element, StringGetter getter) {
  CallWatch watch{element};
  GErrorHolder err;
  gchar* raw = getter(element.accessible, &err.error);
  watch.hungNow();
  if (!raw) return std::nullopt;
  std::string out(raw);
  g_free(raw);
  if (err.error) return std::nullopt;
  return out;
}

const AtspiRect* rawExtents(const AXElementData& element) {
  if (!element.extentsRead) {
    element.extentsRead = true;
    std::unique_ptr<AtspiComponent, decltype(&g_object_unref)> component(
        atspi_accessible_get_component_iface(element.accessible), &g_object_unref);
    if (component) {
      CallWatch watch{element};
      GErrorHolder err;
      AtspiRect* rect = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, &err.error);
      watch.hungNow();
      if (rect && !err.error) {
        element.extents = *rect;
        element.extentsValid = true;
      }
      if (rect) g_free(rect);
    }
  }
  return element.extentsValid ? &element.extents : nullptr;
}

// --- X11 side of a top-level window -------------------------------------------------------------

struct XWindowFacts {
  xcb_window_t window = XCB_NONE;
  std::uint32_t pid = 0;
  std::string title;
  double x = 0, y = 0, width = 0, height = 0;       // root position and size of the X window
  double left = 0, right = 0, top = 0, bottom = 0;  // client-side decoration (_GTK_FRAME_EXTENTS)
};

std::vector<XWindowFacts> clientWindowsOf(std::int32_t pid) {
  std::vector<XWindowFacts> out;
  xcb_connection_t* conn = x11::connection();
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  if (!conn || !ewmh) return out;
  xcb_ewmh_get_windows_reply_t clients;
  if (!xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, 0), &clients, nullptr)) return out;
  for (std::uint32_t i = 0; i < clients.windows_len; ++i) {
    XWindowFacts facts;
    facts.window = clients.windows[i];
    if (!xcb_ewmh_get_wm_pid_reply(ewmh, xcb_ewmh_get_wm_pid(ewmh, facts.window), &facts.pid, nullptr) ||
        facts.pid != static_cast<std::uint32_t>(pid))
      continue;
    auto geometry = x11::reply(xcb_get_geometry_reply(conn, xcb_get_geometry(conn, facts.window), nullptr));
    auto translated = x11::reply(xcb_translate_coordinates_reply(
        conn, xcb_translate_coordinates(conn, facts.window, x11::root(), 0, 0), nullptr));
    if (!geometry || !translated) continue;
    facts.x = translated->dst_x;
    facts.y = translated->dst_y;
    facts.width = geometry->width;
    facts.height = geometry->height;
    xcb_ewmh_get_utf8_strings_reply_t name;
    if (xcb_ewmh_get_wm_name_reply(ewmh, xcb_ewmh_get_wm_name(ewmh, facts.window), &name, nullptr)) {
      facts.title.assign(name.strings, name.strings_len);
      xcb_ewmh_get_utf8_strings_reply_wipe(&name);
    }
    xcb_atom_t frameAtom = x11::atom("_GTK_FRAME_EXTENTS");
    if (frameAtom != XCB_ATOM_NONE) {
      auto frame = x11::reply(xcb_get_property_reply(
          conn, xcb_get_property(conn, 0, facts.window, frameAtom, XCB_ATOM_CARDINAL, 0, 4), nullptr));
      if (frame && frame->format == 32 && xcb_get_property_value_length(frame.get()) == 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(frame.get()));
        facts.left = v[0];
        facts.right = v[1];
        facts.top = v[2];
        facts.bottom = v[3];
      }
    }
    out.push_back(std::move(facts));
  }
  xcb_ewmh_get_windows_reply_wipe(&clients);
  return out;
}

struct Inset {
  double left = 0;
  double top = 0;
};

// Widest client-side decoration (shadow and border) a toolkit draws around its content.
constexpr double kMaxDecoration = 128;

bool near(double a, double b) { return std::fabs(a - b) <= kSizeSlack; }

// Finds the X window that shows a top-level accessible and from it the shift that makes the
// toolkit's extents global: the window's content (inside the client-side shadow) is where the
// toolkit's frame really is.
void placeWindow(AXElementData& window, const std::vector<XWindowFacts>& candidates) {
  const AtspiRect* frame = rawExtents(window);
  std::string title = stringOf(window, atspi_accessible_get_name).value_or("");
  const XWindowFacts* best = nullptr;
  int bestScore = 0;
  Inset bestInset;
  for (const XWindowFacts& x : candidates) {
    int score = 1;
    Inset inset{x.left, x.top};
    if (frame) {
      if (near(frame->width, x.width - x.left - x.right) && near(frame->height, x.height - x.top - x.bottom)) {
        score += 4;
      } else if (near(frame->width, x.width) && near(frame->height, x.height)) {
        score += 4;
        inset = {0, 0};  // the toolkit counts the shadow as part of its frame
      } else if (frame->width <= x.width && frame->height <= x.height && x.width - frame->width <= kMaxDecoration &&
                 x.height - frame->height <= kMaxDecoration) {
        // A decoration the window does not announce: assume it is drawn evenly around the content.
        score += 2;
        inset = {(x.width - frame->width) / 2, (x.height - frame->height) / 2};
      }
    }
    if (!title.empty() && title == x.title) score += 1;
    if (score > bestScore) {
      best = &x;
      bestScore = score;
      bestInset = inset;
    }
  }
  if (!best) return;
  window.xWindow = best->window;
  if (!frame) return;
  window.offsetX = best->x + bestInset.left - frame->x;
  window.offsetY = best->y + bestInset.top - frame->y;
}

// --- children ----------------------------------------------------------------------------------

std::optional<std::vector<AtspiAccessible*>> childrenOf(const AXElementData& element) {
  CallWatch watch{element};
  GErrorHolder err;
  gint count = atspi_accessible_get_child_count(element.accessible, &err.error);
  if (watch.hungNow() || err.error || count < 0) return std::nullopt;
  std::vector<AtspiAccessible*> out;
  for (gint i = 0; i < count; ++i) {
    CallWatch childWatch{element};
    GErrorHolder childErr;
    AtspiAccessible* child = atspi_accessible_get_child_at_index(element.accessible, i, &childErr.error);
    if (childWatch.hungNow()) {
      if (child) g_object_unref(child);
      for (AtspiAccessible* done : out) g_object_unref(done);
      return std::nullopt;
    }
    if (child && !childErr.error) {
      out.push_back(child);
    } else if (child) {
      g_object_unref(child);
    }
  }
  return out;
}

AXValueList childElements(const AXElementData& parent, bool windowsOnly) {
  AXValueList list;
  auto children = childrenOf(parent);
  if (!children) return list;
  std::vector<XWindowFacts> xWindows;
  if (parent.application) xWindows = clientWindowsOf(parent.pid);
  for (AtspiAccessible* child : *children) {
    if (windowsOnly) {
      auto role = roleOf(parent, child);
      if (!role || !atspi::isWindowRole(*role)) {
        g_object_unref(child);
        continue;
      }
    }
    AXUIElement element = wrap(child, parent.pid);
    auto& data = const_cast<AXElementData&>(*element);
    if (parent.application) {
      placeWindow(data, xWindows);
    } else {
      data.offsetX = parent.offsetX;
      data.offsetY = parent.offsetY;
    }
    list.emplace_back().data = std::move(element);
  }
  return list;
}

// --- values ------------------------------------------------------------------------------------

bool isToggleRole(std::string_view role) { return role == "AXCheckBox" || role == "AXRadioButton"; }
bool isTextRole(std::string_view role) { return role == "AXTextField" || role == "AXTextArea" || role == "AXComboBox"; }
bool isRangeRole(std::string_view role) { return role == "AXSlider" || role == "AXIncrementor"; }

AXError valueOf(const AXElementData& element, std::optional<AXValue>& value) {
  auto role = roleName(element);
  if (!role) return kAXErrorCannotComplete;
  if (isToggleRole(*role)) {
    auto set = states(element);
    if (!set) return kAXErrorCannotComplete;
    std::int64_t v = 0;
    if (atspi_state_set_contains(set->get(), ATSPI_STATE_INDETERMINATE)) {
      v = 2;
    } else if (atspi_state_set_contains(set->get(), ATSPI_STATE_CHECKED) ||
               atspi_state_set_contains(set->get(), ATSPI_STATE_PRESSED)) {
      v = 1;
    }
    value = AXValue{v};
    return kAXErrorSuccess;
  }
  if (isTextRole(*role)) {
    std::unique_ptr<AtspiText, decltype(&g_object_unref)> text(atspi_accessible_get_text_iface(element.accessible),
                                                               &g_object_unref);
    if (!text) return kAXErrorAttributeUnsupported;
    CallWatch watch{element};
    GErrorHolder err;
    gchar* raw = atspi_text_get_text(text.get(), 0, kTextValueChars, &err.error);
    watch.hungNow();
    if (!raw) return kAXErrorCannotComplete;
    std::string s(raw);
    g_free(raw);
    if (err.error) return kAXErrorCannotComplete;
    value = AXValue{std::move(s)};
    return kAXErrorSuccess;
  }
  if (isRangeRole(*role)) {
    std::unique_ptr<AtspiValue, decltype(&g_object_unref)> range(atspi_accessible_get_value_iface(element.accessible),
                                                                 &g_object_unref);
    if (!range) return kAXErrorAttributeUnsupported;
    CallWatch watch{element};
    GErrorHolder err;
    double current = atspi_value_get_current_value(range.get(), &err.error);
    if (watch.hungNow() || err.error) return kAXErrorCannotComplete;
    value = AXValue{current};
    return kAXErrorSuccess;
  }
  return kAXErrorAttributeUnsupported;
}

AXError stateAttribute(const AXElementData& element, AtspiStateType state, bool negate, std::optional<AXValue>& value) {
  auto has = hasState(element, state);
  if (!has) return kAXErrorCannotComplete;
  value = AXValue{negate ? !*has : *has};
  return kAXErrorSuccess;
}

// Switches toolkit accessibility on for the whole session: browsers and Electron build their tree
// only then. Once per process is enough; it is never switched back off.
AXError switchSessionAccessibilityOn() {
  static AXError result = [] {
    GErrorHolder err;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &err.error);
    if (!bus) return kAXErrorCannotComplete;
    GErrorHolder callErr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                                    g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
                                    nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &callErr.error);
    if (reply) g_variant_unref(reply);
    g_object_unref(bus);
    return reply ? kAXErrorSuccess : kAXErrorCannotComplete;
  }();
  return result;
}

AXError raiseWindow(const AXElementData& element) {
  if (element.xWindow == XCB_NONE) return kAXErrorActionUnsupported;
  xcb_connection_t* conn = x11::connection();
  xcb_ewmh_connection_t* ewmh = x11::ewmh();
  if (!conn || !ewmh) return kAXErrorCannotComplete;
  // Source indication 2: a pager-like tool acting for the user, which window managers obey.
  xcb_ewmh_request_change_active_window(ewmh, 0, element.xWindow, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                        XCB_NONE);
  xcb_flush(conn);
  return kAXErrorSuccess;
}

}  // namespace

AXUIElement axUIElementCreateApplication(std::int32_t pid) {
  const AXError noProcess = (pid > 0 && kill(pid, 0) == 0) ? kAXErrorCannotComplete : kAXErrorInvalidUIElement;
  if (pid <= 0 || !connected()) return wrap(nullptr, pid, noProcess);
  AtspiAccessible* desktop = atspi_get_desktop(0);
  if (!desktop) return wrap(nullptr, pid, noProcess);
  AtspiAccessible* found = nullptr;
  GErrorHolder err;
  gint count = atspi_accessible_get_child_count(desktop, &err.error);
  for (gint i = 0; i < count && !found; ++i) {
    GErrorHolder childErr;
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &childErr.error);
    if (!app) continue;
    GErrorHolder pidErr;
    // The bus daemon answers this one, not the application: a hung application is still found.
    guint appPid = atspi_accessible_get_process_id(app, &pidErr.error);
    if (!pidErr.error && appPid == static_cast<guint>(pid)) {
      found = app;
    } else {
      g_object_unref(app);
    }
  }
  g_object_unref(desktop);
  if (!found) return wrap(nullptr, pid, noProcess);
  atspi_accessible_set_cache_mask(found, ATSPI_CACHE_DEFAULT);
  AXUIElement element = wrap(found, pid);
  const_cast<AXElementData&>(*element).application = true;
  if (!hungPids().count(pid)) {
    auto toolkit = stringOf(*element, atspi_accessible_get_toolkit_name);
    auto version = hungPids().count(pid) ? std::nullopt : stringOf(*element, atspi_accessible_get_toolkit_version);
    if (toolkit == "GTK" && version && version->rfind("4.", 0) == 0) visibleMeansShownPids().insert(pid);
  }
  return element;
}

AXError axUIElementCopyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                      std::optional<AXValue>& value) {
  value.reset();
  if (AXError e = readable(element.get()); e != kAXErrorSuccess) return e;
  const AXElementData& data = *element;
  if (attribute == "AXRole") {
    auto role = roleName(data);
    if (!role) return kAXErrorCannotComplete;
    value = AXValue{std::move(*role)};
    return kAXErrorSuccess;
  }
  if (attribute == "AXTitle" || attribute == "AXDescription") {
    auto text = stringOf(data, attribute == "AXTitle" ? atspi_accessible_get_name : atspi_accessible_get_description);
    if (!text) return kAXErrorCannotComplete;
    value = AXValue{std::move(*text)};
    return kAXErrorSuccess;
  }
  if (attribute == "AXValue") return valueOf(data, value);
  if (attribute == "AXHidden") {
    auto set = states(data);
    if (!set) return kAXErrorCannotComplete;
    bool shown = atspi_state_set_contains(set->get(), ATSPI_STATE_SHOWING) ||
                 (visibleMeansShownPids().count(data.pid) && atspi_state_set_contains(set->get(), ATSPI_STATE_VISIBLE));
    value = AXValue{!shown};
    return kAXErrorSuccess;
  }
  if (attribute == "AXFocused") return stateAttribute(data, ATSPI_STATE_FOCUSED, false, value);
  if (attribute == "AXMinimized") return stateAttribute(data, ATSPI_STATE_ICONIFIED, false, value);
  if (attribute == "AXEnabled") {
    auto set = states(data);
    if (!set) return kAXErrorCannotComplete;
    value = AXValue{atspi_state_set_contains(set->get(), ATSPI_STATE_ENABLED) ||
                    atspi_state_set_contains(set->get(), ATSPI_STATE_SENSITIVE)};
    return kAXErrorSuccess;
  }
  if (attribute == "AXPosition" || attribute == "AXSize") {
    const AtspiRect* rect = rawExtents(data);
    if (!rect) return hungPids().count(data.pid) ? kAXErrorCannotComplete : kAXErrorAttributeUnsupported;
    AXValueWrapper w;
    if (attribute == "AXPosition") {
      w.type = AXValueType::cgPoint;
      w.values[0] = rect->x + data.offsetX;
      w.values[1] = rect->y + data.offsetY;
    } else {
      w.type = AXValueType::cgSize;
      w.values[0] = rect->width;
      w.values[1] = rect->height;
    }
    value = AXValue{w};
    return kAXErrorSuccess;
  }
  if (attribute == "AXChildren" || (attribute == "AXWindows" && data.application)) {
    AXValueList list = childElements(data, attribute == "AXWindows");
    if (hungPids().count(data.pid)) return kAXErrorCannotComplete;
    value.emplace();
    value->data.emplace<AXValueList>(std::move(list));
    return kAXErrorSuccess;
  }
  // No AT-SPI toolkit exposes a separate menu bar root: menu bars are ordinary children of windows.
  return kAXErrorAttributeUnsupported;
}

AXError axUIElementSetAttributeValue(const AXUIElement& element, std::string_view attribute, bool value) {
  if (!element) return kAXErrorIllegalArgument;
  if (attribute != "AXEnhancedUserInterface" && attribute != "AXManualAccessibility")
    return kAXErrorAttributeUnsupported;
  // Switching the whole session's accessibility off would break every assistive tool running.
  if (!value) return kAXErrorIllegalArgument;
  return switchSessionAccessibilityOn();
}

AXError axUIElementPerformAction(const AXUIElement& element, std::string_view action) {
  if (AXError e = readable(element.get()); e != kAXErrorSuccess) return e;
  if (action == "AXRaise") return raiseWindow(*element);
  std::unique_ptr<AtspiAction, decltype(&g_object_unref)> actions(
      atspi_accessible_get_action_iface(element->accessible), &g_object_unref);
  if (!actions) return kAXErrorActionUnsupported;
  CallWatch watch{*element};
  GErrorHolder err;
  gint count = atspi_action_get_n_actions(actions.get(), &err.error);
  if (watch.hungNow() || err.error) return kAXErrorCannotComplete;
  for (gint i = 0; i < count; ++i) {
    GErrorHolder nameErr;
    gchar* raw = atspi_action_get_action_name(actions.get(), i, &nameErr.error);
    if (!raw) continue;
    bool match = atspi::actionName(raw) == action;
    g_free(raw);
    if (!match) continue;
    CallWatch doWatch{*element};
    GErrorHolder doErr;
    gboolean done = atspi_action_do_action(actions.get(), i, &doErr.error);
    doWatch.hungNow();
    return done && !doErr.error ? kAXErrorSuccess : kAXErrorCannotComplete;
  }
  return kAXErrorActionUnsupported;
}

AXError axUIElementCopyActionNames(const AXUIElement& element, std::optional<AXValue>& names) {
  names.reset();
  if (AXError e = readable(element.get()); e != kAXErrorSuccess) return e;
  AXValueList list;
  std::unique_ptr<AtspiAction, decltype(&g_object_unref)> actions(
      atspi_accessible_get_action_iface(element->accessible), &g_object_unref);
  if (actions) {
    CallWatch watch{*element};
    GErrorHolder err;
    gint count = atspi_action_get_n_actions(actions.get(), &err.error);
    if (watch.hungNow() || err.error) return kAXErrorCannotComplete;
    for (gint i = 0; i < count; ++i) {
      GErrorHolder nameErr;
      gchar* raw = atspi_action_get_action_name(actions.get(), i, &nameErr.error);
      if (!raw) continue;
      list.push_back(AXValue{atspi::actionName(raw)});
      g_free(raw);
    }
  }
  if (element->xWindow != XCB_NONE) list.push_back(AXValue{std::string("AXRaise")});
  names = AXValue{std::move(list)};
  return kAXErrorSuccess;
}

}  // namespace platform
