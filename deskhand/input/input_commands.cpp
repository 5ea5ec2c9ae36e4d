// The input commands: click, double-click, right-click, type, key, scroll and drag.
#include <optional>
#include <string>
#include <vector>

#include "common/number_syntax.h"
#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "deskhand/input/drag.h"
#include "deskhand/input/keyboard.h"
#include "deskhand/input/mouse.h"
#include "deskhand/input/scroll.h"

namespace deskhand {
namespace {

// The first `count` arguments as decimal numbers; nothing when there are fewer or one is not a number.
std::optional<std::vector<double>> leadingNumbers(const Arguments& args, std::size_t count) {
  if (args.size() < count) return std::nullopt;
  std::vector<double> values;
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<double> value = numbers::parseDecimal(args[i]);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

Arguments argumentsFrom(const Arguments& args, std::size_t first) {
  if (first >= args.size()) return {};
  return Arguments(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
}

}  // namespace

void runClick(const Arguments& args) {
  std::optional<std::vector<double>> xy = leadingNumbers(args, 2);
  if (!xy) exitWithError("Usage: velmora-helper click <x> <y> [--hold-seconds N]");
  double holdSeconds = parseHoldSeconds(argumentsFrom(args, 2));
  if (!mouseClick((*xy)[0], (*xy)[1], holdSeconds)) exitWithError("Failed to simulate click");
  printSuccess();
}

void runDoubleClick(const Arguments& args) {
  std::optional<std::vector<double>> xy = leadingNumbers(args, 2);
  if (!xy) exitWithError("Usage: velmora-helper double-click <x> <y>");
  if (!doubleClick((*xy)[0], (*xy)[1])) exitWithError("Failed to simulate double-click");
  printSuccess();
}

void runRightClick(const Arguments& args) {
  std::optional<std::vector<double>> xy = leadingNumbers(args, 2);
  if (!xy) exitWithError("Usage: velmora-helper right-click <x> <y>");
  if (!rightClick((*xy)[0], (*xy)[1])) exitWithError("Failed to simulate right-click");
  printSuccess();
}

void runType(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper type <text>");
  std::string text = args.front();
  for (std::size_t i = 1; i < args.size(); ++i) text += " " + args[i];
  if (!typeText(text)) exitWithError("Failed to simulate typing");
  printSuccess();
}

void runKey(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper key <key-spec>");
  if (!pressKey(args.front())) exitWithError("Failed to simulate key press '" + args.front() + "'");
  printSuccess();
}

void runScroll(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper scroll <direction> [steps] [--at x y]");
  ScrollOptions options = scanScrollOptions(argumentsFrom(args, 1));
  if (!scroll(args.front(), options.steps, options.atX, options.atY)) exitWithError("Failed to simulate scroll");
  printSuccess();
}

void runDrag(const Arguments& args) {
  std::optional<std::vector<double>> coords = leadingNumbers(args, 4);
  if (!coords)
    exitWithError(
        "Usage: velmora-helper drag <from_x> <from_y> <to_x> <to_y> [--steps N] [--path x1,y1 ...] "
        "[--hold-seconds N]");
  Arguments rest = argumentsFrom(args, 4);
  double holdSeconds = parseHoldSeconds(rest);
  DragOptions options = scanDragOptions(rest);
  const std::vector<double>& c = *coords;
  if (!mouseDrag(c[0], c[1], c[2], c[3], options.steps, options.waypoints, holdSeconds))
    exitWithError("Failed to simulate drag");
  printSuccess();
}

}  // namespace deskhand
