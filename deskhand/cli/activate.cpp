#include "deskhand/cli/activate.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "common/unicode.h"
#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "deskhand/observe/windows.h"
#include "platform/clock.h"
#include "platform/workspace.h"

namespace deskhand {

namespace {

constexpr std::uint32_t kAfterActivationUs = 200000;
constexpr std::uint32_t kAfterLaunchUs = 500000;
constexpr std::uint32_t kBeforeAnswerUs = 500000;

// The first running application whose display name equals the name after full lower-casing on both
// sides; no trimming, no partial match, and an application without a display name never matches.
std::optional<std::int32_t> findApplication(const std::string& name) {
  const std::string wanted = text::toLowerFull(name);
  for (const platform::RunningApplication& app : platform::workspaceRunningApplications()) {
    if (app.localizedName && text::toLowerFull(*app.localizedName) == wanted) return app.processIdentifier;
  }
  return std::nullopt;
}

void prepareWindows(std::int32_t pid) {
  raiseWindows(pid);
  ensureWindowExists(pid);
}

}  // namespace

bool activateApp(const std::string& name) {
  if (std::optional<std::int32_t> pid = findApplication(name)) {
    platform::runningApplicationActivate(*pid, platform::kApplicationActivateAllWindows);
    platform::sleepMicroseconds(kAfterActivationUs);
    prepareWindows(*pid);
    return true;
  }
  // The launcher gets the name exactly as asked for.
  std::optional<int> status = platform::taskLaunchAndWait("/usr/bin/open", {"-a", name});
  if (!status || *status != 0) return false;
  platform::sleepMicroseconds(kAfterLaunchUs);
  std::optional<std::int32_t> pid = findApplication(name);
  if (!pid) return false;
  prepareWindows(*pid);
  return true;
}

void runActivate(const Arguments& args) {
  if (args.empty()) exitWithError("Usage: velmora-helper activate <app-name>");
  std::string name = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) name += " " + args[i];
  if (!activateApp(name))
    exitWithError("Could not open application '" + name + "'. Verify the name is correct and the app is installed.");
  platform::sleepMicroseconds(kBeforeAnswerUs);
  printSuccess();
}

}  // namespace deskhand
