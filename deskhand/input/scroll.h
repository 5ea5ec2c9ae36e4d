// Scrolling by lines over a point, by default the centre of the main display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace deskhand {

inline constexpr std::int32_t kDefaultScrollSteps = 3;
inline constexpr std::int32_t kScrollLinesPerStep = 3;

// Posts `steps` wheel events of 3 lines, down only for the exact direction "down", else up. A
// coordinate not given is the main display's centre on that axis. A negative count posts nothing.
bool scroll(const std::string& direction, std::int32_t steps = kDefaultScrollSteps,
            std::optional<double> atX = std::nullopt, std::optional<double> atY = std::nullopt);

// The options of the scroll command that follow the direction.
struct ScrollOptions {
  std::int32_t steps = kDefaultScrollSteps;
  std::optional<double> atX;
  std::optional<double> atY;
};

// Scans "--at x y" and the step count among the tokens after the direction. Never fails.
ScrollOptions scanScrollOptions(const std::vector<std::string>& tokens);

}  // namespace deskhand
