#include "soundpick/command_line.h"

#include <cstdio>

#include "soundpick/audio_devices.h"

namespace soundpick {

namespace {

const char* const mainUsage = "Usage: soundpick <get|set>";
const char* const setUsage = "Usage: soundpick set --output <name> --input <name>";

// Writes the message and a line feed to standard error and gives the failure status.
int fail(std::string_view message) {
  std::string line(message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return 1;
}

int runGet() {
  std::string outputName = defaultDeviceName(platform::kAudioHardwarePropertyDefaultOutputDevice);
  std::string inputName = defaultDeviceName(platform::kAudioHardwarePropertyDefaultInputDevice);
  std::string line = devicesLine(outputName, inputName);
  // An answer that never reached the reader is not a success.
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) return 1;
  return 0;
}

int runSet(const std::vector<std::string>& args) {
  auto outputName = argValue(args, "--output");
  if (!outputName) return fail(setUsage);
  auto inputName = argValue(args, "--input");
  if (!inputName) return fail(setUsage);
  auto outputDevice = findDevice(*outputName, platform::kAudioDevicePropertyScopeOutput);
  if (!outputDevice) return fail("Output device not found: " + *outputName);
  auto inputDevice = findDevice(*inputName, platform::kAudioDevicePropertyScopeInput);
  if (!inputDevice) return fail("Input device not found: " + *inputName);
  if (!setDefault(platform::kAudioHardwarePropertyDefaultOutputDevice, *outputDevice))
    return fail("Failed to set the default output device");
  if (!setDefault(platform::kAudioHardwarePropertyDefaultInputDevice, *inputDevice))
    return fail("Failed to set the default input device");
  return 0;
}

}  // namespace

std::optional<std::string> argValue(const std::vector<std::string>& args, std::string_view flag) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != flag) continue;
    if (i + 1 < args.size()) return args[i + 1];
    return std::nullopt;
  }
  return std::nullopt;
}

std::string jsonEscape(std::string_view text) {
  static const char hexDigits[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '"':
        escaped += "\\\"";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\b':
        escaped += "\\b";
        break;
      case '\f':
        escaped += "\\f";
        break;
      default:
        if (byte < 0x20) {
          escaped += "\\u00";
          escaped += hexDigits[byte >> 4];
          escaped += hexDigits[byte & 0xf];
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

std::string devicesLine(std::string_view outputName, std::string_view inputName) {
  return "{\"output\":\"" + jsonEscape(outputName) + "\",\"input\":\"" + jsonEscape(inputName) + "\"}\n";
}

int run(const std::vector<std::string>& args) {
  systemObject = platform::kAudioObjectSystemObject;
  const std::string command = args.size() >= 2 ? args[1] : "";
  if (command == "get") return runGet();
  if (command == "set") return runSet(args);
  return fail(mainUsage);
}

}  // namespace soundpick
