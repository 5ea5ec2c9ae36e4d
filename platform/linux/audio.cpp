// Audio hardware objects over a PulseAudio (or PipeWire-pulse) server.
//
// Devices are the server's sinks and sources; a sink has one output stream, a source (monitors included)
// one input stream. A device's identifier is a fixed base plus the server's index, so it stays the same
// for the life of the device and never meets the system object (1) or no object (0). Every property read
// asks the server afresh. One connection per process, opened on first use; a server that does not answer
// within a second counts as absent, and so does one that stops answering, for the rest of the run.
#include "platform/audio.h"

#include <fcntl.h>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace platform {
namespace {

// Status codes in the audio hardware style: four-character codes.
constexpr OSStatus notRunningError = static_cast<OSStatus>(fourCharCode("stop"));
constexpr OSStatus badObjectError = static_cast<OSStatus>(fourCharCode("!obj"));
constexpr OSStatus unknownPropertyError = static_cast<OSStatus>(fourCharCode("who?"));
constexpr OSStatus badPropertySizeError = static_cast<OSStatus>(fourCharCode("!siz"));
constexpr OSStatus illegalOperationError = static_cast<OSStatus>(fourCharCode("nope"));

constexpr AudioObjectID sinkBase = 0x10000000;
constexpr AudioObjectID sourceBase = 0x20000000;
constexpr AudioObjectID indexMask = 0x0fffffff;

constexpr std::chrono::milliseconds connectTimeout{1000};
// A connected server that takes longer than this for one request is treated as gone.
constexpr std::chrono::milliseconds requestTimeout{1000};

// One streamed byte size: one stream reference per device and direction.
constexpr std::uint32_t oneStreamSize = 8;

enum class Kind { sink, source };

struct Device {
  AudioObjectID id = kAudioObjectUnknown;
  Kind kind = Kind::sink;
  std::string name;         // symbolic name, what the server's default refers to
  std::string description;  // what users see
};

std::optional<AudioObjectID> deviceID(Kind kind, std::uint32_t index) {
  if (index > indexMask) return std::nullopt;
  return (kind == Kind::sink ? sinkBase : sourceBase) | index;
}

// libpulse may log to standard error on its own; this program's standard error carries only its own
// messages, so standard error points at /dev/null while the library runs.
struct QuietStderr {
  int saved = -1;
  QuietStderr() {
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved >= 0) dup2(null, STDERR_FILENO);
    close(null);
  }
  ~QuietStderr() {
    if (saved < 0) return;
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;
};

struct Connection {
  pa_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  bool tried = false;
  bool usable = false;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    QuietStderr quiet;
    if (context) {
      pa_context_disconnect(context);
      pa_context_unref(context);
    }
    if (loop) pa_mainloop_free(loop);
  }
};

Connection connectionState;

using Clock = std::chrono::steady_clock;

// Runs the loop until done() holds, the deadline passes or the loop fails; true when done() holds.
template <typename Done>
bool runUntil(Done done, Clock::time_point deadline) {
  while (!done()) {
    auto remaining = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (remaining <= 0) return false;
    if (pa_mainloop_prepare(connectionState.loop, static_cast<int>(remaining)) < 0) return false;
    if (pa_mainloop_poll(connectionState.loop) < 0) return false;
    if (pa_mainloop_dispatch(connectionState.loop) < 0) return false;
  }
  return true;
}

void connectOnce() {
  auto& c = connectionState;
  if (c.tried) return;
  c.tried = true;
  c.loop = pa_mainloop_new();
  if (!c.loop) return;
  pa_proplist* properties = pa_proplist_new();
  if (!properties) return;
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "soundpick");
  c.context = pa_context_new_with_proplist(pa_mainloop_get_api(c.loop), "soundpick", properties);
  pa_proplist_free(properties);
  if (!c.context) return;
  if (pa_context_connect(c.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
  auto settled = [&] {
    pa_context_state_t state = pa_context_get_state(c.context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  };
  if (!runUntil(settled, Clock::now() + connectTimeout)) return;
  c.usable = pa_context_get_state(c.context) == PA_CONTEXT_READY;
}

pa_context* context() {
  connectOnce();
  if (connectionState.usable && pa_context_get_state(connectionState.context) != PA_CONTEXT_READY)
    connectionState.usable = false;
  return connectionState.usable ? connectionState.context : nullptr;
}

// Waits for one request; a request that cannot finish in time is cancelled and ends the connection's use.
bool await(pa_operation* operation, const bool& finished) {
  if (!operation) return false;
  bool ok = runUntil([&] { return finished; }, Clock::now() + requestTimeout);
  if (!ok) {
    pa_operation_cancel(operation);
    connectionState.usable = false;
  }
  pa_operation_unref(operation);
  return ok;
}

Device fromSink(const pa_sink_info& info) {
  return {deviceID(Kind::sink, info.index).value_or(kAudioObjectUnknown), Kind::sink, info.name ? info.name : "",
          info.description ? info.description : (info.name ? info.name : "")};
}

Device fromSource(const pa_source_info& info) {
  return {deviceID(Kind::source, info.index).value_or(kAudioObjectUnknown), Kind::source, info.name ? info.name : "",
          info.description ? info.description : (info.name ? info.name : "")};
}

struct Listing {
  std::vector<Device> devices;
  bool finished = false;
  bool failed = false;
};

template <typename Info>
void collect(Listing& listing, const Info* info, int eol) {
  if (eol < 0) listing.failed = true;
  if (eol != 0) {
    listing.finished = true;
    return;
  }
  if (!info) return;
  Device device;
  if constexpr (std::is_same_v<Info, pa_sink_info>)
    device = fromSink(*info);
  else
    device = fromSource(*info);
  if (device.id != kAudioObjectUnknown) listing.devices.push_back(std::move(device));
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  collect(*static_cast<Listing*>(userdata), info, eol);
}

void onSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  collect(*static_cast<Listing*>(userdata), info, eol);
}

// Every sink, then every source, each in the server's order.
std::optional<std::vector<Device>> listDevices() {
  pa_context* ctx = context();
  if (!ctx) return std::nullopt;
  Listing sinks;
  if (!await(pa_context_get_sink_info_list(ctx, onSink, &sinks), sinks.finished) || sinks.failed) return std::nullopt;
  Listing sources;
  if (!await(pa_context_get_source_info_list(ctx, onSource, &sources), sources.finished) || sources.failed)
    return std::nullopt;
  auto devices = std::move(sinks.devices);
  for (auto& device : sources.devices) devices.push_back(std::move(device));
  return devices;
}

// The device with this identifier as the server has it now; nothing when there is none.
std::optional<Device> lookUp(AudioObjectID id) {
  pa_context* ctx = context();
  if (!ctx) return std::nullopt;
  const std::uint32_t index = id & indexMask;
  Listing found;
  if ((id & ~indexMask) == sinkBase) {
    if (!await(pa_context_get_sink_info_by_index(ctx, index, onSink, &found), found.finished)) return std::nullopt;
  } else if ((id & ~indexMask) == sourceBase) {
    if (!await(pa_context_get_source_info_by_index(ctx, index, onSource, &found), found.finished)) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (found.devices.empty()) return std::nullopt;
  return found.devices.front();
}

struct ServerDefaults {
  std::string sink;
  std::string source;
  bool finished = false;
};

void onServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
  auto& defaults = *static_cast<ServerDefaults*>(userdata);
  if (info && info->default_sink_name) defaults.sink = info->default_sink_name;
  if (info && info->default_source_name) defaults.source = info->default_source_name;
  defaults.finished = true;
}

// The identifier of the server's default sink or source; no object when it has none. Nothing when the
// server cannot be asked.
std::optional<AudioObjectID> defaultDevice(Kind kind) {
  pa_context* ctx = context();
  if (!ctx) return std::nullopt;
  ServerDefaults defaults;
  if (!await(pa_context_get_server_info(ctx, onServerInfo, &defaults), defaults.finished)) return std::nullopt;
  const std::string& name = kind == Kind::sink ? defaults.sink : defaults.source;
  if (name.empty()) return kAudioObjectUnknown;
  Listing found;
  bool asked = kind == Kind::sink
                   ? await(pa_context_get_sink_info_by_name(ctx, name.c_str(), onSink, &found), found.finished)
                   : await(pa_context_get_source_info_by_name(ctx, name.c_str(), onSource, &found), found.finished);
  if (!asked) return std::nullopt;
  // A default that names a device the server no longer has is no default.
  return found.devices.empty() ? kAudioObjectUnknown : found.devices.front().id;
}

struct Outcome {
  bool success = false;
  bool finished = false;
};

void onSuccess(pa_context*, int success, void* userdata) {
  auto& outcome = *static_cast<Outcome*>(userdata);
  outcome.success = success != 0;
  outcome.finished = true;
}

bool makeDefault(const Device& device) {
  pa_context* ctx = context();
  if (!ctx) return false;
  Outcome outcome;
  pa_operation* operation = device.kind == Kind::sink
                                ? pa_context_set_default_sink(ctx, device.name.c_str(), onSuccess, &outcome)
                                : pa_context_set_default_source(ctx, device.name.c_str(), onSuccess, &outcome);
  return await(operation, outcome.finished) && outcome.success;
}

std::optional<Kind> defaultKind(std::uint32_t selector) {
  if (selector == kAudioHardwarePropertyDefaultOutputDevice) return Kind::sink;
  if (selector == kAudioHardwarePropertyDefaultInputDevice) return Kind::source;
  return std::nullopt;
}

bool isDeviceID(AudioObjectID object) {
  return (object & ~indexMask) == sinkBase || (object & ~indexMask) == sourceBase;
}

}  // namespace

OSStatus audioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& dataSize) {
  QuietStderr quiet;
  if (object == kAudioObjectSystemObject) {
    if (address.selector == kAudioHardwarePropertyDevices) {
      auto devices = listDevices();
      if (!devices) return notRunningError;
      dataSize = static_cast<std::uint32_t>(devices->size() * sizeof(AudioObjectID));
      return noErr;
    }
    if (defaultKind(address.selector)) {
      if (!context()) return notRunningError;
      dataSize = sizeof(AudioObjectID);
      return noErr;
    }
    return unknownPropertyError;
  }
  if (!isDeviceID(object)) return badObjectError;
  if (address.selector != kAudioObjectPropertyName && address.selector != kAudioDevicePropertyStreams)
    return unknownPropertyError;
  if (!context()) return notRunningError;
  auto device = lookUp(object);
  if (!device) return badObjectError;
  if (address.selector == kAudioObjectPropertyName) {
    dataSize = oneStreamSize;  // one string reference
    return noErr;
  }
  const bool output = device->kind == Kind::sink;
  if (address.scope == kAudioDevicePropertyScopeOutput)
    dataSize = output ? oneStreamSize : 0;
  else if (address.scope == kAudioDevicePropertyScopeInput)
    dataSize = output ? 0 : oneStreamSize;
  else
    dataSize = oneStreamSize;
  return noErr;
}

OSStatus audioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t& ioDataSize, void* data) {
  QuietStderr quiet;
  if (object != kAudioObjectSystemObject) return isDeviceID(object) ? unknownPropertyError : badObjectError;
  if (address.selector == kAudioHardwarePropertyDevices) {
    auto devices = listDevices();
    if (!devices) return notRunningError;
    // The list may have changed since the size query: write what fits, whole identifiers only.
    std::size_t count = std::min<std::size_t>(devices->size(), ioDataSize / sizeof(AudioObjectID));
    for (std::size_t i = 0; i < count; ++i)
      std::memcpy(static_cast<char*>(data) + i * sizeof(AudioObjectID), &(*devices)[i].id, sizeof(AudioObjectID));
    ioDataSize = static_cast<std::uint32_t>(count * sizeof(AudioObjectID));
    return noErr;
  }
  auto kind = defaultKind(address.selector);
  if (!kind) return unknownPropertyError;
  if (ioDataSize < sizeof(AudioObjectID)) return badPropertySizeError;
  auto id = defaultDevice(*kind);
  if (!id) return notRunningError;
  std::memcpy(data, &*id, sizeof(AudioObjectID));
  ioDataSize = sizeof(AudioObjectID);
  return noErr;
}

OSStatus audioObjectGetStringPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                          std::uint32_t dataSize, AudioStringRef& value) {
  QuietStderr quiet;
  if (!isDeviceID(object)) return object == kAudioObjectSystemObject ? unknownPropertyError : badObjectError;
  if (address.selector != kAudioObjectPropertyName) return unknownPropertyError;
  if (dataSize != 8) return badPropertySizeError;
  if (!context()) return notRunningError;
  auto device = lookUp(object);
  if (!device) return badObjectError;
  value = std::make_unique<std::string>(std::move(device->description));
  return noErr;
}

OSStatus audioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t dataSize, const void* data) {
  QuietStderr quiet;
  if (object != kAudioObjectSystemObject) return isDeviceID(object) ? unknownPropertyError : badObjectError;
  auto kind = defaultKind(address.selector);
  if (!kind) return unknownPropertyError;
  if (dataSize != sizeof(AudioObjectID) || !data) return badPropertySizeError;
  AudioObjectID id = kAudioObjectUnknown;
  std::memcpy(&id, data, sizeof id);
  if (!context()) return notRunningError;
  auto device = lookUp(id);
  if (!device || device->kind != *kind) return badObjectError;
  return makeDefault(*device) ? noErr : illegalOperationError;
}

}  // namespace platform
