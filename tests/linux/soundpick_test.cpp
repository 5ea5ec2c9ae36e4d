// soundpick against a real sound server: a private PulseAudio daemon with null sinks and sources, started
// here with its own runtime directory and socket, so the machine's own audio setup is never touched.
// pactl, the server's own client, is the independent witness of what the defaults are.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/program.h"

namespace {

using testing_support::runProgram;

// Null devices: descriptions with spaces, an accent, quotes and a backslash, and one description shared
// by a sink and a source.
const char* const serverScript = R"(
load-module module-native-protocol-unix auth-anonymous=1 socket=@SOCKET@
load-module module-null-sink sink_name=spk sink_properties='device.description="Café Speakers"'
load-module module-null-sink sink_name=quoted sink_properties='device.description="Out \"q\" \\b"'
load-module module-null-sink sink_name=twin_sink sink_properties='device.description="Twin"'
load-module module-null-source source_name=twin_src description=Twin
load-module module-null-source source_name=mic description="Desk Mic"
)";

struct Server {
  pid_t pid = -1;
  std::string dir;
  std::string socket;
};

Server server;

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a pactl command line against the private server; its standard output without the last line feed.
std::string pactl(const std::string& arguments) {
  std::string command = "PULSE_SERVER=" + shellQuote("unix:" + server.socket) + " pactl " + arguments + " 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

void stopServer() {
  if (server.pid <= 0) return;
  kill(server.pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(server.pid, nullptr, WNOHANG) == server.pid) {
      server.pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(server.pid, SIGKILL);
  waitpid(server.pid, nullptr, 0);
  server.pid = -1;
}

void startServer() {
  server.dir = testing_support::tempDir() + "/pulse";
  const std::string runtime = server.dir + "/runtime";
  const std::string home = server.dir + "/home";
  server.socket = server.dir + "/native";
  mkdir(server.dir.c_str(), 0700);
  mkdir(runtime.c_str(), 0700);
  mkdir(home.c_str(), 0700);
  std::string script = serverScript;
  script.replace(script.find("@SOCKET@"), 8, server.socket);
  const std::string scriptPath = server.dir + "/server.pa";
  std::ofstream(scriptPath) << script;
  const std::string logPath = server.dir + "/server.log";

  pid_t pid = fork();
  if (pid == 0) {
    // The daemon must not outlive the test program, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
    unsetenv("PULSE_SERVER");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (std::FILE* log = std::fopen(logPath.c_str(), "w")) {
      dup2(fileno(log), 1);
      dup2(fileno(log), 2);
    }
    execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
           "--disable-shm=yes", "--log-target=stderr", "-F", scriptPath.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  server.pid = pid;
  // Ready once its own client can talk to it and every device is loaded.
  for (int i = 0; i < 200; ++i) {
    if (pactl("list short sources").find("mic") != std::string::npos) return;
    if (waitpid(server.pid, nullptr, WNOHANG) == server.pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::ifstream log(logPath);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  stopServer();
  FAIL() << "the private PulseAudio server did not start:\n" << text;
}

class SoundpickPulse : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startServer(); }
  static void TearDownTestSuite() { stopServer(); }
  void SetUp() override {
    ASSERT_GT(server.pid, 0) << "no private server";
    pactl("set-default-sink spk");
    pactl("set-default-source mic");
    ASSERT_EQ(pactl("get-default-sink"), "spk");
    ASSERT_EQ(pactl("get-default-source"), "mic");
  }
  static testing_support::ProgramResult soundpick(const std::vector<std::string>& args) {
    return runProgram("soundpick", args, {{"PULSE_SERVER", "unix:" + server.socket}});
  }
};

TEST_F(SoundpickPulse, GetPrintsTheServerDefaultsByDescription) {
  struct Case {
    const char* sink;
    const char* source;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"spk", "mic", "{\"output\":\"Café Speakers\",\"input\":\"Desk Mic\"}\n"},
      {"quoted", "twin_src", "{\"output\":\"Out \\\"q\\\" \\\\b\",\"input\":\"Twin\"}\n"},
      {"twin_sink", "spk.monitor", "{\"output\":\"Twin\",\"input\":\"Monitor of Café Speakers\"}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sink);
    pactl(std::string("set-default-sink ") + c.sink);
    pactl(std::string("set-default-source ") + c.source);
    auto result = soundpick({"get"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(SoundpickPulse, SetMakesTheNamedDevicesTheDefaults) {
  struct Case {
    std::vector<std::string> args;
    const char* sink;
    const char* source;
  };
  const std::vector<Case> cases = {
      {{"set", "--output", "Twin", "--input", "Twin"}, "twin_sink", "twin_src"},
      {{"set", "--input", "Desk Mic", "--output", "Out \"q\" \\b"}, "quoted", "mic"},
      // The combining acute accent finds the server's precomposed é.
      {{"set", "--output", "Cafe\xCC\x81 Speakers", "--input", "Monitor of Twin"}, "spk", "twin_sink.monitor"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sink);
    auto result = soundpick(c.args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(pactl("get-default-sink"), c.sink);
    EXPECT_EQ(pactl("get-default-source"), c.source);
  }
}

TEST_F(SoundpickPulse, AMissingNameChangesNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"set", "--output", "Nope", "--input", "Twin"}, "Output device not found: Nope\n"},
      {{"set", "--output", "Desk Mic", "--input", "Desk Mic"}, "Output device not found: Desk Mic\n"},
      {{"set", "--output", "café speakers", "--input", "Twin"}, "Output device not found: café speakers\n"},
      {{"set", "--output", "Twin", "--input", "Café Speakers"}, "Input device not found: Café Speakers\n"},
      {{"set", "--output", "Twin", "--input", "Twin "}, "Input device not found: Twin \n"},
      {{"set", "--output", "Twin", "--input"}, "Usage: soundpick set --output <name> --input <name>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    auto result = soundpick(c.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(pactl("get-default-sink"), "spk");
    EXPECT_EQ(pactl("get-default-source"), "mic");
  }
}

// No server behind the address, or one that never answers: get names nothing and set finds nothing,
// and neither prints anything of the sound library's own.
TEST(SoundpickNoServer, GetIsEmptyAndSetFindsNothing) {
  const std::string dir = testing_support::tempDir();
  const std::string silent = dir + "/silent-socket";
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(silent.size(), sizeof address.sun_path);
  silent.copy(address.sun_path, silent.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 8), 0);  // accepted by the kernel, never answered

  for (const std::string& where : {"unix:" + dir + "/no-such-socket", "unix:" + silent}) {
    SCOPED_TRACE(where);
    auto get = runProgram("soundpick", {"get"}, {{"PULSE_SERVER", where}});
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "{\"output\":\"\",\"input\":\"\"}\n");
    EXPECT_EQ(get.err, "");
    auto set = runProgram("soundpick", {"set", "--output", "Twin", "--input", "Twin"}, {{"PULSE_SERVER", where}});
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "Output device not found: Twin\n");
  }
  close(listener);
}

}  // namespace
