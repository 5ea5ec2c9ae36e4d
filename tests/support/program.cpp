#include "tests/support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {
namespace {

struct TempRoot {
  std::string path;
  TempRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path = pattern;
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

int counter = 0;

}  // namespace

std::string programPath(const std::string& name) { return std::string(VELMORA_BIN_DIR) + "/" + name; }

std::string tempDir() {
  static TempRoot root;
  return root.path;
}

std::string writeTempFile(const std::string& name, const std::string& content) {
  std::string path = tempDir() + "/" + std::to_string(++counter) + "-" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

ProgramResult runProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
  std::string path = programPath(name);
  std::vector<std::string> argvStore{path};
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (auto& [k, v] : env) merged[k] = v;
  std::vector<std::string> envStore;
  for (auto& [k, v] : merged) envStore.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    close(errPipe[0]);
    throw std::runtime_error("cannot start " + path + ": " + std::strerror(rc));
  }

  // Feed standard input and drain both outputs together so that no pipe fills up.
  signal(SIGPIPE, SIG_IGN);
  ProgramResult result;
  std::size_t written = 0;
  int inFd = inPipe[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  char buffer[65536];
  while (outOpen || errOpen || inFd >= 0) {
    pollfd fds[3];
    int n = 0;
    int outIdx = -1, errIdx = -1, inIdx = -1;
    if (outOpen) fds[outIdx = n++] = {outPipe[0], POLLIN, 0};
    if (errOpen) fds[errIdx = n++] = {errPipe[0], POLLIN, 0};
    if (inFd >= 0) fds[inIdx = n++] = {inFd, POLLOUT, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    auto drain = [&](int idx, int fd, bool& open, std::string& into) {
      if (idx < 0 || !(fds[idx].revents & (POLLIN | POLLHUP | POLLERR))) return;
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got > 0)
        into.append(buffer, static_cast<std::size_t>(got));
      else if (got == 0 || errno != EINTR)
        open = false;
    };
    drain(outIdx, outPipe[0], outOpen, result.out);
    drain(errIdx, errPipe[0], errOpen, result.err);
    if (inIdx >= 0 && (fds[inIdx].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t put = write(inFd, input.data() + written, std::min<std::size_t>(input.size() - written, 65536));
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 && errno != EINTR && errno != EAGAIN) written = input.size();
      if (written >= input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

SimRun runSim(const std::string& name, const std::vector<std::string>& args, const std::optional<nlohmann::json>& world,
              const std::string& input, const std::map<std::string, std::string>& extraEnv) {
  std::map<std::string, std::string> env = extraEnv;
  if (world) env["SIM_WORLD"] = writeTempFile("world.json", world->dump());
  std::string journalPath = tempDir() + "/" + std::to_string(++counter) + "-journal.jsonl";
  env["SIM_JOURNAL"] = journalPath;
  SimRun run;
  run.result = runProgram(name + "-sim", args, env, input);
  std::ifstream journal(journalPath);
  std::string line;
  while (std::getline(journal, line))
    if (!line.empty()) run.journal.push_back(nlohmann::json::parse(line));
  return run;
}

std::vector<nlohmann::json> journalOps(const std::vector<nlohmann::json>& journal, const std::vector<std::string>& ops) {
  std::vector<nlohmann::json> out;
  for (const auto& line : journal)
    for (const auto& op : ops)
      if (line.value("op", "") == op) out.push_back(line);
  return out;
}

}  // namespace testing_support
