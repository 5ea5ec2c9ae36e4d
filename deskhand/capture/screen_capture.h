// Capture of the main display to a PNG file at one pixel per point.
#pragma once

#include <string>

namespace deskhand {

// True when the PNG was completely written at the path (replacing what was there).
bool captureScreenToFile(const std::string& path);

}  // namespace deskhand
