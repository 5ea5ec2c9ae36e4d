// Simulated application management: the world's running applications, activation requests in the
// journal, and a launcher whose applications join the running ones later in virtual time.
#include "platform/workspace.h"

#include "platform/sim/world.h"

namespace platform {

std::vector<RunningApplication> workspaceRunningApplications() {
  std::vector<RunningApplication> result;
  for (const sim::App& app : sim::runningApps()) result.push_back({app.pid, app.name, app.bundleId});
  return result;
}

std::int32_t workspaceFrontmostApplicationPid() { return sim::world().frontmost; }

bool runningApplicationActivate(std::int32_t pid, std::uint32_t options) {
  auto line = sim::journalLine("activate");
  line["pid"] = pid;
  line["options"] = options;
  sim::writeJournal(line);
  for (const sim::App& app : sim::runningApps())
    if (app.pid == pid) return true;
  return false;
}

std::optional<int> taskLaunchAndWait(const std::string& executable, const std::vector<std::string>& arguments) {
  sim::World& world = sim::world();
  auto line = sim::journalLine("launch");
  line["path"] = executable;
  line["args"] = arguments;
  if (sim::fails("launch")) {
    line["status"] = nullptr;  // the launcher could not be started
    sim::writeJournal(line);
    return std::nullopt;
  }
  int status = 1;
  const sim::LauncherEntry* entry = nullptr;
  if (arguments.size() == 2 && arguments[0] == "-a") {
    auto found = world.launcher.find(arguments[1]);
    if (found != world.launcher.end()) entry = &found->second;
  }
  if (entry) {
    status = entry->status;
    sim::RunState& state = sim::runState();
    if (entry->app) {
      // A second launch of the same entry does not start a second copy.
      bool pending = false;
      for (const sim::LaunchedApp& launched : state.launched)
        if (launched.app.pid == entry->app->pid) pending = true;
      if (!pending) state.launched.push_back({*entry->app, state.now + entry->appearsAfterUs});
    }
  }
  line["status"] = status;
  sim::writeJournal(line);
  return status;
}

std::vector<std::string> systemUIBundleIdentifiers() { return {"com.apple.systemuiserver", "com.apple.controlcenter"}; }

std::string newWindowKeySpec() { return "cmd+n"; }

}  // namespace platform
