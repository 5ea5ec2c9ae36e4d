// The trust check: we can drive the desktop when the X server offers XTEST (synthetic input) and the
// session's accessibility bus answers (reading other applications). There is no permission prompt on
// Linux, so the prompt option is ignored.
#include <dbus/dbus.h>
#include <xcb/xtest.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/linux/x_connection.h"

namespace platform {
namespace {

// Bounded so that a bus that hangs cannot stall a command.
constexpr int kBusTimeoutMs = 1000;

struct PrivateConnectionDeleter {
  void operator()(DBusConnection* connection) const {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
};
using PrivateConnection = std::unique_ptr<DBusConnection, PrivateConnectionDeleter>;

struct MessageDeleter {
  void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

struct ErrorHolder {
  DBusError error;
  ErrorHolder() { dbus_error_init(&error); }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  ~ErrorHolder() { dbus_error_free(&error); }
};

bool xtestPresent() {
  xcb_connection_t* conn = x11::connection();
  if (!conn) return false;
  const xcb_query_extension_reply_t* data = xcb_get_extension_data(conn, &xcb_test_id);
  return data && data->present;
}

std::optional<std::string> accessibilityBusAddress() {
  ErrorHolder err;
  PrivateConnection session(dbus_bus_get_private(DBUS_BUS_SESSION, &err.error));
  if (!session) return std::nullopt;
  dbus_connection_set_exit_on_disconnect(session.get(), FALSE);
  Message call(dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
  if (!call) return std::nullopt;
  Message answer(dbus_connection_send_with_reply_and_block(session.get(), call.get(), kBusTimeoutMs, &err.error));
  if (!answer) return std::nullopt;
  const char* address = nullptr;
  if (!dbus_message_get_args(answer.get(), &err.error, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID) || !address ||
      !*address)
    return std::nullopt;
  return std::string(address);
}

bool accessibilityBusAnswers() {
  std::optional<std::string> address = accessibilityBusAddress();
  if (!address) return false;
  ErrorHolder err;
  PrivateConnection bus(dbus_connection_open_private(address->c_str(), &err.error));
  if (!bus) return false;
  dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
  // The Hello exchange proves that a bus daemon answers there, not just that the socket exists.
  return dbus_bus_register(bus.get(), &err.error) != 0;
}

}  // namespace

bool axIsProcessTrustedWithOptions(bool) { return xtestPresent() && accessibilityBusAnswers(); }

}  // namespace platform
