// Simulated audio hardware: the system object (1) lists the world's devices and holds the two
// defaults; each device answers its name and its stream counts per scope.
#include "platform/audio.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/world.h"

namespace platform {
namespace {

constexpr OSStatus status(const char (&code)[5]) { return static_cast<OSStatus>(fourCharCode(code)); }
const OSStatus kBadObject = status("!obj");
const OSStatus kUnknownProperty = status("who?");
const OSStatus kBadPropertySize = status("!siz");
const OSStatus kUnspecified = status("what");
const OSStatus kIllegalOperation = status("nope");

const sim::AudioDevice* findDevice(AudioObjectID id) {
  for (const sim::AudioDevice& device : sim::world().devices)
    if (device.id == id) return &device;
  return nullptr;
}

bool isDefaultSelector(std::uint32_t selector) {
  return selector == kAudioHardwarePropertyDefaultOutputDevice || selector == kAudioHardwarePropertyDefaultInputDevice;
}

std::optional<std::uint32_t>& defaultFor(std::uint32_t selector) {
  sim::World& world = sim::world();
  return selector == kAudioHardwarePropertyDefaultOutputDevice ? world.defaultOutput : world.defaultInput;
}

}  // namespace

OSStatus audioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& dataSize) {
  const sim::World& world = sim::world();
  if (object == kAudioObjectSystemObject) {
    if (address.selector == kAudioHardwarePropertyDevices) {
      dataSize = world.deviceListBytes;
      return noErr;
    }
    if (isDefaultSelector(address.selector)) {
      dataSize = sizeof(AudioObjectID);
      return noErr;
    }
    return kUnknownProperty;
  }
  const sim::AudioDevice* device = findDevice(object);
  if (!device) return kBadObject;
  if (address.selector == kAudioObjectPropertyName) {
    dataSize = 8;
    return noErr;
  }
  if (address.selector == kAudioDevicePropertyStreams) {
    std::uint32_t out = device->outputStreams.value_or(0), in = device->inputStreams.value_or(0);
    std::uint32_t count = address.scope == kAudioDevicePropertyScopeOutput  ? out
                          : address.scope == kAudioDevicePropertyScopeInput ? in
                                                                            : out + in;
    dataSize = count * 8;
    return noErr;
  }
  return kUnknownProperty;
}

OSStatus audioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t& ioDataSize, void* data) {
  const sim::World& world = sim::world();
  if (object != kAudioObjectSystemObject) return findDevice(object) ? kUnknownProperty : kBadObject;
  if (!data) return kUnspecified;
  if (address.selector == kAudioHardwarePropertyDevices) {
    // Only whole identifiers, and never more than the devices there are, whatever the size asked.
    std::size_t fit = std::min<std::size_t>(ioDataSize / sizeof(AudioObjectID), world.devices.size());
    auto* out = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < fit; ++i) std::memcpy(out + i * sizeof(AudioObjectID), &world.devices[i].id, 4);
    ioDataSize = static_cast<std::uint32_t>(fit * sizeof(AudioObjectID));
    return noErr;
  }
  if (isDefaultSelector(address.selector)) {
    const std::optional<std::uint32_t>& current = defaultFor(address.selector);
    if (!current) return kUnspecified;
    if (ioDataSize < sizeof(AudioObjectID)) return kBadPropertySize;
    std::memcpy(data, &*current, sizeof(AudioObjectID));
    ioDataSize = sizeof(AudioObjectID);
    return noErr;
  }
  return kUnknownProperty;
}

OSStatus audioObjectGetStringPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                          std::uint32_t dataSize, AudioStringRef& value) {
  value.reset();
  sim::world();
  if (object == kAudioObjectSystemObject) return kUnknownProperty;
  const sim::AudioDevice* device = findDevice(object);
  if (!device) return kBadObject;
  if (address.selector != kAudioObjectPropertyName) return kUnknownProperty;
  if (dataSize != 8) return kBadPropertySize;
  if (!device->name) return kUnknownProperty;
  const nlohmann::json& name = *device->name;
  if (name.is_string()) value = std::make_unique<std::string>(name.get<std::string>());
  if (name.is_object()) return name["error"].get<OSStatus>();
  return noErr;
}

OSStatus audioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t dataSize, const void* data) {
  sim::World& world = sim::world();
  if (object != kAudioObjectSystemObject) return findDevice(object) ? kUnknownProperty : kBadObject;
  if (!isDefaultSelector(address.selector)) return kUnknownProperty;
  AudioObjectID device = 0;
  bool sized = data && dataSize == sizeof(AudioObjectID);
  if (sized) std::memcpy(&device, data, sizeof device);
  bool failed = sim::fails("audioSet");
  bool ok = sized && !failed && !world.refuse.count(address.selector) && findDevice(device);
  auto line = sim::journalLine("audioSet");
  line["selector"] = sim::fourCharText(address.selector);
  line["device"] = device;
  line["ok"] = ok;
  sim::writeJournal(line);
  if (!sized) return kBadPropertySize;
  if (!ok) return kIllegalOperation;
  defaultFor(address.selector) = device;
  return noErr;
}

}  // namespace platform
