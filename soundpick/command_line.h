// soundpick's command line: "get" prints the default output and input device names as one JSON line,
// "set --output <name> --input <name>" makes the named devices the defaults.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace soundpick {

// The argument that follows the first one equal to flag, searching every argument (the program's path
// and the command word too); nothing when flag is absent or last. A value may look like a flag.
std::optional<std::string> argValue(const std::vector<std::string>& args, std::string_view flag);

// The text as the inside of a JSON string: backslash and double quote escaped, and every control
// character escaped as JSON requires, so that any name stays on one line. Nothing else changes.
std::string jsonEscape(std::string_view text);

// The get answer: {"output":"...","input":"..."} and a line feed.
std::string devicesLine(std::string_view outputName, std::string_view inputName);

// Runs one command; args[0] is the program's path. Writes the answer to standard output or one error
// line to standard error, and gives the exit status.
int run(const std::vector<std::string>& args);

}  // namespace soundpick
