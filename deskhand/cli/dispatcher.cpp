#include "deskhand/cli/dispatcher.h"

#include <string>
#include <string_view>
#include <vector>

#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "deskhand/input/keyboard.h"
#include "deskhand/input/mouse.h"
#include "deskhand/observe/roles.h"
#include "platform/accessibility.h"
#include "platform/application.h"

namespace deskhand {

namespace {

struct CommandEntry {
  std::string_view word;
  void (*run)(const Arguments& args);
};

// Built once at start-up, for every command, before the argument vector is looked at.
void buildGlobals() {
  // The compact answer writer has no state of its own: encodeCompact is the program-wide writer.
  // start-up tables: role and action sets
  clickableRoles();
  containerRoles();
  actionableActions();
  // start-up tables: hold bound and key codes
  maxHoldSeconds();
  keyCodeMap();
  platform::applicationSetActivationPolicy(platform::kApplicationActivationPolicyAccessory);
}

// Words are tried in this order; the first that matches runs.
// command table
constexpr CommandEntry commandTable[] = {
    {"observe", runObserve},
    {"click", runClick},
    {"double-click", runDoubleClick},
    {"right-click", runRightClick},
    {"type", runType},
    {"key", runKey},
    {"scroll", runScroll},
    {"drag", runDrag},
    {"screenshot", runScreenshot},
    {"screenshot-grid", runScreenshotGrid},
    {"activate", runActivate},
    {"read-clipboard", runReadClipboard},
};

// The commands that read or drive other applications.
constexpr std::string_view needsAccessibility[] = {
    "observe", "click", "double-click", "right-click", "type", "key", "scroll", "drag",
};

bool requiresPermission(std::string_view command) {
  for (std::string_view word : needsAccessibility) {
    if (word == command) return true;
  }
  return false;
}

}  // namespace

int runMain(int argc, char** argv) {
  buildGlobals();
  std::vector<std::string> args(argv, argv + argc);
  if (args.size() < 2) exitWithError("Usage: velmora-helper <command> [args...]");

  const std::string& command = args[1];
  // The gate runs before any argument is examined, and for words this build may not know.
  if (requiresPermission(command) && !platform::axIsProcessTrustedWithOptions(true)) {
    exitWithError("Accessibility permission not granted. Check System Settings > Privacy & Security > Accessibility.");
  }

  const Arguments commandArgs(args.begin() + 2, args.end());
  for (const CommandEntry& entry : commandTable) {
    if (entry.word == command) {
      entry.run(commandArgs);
      return 0;
    }
  }
  exitWithError("Unknown command: '" + command + "'");
}

}  // namespace deskhand
