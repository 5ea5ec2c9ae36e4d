// Application management over the private desktop: the launcher starts gnome-calculator from its
// desktop entry, the workspace lists it by its entry, and activation brings it back to the front.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "platform/workspace.h"

extern char** environ;

namespace {

std::optional<platform::RunningApplication> findByName(const std::string& name) {
  for (const auto& app : platform::workspaceRunningApplications())
    if (app.localizedName == name) return app;
  return std::nullopt;
}

template <typename Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 200; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(LinuxActivate, LaunchesListsAndActivatesAnApplication) {
  ASSERT_FALSE(findByName("Calculator"));
  EXPECT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "no such application"}), 1);
  // Any case of the entry's Name finds it.
  ASSERT_EQ(platform::taskLaunchAndWait("/usr/bin/open", {"-a", "calculator"}), 0);
  std::optional<platform::RunningApplication> calculator;
  ASSERT_TRUE(eventually([&] { return (calculator = findByName("Calculator")).has_value(); }));
  EXPECT_EQ(calculator->bundleIdentifier, "org.gnome.Calculator");
  ASSERT_TRUE(
      eventually([&] { return platform::workspaceFrontmostApplicationPid() == calculator->processIdentifier; }));

  // Another application takes the front; activation brings the calculator back.
  pid_t other = 0;
  std::vector<std::string> store{"zenity", "--info", "--text=front"};
  std::vector<char*> argv;
  for (auto& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  ASSERT_EQ(posix_spawnp(&other, "zenity", nullptr, nullptr, argv.data(), environ), 0);
  EXPECT_TRUE(eventually([&] { return platform::workspaceFrontmostApplicationPid() == other; }));
  EXPECT_TRUE(
      platform::runningApplicationActivate(calculator->processIdentifier, platform::kApplicationActivateAllWindows));
  EXPECT_TRUE(
      eventually([&] { return platform::workspaceFrontmostApplicationPid() == calculator->processIdentifier; }));
  EXPECT_FALSE(platform::runningApplicationActivate(999999, platform::kApplicationActivateAllWindows));
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
}

TEST(LinuxActivate, OtherExecutablesAreSpawnedAndWaitedFor) {
  EXPECT_EQ(platform::taskLaunchAndWait("/bin/sh", {"-c", "exit 7"}), 7);
  EXPECT_EQ(platform::taskLaunchAndWait("/nonexistent/program", {}), std::nullopt);
}

}  // namespace
