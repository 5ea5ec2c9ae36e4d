// Failure injection for the image services shared by both backends. The Linux backend never fails
// an operation on purpose; the simulated backend fails those its world file names.
#pragma once

#include <string_view>

namespace platform {

// Counts one call of the named operation and tells whether it must fail.
bool operationFails(std::string_view operation);

}  // namespace platform
