// Audio hardware objects: property size queries, reads and writes by selector, scope and element.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

using AudioObjectID = std::uint32_t;
using OSStatus = std::int32_t;
inline constexpr OSStatus noErr = 0;

inline constexpr AudioObjectID kAudioObjectSystemObject = 1;
inline constexpr AudioObjectID kAudioObjectUnknown = 0;

constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
         (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr std::uint32_t kAudioHardwarePropertyDevices = fourCharCode("dev#");
inline constexpr std::uint32_t kAudioObjectPropertyName = fourCharCode("lnam");
inline constexpr std::uint32_t kAudioDevicePropertyStreams = fourCharCode("stm#");
inline constexpr std::uint32_t kAudioHardwarePropertyDefaultOutputDevice = fourCharCode("dOut");
inline constexpr std::uint32_t kAudioHardwarePropertyDefaultInputDevice = fourCharCode("dIn ");
inline constexpr std::uint32_t kAudioObjectPropertyScopeGlobal = fourCharCode("glob");
inline constexpr std::uint32_t kAudioDevicePropertyScopeOutput = fourCharCode("outp");
inline constexpr std::uint32_t kAudioDevicePropertyScopeInput = fourCharCode("inpt");
inline constexpr std::uint32_t kAudioObjectPropertyElementMain = 0;

struct AudioObjectPropertyAddress {
  std::uint32_t selector = 0;
  std::uint32_t scope = 0;
  std::uint32_t element = 0;
};

// A string property's value: one reference to a string object (8 bytes on the wire), owned by the
// caller once received. Null is a successful read with an empty reference.
using AudioStringRef = std::unique_ptr<std::string>;

OSStatus audioObjectGetPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                        std::uint32_t& dataSize);
// Reads a plain (identifier or identifier list) property into data; ioDataSize is the buffer size in,
// the bytes written out.
OSStatus audioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t& ioDataSize, void* data);
// Reads a string property (such as the name); dataSize must be the size of one reference (8).
OSStatus audioObjectGetStringPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                          std::uint32_t dataSize, AudioStringRef& value);
OSStatus audioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    std::uint32_t dataSize, const void* data);

}  // namespace platform
