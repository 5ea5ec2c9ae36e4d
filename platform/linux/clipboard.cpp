// The X CLIPBOARD selection, read through a private window: TARGETS for the offered types, UTF8_STRING
// (or Latin-1 STRING) for the text, INCR transfers for large contents. An owner that stays silent for
// a second is given up on for the rest of the process, so one command waits at most about a second.
#include "platform/clipboard.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "common/unicode.h"
#include "platform/linux/x_connection.h"

namespace platform {
namespace {

constexpr auto kAnswerTimeout = std::chrono::milliseconds(1000);

using Clock = std::chrono::steady_clock;

// A window that exists only to receive one conversion.
struct RequestWindow {
  xcb_window_t id = XCB_WINDOW_NONE;
  RequestWindow() {
    xcb_connection_t* conn = x11::connection();
    id = xcb_generate_id(conn);
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, id, x11::root(), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  }
  RequestWindow(const RequestWindow&) = delete;
  RequestWindow& operator=(const RequestWindow&) = delete;
  ~RequestWindow() {
    xcb_destroy_window(x11::connection(), id);
    xcb_flush(x11::connection());
  }
};

struct EventHolder {
  xcb_generic_event_t* event = nullptr;
  EventHolder() = default;
  EventHolder(const EventHolder&) = delete;
  EventHolder& operator=(const EventHolder&) = delete;
  ~EventHolder() { std::free(event); }
};

// Waits for an event that the predicate accepts, up to the deadline; other events are dropped.
template <typename Accept>
bool waitForEvent(Clock::time_point deadline, Accept accept) {
  xcb_connection_t* conn = x11::connection();
  xcb_flush(conn);
  for (;;) {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn)) {
      EventHolder holder;
      holder.event = raw;
      if (accept(raw)) return true;
    }
    if (xcb_connection_has_error(conn)) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fd{xcb_get_file_descriptor(conn), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
}

struct Transfer {
  xcb_atom_t type = XCB_ATOM_NONE;
  uint8_t format = 0;
  std::string bytes;
};

// Reads and deletes the whole property.
std::optional<Transfer> takeProperty(xcb_window_t window, xcb_atom_t property) {
  xcb_connection_t* conn = x11::connection();
  auto r = x11::reply(xcb_get_property_reply(
      conn, xcb_get_property(conn, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4), nullptr));
  if (!r || r->type == XCB_ATOM_NONE) return std::nullopt;
  Transfer t;
  t.type = r->type;
  t.format = r->format;
  int length = xcb_get_property_value_length(r.get());
  t.bytes.assign(static_cast<const char*>(xcb_get_property_value(r.get())), static_cast<std::size_t>(length));
  return t;
}

// The owner that timed out, so that later requests of this process do not wait for it again.
xcb_window_t silentOwner = XCB_WINDOW_NONE;

xcb_window_t clipboardOwner() {
  xcb_connection_t* conn = x11::connection();
  auto r =
      x11::reply(xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, x11::atom("CLIPBOARD")), nullptr));
  return r ? r->owner : xcb_window_t{XCB_WINDOW_NONE};
}

enum class Outcome { received, refused, silent };

struct Conversion {
  Outcome outcome = Outcome::refused;
  Transfer transfer;
};

Conversion convert(xcb_window_t owner, xcb_atom_t target) {
  Conversion result;
  if (owner == silentOwner) {
    result.outcome = Outcome::silent;
    return result;
  }
  xcb_connection_t* conn = x11::connection();
  RequestWindow window;
  xcb_atom_t property = x11::atom("VELMORA_CLIPBOARD");
  xcb_atom_t incr = x11::atom("INCR");
  xcb_convert_selection(conn, window.id, x11::atom("CLIPBOARD"), target, property, XCB_CURRENT_TIME);

  bool answered = false;
  bool stored = false;
  bool notified = waitForEvent(Clock::now() + kAnswerTimeout, [&](xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
    auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
    if (notify->requestor != window.id) return false;
    answered = true;
    stored = notify->property != XCB_ATOM_NONE;
    return true;
  });
  if (!notified || !answered) {
    silentOwner = owner;
    result.outcome = Outcome::silent;
    return result;
  }
  if (!stored) return result;
  std::optional<Transfer> first = takeProperty(window.id, property);
  if (!first) return result;
  if (first->type != incr) {
    result.outcome = Outcome::received;
    result.transfer = std::move(*first);
    return result;
  }

  // INCR: deleting the property (done by takeProperty) asks for the next chunk; an empty chunk ends.
  Transfer whole;
  for (;;) {
    bool newValue = waitForEvent(Clock::now() + kAnswerTimeout, [&](xcb_generic_event_t* event) {
      if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
      auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
      return change->window == window.id && change->atom == property && change->state == XCB_PROPERTY_NEW_VALUE;
    });
    if (!newValue) {
      silentOwner = owner;
      result.outcome = Outcome::silent;
      return result;
    }
    std::optional<Transfer> chunk = takeProperty(window.id, property);
    if (!chunk) continue;
    if (chunk->bytes.empty()) break;
    whole.type = chunk->type;
    whole.format = chunk->format;
    whole.bytes += chunk->bytes;
  }
  result.outcome = Outcome::received;
  result.transfer = std::move(whole);
  return result;
}

std::string atomName(xcb_atom_t atom) {
  xcb_connection_t* conn = x11::connection();
  auto r = x11::reply(xcb_get_atom_name_reply(conn, xcb_get_atom_name(conn, atom), nullptr));
  if (!r) return {};
  return std::string(xcb_get_atom_name_name(r.get()), static_cast<std::size_t>(xcb_get_atom_name_name_length(r.get())));
}

// Targets that describe the selection protocol rather than content.
bool isProtocolTarget(std::string_view name) {
  static constexpr std::string_view protocol[] = {"TARGETS", "MULTIPLE",         "TIMESTAMP",      "SAVE_TARGETS",
                                                  "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY"};
  return std::find(std::begin(protocol), std::end(protocol), name) != std::end(protocol);
}

std::string platformType(const std::string& target) {
  if (target == "UTF8_STRING" || target == "STRING" || target == "text/plain" || target == "text/plain;charset=utf-8")
    return std::string(kPasteboardTypeString);
  if (target == "text/uri-list" || target == "x-special/gnome-copied-files" || target == "x-special/mate-copied-files")
    return std::string(kPasteboardTypeFileURL);
  if (target == "image/png") return std::string(kPasteboardTypePNG);
  if (target == "image/tiff") return std::string(kPasteboardTypeTIFF);
  return target;
}

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xc0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3f)));
    }
  }
  return out;
}

// The owner's TARGETS as atom names. Asked afresh each time: a new owner may reuse a gone one's window id.
struct OwnerTargets {
  xcb_window_t owner = XCB_WINDOW_NONE;
  Outcome outcome = Outcome::refused;
  std::vector<std::string> names;
};

OwnerTargets targetsOf(xcb_window_t owner) {
  OwnerTargets cached;
  cached.owner = owner;
  Conversion targets = convert(owner, x11::atom("TARGETS"));
  cached.outcome = targets.outcome;
  if (targets.outcome != Outcome::received || targets.transfer.format != 32) {
    if (cached.outcome == Outcome::received) cached.outcome = Outcome::refused;
    return cached;
  }
  std::size_t count = targets.transfer.bytes.size() / 4;
  for (std::size_t i = 0; i < count; ++i) {
    xcb_atom_t atom = 0;
    std::memcpy(&atom, targets.transfer.bytes.data() + i * 4, 4);
    std::string name = atomName(atom);
    if (!name.empty()) cached.names.push_back(std::move(name));
  }
  return cached;
}

bool listed(const OwnerTargets& targets, std::string_view name) {
  return targets.outcome != Outcome::received ||
         std::find(targets.names.begin(), targets.names.end(), name) != targets.names.end();
}

}  // namespace

std::optional<std::vector<std::string>> pasteboardTypes() {
  if (!x11::connection()) return std::nullopt;
  std::vector<std::string> types;
  xcb_window_t owner = clipboardOwner();
  if (owner == XCB_WINDOW_NONE) return types;
  const OwnerTargets targets = targetsOf(owner);
  if (targets.outcome != Outcome::received) {
    // An owner holds something but will not list it: old clients offer text without TARGETS, so the
    // text is what we try (and report as unreadable when it does not come).
    types.emplace_back(kPasteboardTypeString);
    return types;
  }
  for (const std::string& name : targets.names) {
    if (isProtocolTarget(name)) continue;
    std::string type = platformType(name);
    if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(std::move(type));
  }
  return types;
}

std::optional<std::string> pasteboardStringForType(std::string_view type) {
  if (type != kPasteboardTypeString || !x11::connection()) return std::nullopt;
  xcb_window_t owner = clipboardOwner();
  if (owner == XCB_WINDOW_NONE) return std::nullopt;
  // Only targets the owner lists are asked for: some owners answer any target with whatever they hold.
  const OwnerTargets targets = targetsOf(owner);
  if (targets.outcome == Outcome::silent) return std::nullopt;
  if (listed(targets, "UTF8_STRING")) {
    Conversion utf8 = convert(owner, x11::atom("UTF8_STRING"));
    if (utf8.outcome == Outcome::received && utf8.transfer.format == 8 && text::isValidUtf8(utf8.transfer.bytes))
      return std::move(utf8.transfer.bytes);
    if (utf8.outcome == Outcome::silent) return std::nullopt;
  }
  if (!listed(targets, "STRING")) return std::nullopt;
  Conversion latin1 = convert(owner, XCB_ATOM_STRING);
  if (latin1.outcome == Outcome::received && latin1.transfer.format == 8) return latin1ToUtf8(latin1.transfer.bytes);
  return std::nullopt;
}

}  // namespace platform
