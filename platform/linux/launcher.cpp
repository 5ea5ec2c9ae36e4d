// Process launch. "/usr/bin/open -a NAME" is this system's launcher request; on Linux it starts the
// desktop entry that NAME names, detached from us, and returns once the application is running (or
// has given up), as open does. Any other executable is spawned and waited for, sharing our streams.
#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/linux/desktop_entries.h"
#include "platform/workspace.h"

extern char** environ;

namespace platform {
namespace {

// How long the launcher waits for a started application to show up among the running ones.
constexpr auto kAppearTimeout = std::chrono::seconds(10);
constexpr auto kAppearPoll = std::chrono::milliseconds(50);

struct FdHolder {
  int fd = -1;
  FdHolder() = default;
  FdHolder(const FdHolder&) = delete;
  FdHolder& operator=(const FdHolder&) = delete;
  ~FdHolder() {
    if (fd >= 0) close(fd);
  }
};

void recordPid(GDesktopAppInfo*, GPid pid, gpointer data) { *static_cast<GPid*>(data) = pid; }

// The application's own session, so that signals meant for us (a terminal's Ctrl-C, a killed process
// group) do not reach it.
void detachChild(gpointer) { setsid(); }

bool processGone(pid_t pid) { return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH); }

bool appeared(pid_t pid, const std::string& name) {
  for (const RunningApplication& app : workspaceRunningApplications()) {
    if (app.processIdentifier == pid) return true;
    if (!name.empty() && app.localizedName == name) return true;
  }
  return false;
}

int launchDesktopEntry(const std::string& requested) {
  const desktop::DesktopEntry* entry = desktop::entryForLaunchName(requested);
  if (!entry) return 1;
  GDesktopAppInfo* info = g_desktop_app_info_new(entry->id.c_str());
  if (!info) return 1;
  // The application must not hold our standard streams: the host reads them to their end.
  FdHolder devNull;
  devNull.fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  GAppLaunchContext* context = g_app_launch_context_new();
  GPid pid = 0;
  GError* error = nullptr;
  gboolean launched = g_desktop_app_info_launch_uris_as_manager_with_fds(info, nullptr, context, G_SPAWN_SEARCH_PATH,
                                                                         detachChild, nullptr, recordPid, &pid,
                                                                         devNull.fd, devNull.fd, devNull.fd, &error);
  g_clear_error(&error);
  g_object_unref(context);
  g_object_unref(info);
  if (!launched) return 1;
  // Reparented to init by GLib's intermediate child, so nothing of ours waits for it.
  auto deadline = std::chrono::steady_clock::now() + kAppearTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (appeared(pid, entry->name)) break;
    // A process that handed over to a running instance, or a wrapper that started the real program.
    if (processGone(pid)) break;
    std::this_thread::sleep_for(kAppearPoll);
  }
  return 0;
}

std::optional<int> spawnAndWait(const std::string& executable, const std::vector<std::string>& arguments) {
  std::vector<std::string> store{executable};
  store.insert(store.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return std::nullopt;
}

}  // namespace

std::optional<int> taskLaunchAndWait(const std::string& executable, const std::vector<std::string>& arguments) {
  if (executable == "/usr/bin/open" && arguments.size() == 2 && arguments[0] == "-a")
    return launchDesktopEntry(arguments[1]);
  return spawnAndWait(executable, arguments);
}

}  // namespace platform
