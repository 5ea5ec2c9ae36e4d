// Target application and window preparation.
#pragma once

#include <cstdint>
#include <vector>

namespace deskhand {

std::int32_t getFrontmostAppPID();
std::vector<std::int32_t> getSystemUIPids();
void raiseWindows(std::int32_t pid);
void ensureWindowExists(std::int32_t pid);

}  // namespace deskhand
