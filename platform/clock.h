// Sleeping the calling thread.
#pragma once

#include <cstdint>

namespace platform {

void sleepMicroseconds(std::uint32_t microseconds);

}  // namespace platform
