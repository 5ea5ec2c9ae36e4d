#include "soundpick/audio_devices.h"

#include "common/unicode.h"

namespace soundpick {

using platform::AudioObjectID;
using platform::AudioObjectPropertyAddress;
using platform::noErr;

AudioObjectID systemObject = platform::kAudioObjectSystemObject;

namespace {

AudioObjectPropertyAddress globalAddress(std::uint32_t selector) {
  return {selector, platform::kAudioObjectPropertyScopeGlobal, platform::kAudioObjectPropertyElementMain};
}

}  // namespace

std::vector<AudioObjectID> allDeviceIDs() {
  const auto address = globalAddress(platform::kAudioHardwarePropertyDevices);
  std::uint32_t size = 0;
  if (platform::audioObjectGetPropertyDataSize(systemObject, address, size) != noErr) return {};
  if (size < sizeof(AudioObjectID)) return {};
  std::vector<AudioObjectID> ids(size / sizeof(AudioObjectID), platform::kAudioObjectUnknown);
  // The buffer holds only whole identifiers: a size that is not a multiple of 4 must not let the system
  // write past the list.
  std::uint32_t ioSize = static_cast<std::uint32_t>(ids.size() * sizeof(AudioObjectID));
  if (platform::audioObjectGetPropertyData(systemObject, address, ioSize, ids.data()) != noErr) return {};
  return ids;
}

std::optional<std::string> deviceName(AudioObjectID id) {
  platform::AudioStringRef name;
  const std::uint32_t referenceSize = 8;
  if (platform::audioObjectGetStringPropertyData(id, globalAddress(platform::kAudioObjectPropertyName), referenceSize,
                                                 name) != noErr)
    return std::nullopt;
  if (!name) return std::nullopt;
  return std::move(*name);
}

bool hasStreams(AudioObjectID id, std::uint32_t scope) {
  const AudioObjectPropertyAddress address{platform::kAudioDevicePropertyStreams, scope,
                                           platform::kAudioObjectPropertyElementMain};
  std::uint32_t size = 0;
  return platform::audioObjectGetPropertyDataSize(id, address, size) == noErr && size != 0;
}

std::optional<AudioObjectID> findDevice(std::string_view named, std::uint32_t scope) {
  for (AudioObjectID id : allDeviceIDs()) {
    auto name = deviceName(id);
    if (!name || !text::canonicallyEqual(*name, named)) continue;
    if (hasStreams(id, scope)) return id;
  }
  return std::nullopt;
}

std::string defaultDeviceName(std::uint32_t selector) {
  AudioObjectID id = platform::kAudioObjectUnknown;
  std::uint32_t size = sizeof id;
  if (platform::audioObjectGetPropertyData(systemObject, globalAddress(selector), size, &id) != noErr) return "";
  return deviceName(id).value_or("");
}

bool setDefault(std::uint32_t selector, AudioObjectID id) {
  return platform::audioObjectSetPropertyData(systemObject, globalAddress(selector), sizeof id, &id) == noErr;
}

}  // namespace soundpick
