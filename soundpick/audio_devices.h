// The audio device layer: listing devices, reading their names and streams, finding one by name, and
// reading or changing the default output and input devices. Nothing here prints; every platform failure
// becomes the neutral result of its operation (an empty list, nothing, false or the empty string).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio.h"

namespace soundpick {

// The audio system's own object, on which the device list and the defaults live.
extern platform::AudioObjectID systemObject;

// The system's device identifiers in its order; empty on any failure. When the system writes fewer
// identifiers than its size query announced, the unfilled entries stay 0 (no object).
std::vector<platform::AudioObjectID> allDeviceIDs();

// The device's name; nothing when it cannot be read or is an empty reference.
std::optional<std::string> deviceName(platform::AudioObjectID id);

// True when the device has at least one stream in the scope ('outp' or 'inpt').
bool hasStreams(platform::AudioObjectID id, std::uint32_t scope);

// The first device, in the system's order, whose name is canonically equivalent to `named` (exact and
// case-sensitive otherwise) and that has streams in the scope.
std::optional<platform::AudioObjectID> findDevice(std::string_view named, std::uint32_t scope);

// The name of the current default device for 'dOut' or 'dIn ', or the empty string.
std::string defaultDeviceName(std::uint32_t selector);

// Makes the device the default for 'dOut' or 'dIn '; true when the system accepted it.
bool setDefault(std::uint32_t selector, platform::AudioObjectID id);

}  // namespace soundpick
