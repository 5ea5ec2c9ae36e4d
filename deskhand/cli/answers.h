// The two ways a deskhand command ends: a success answer, or an error answer and exit status 1.
#pragma once

#include <optional>
#include <string>

namespace deskhand {

// Prints {"success":true} or {"success":true,"path":...} with the compact writer.
void printSuccess(const std::optional<std::string>& path = std::nullopt);

// Prints {"error":message} with the compact writer and ends the process with status 1.
[[noreturn]] void exitWithError(const std::string& message);

}  // namespace deskhand
