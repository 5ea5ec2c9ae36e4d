// Running the built programs in tests: arguments, environment, standard input, and what came back.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

struct ProgramResult {
  int status = -1;  // exit status; 128 + signal when killed by a signal
  std::string out;
  std::string err;
};

// The path of a built program (build/bin/NAME).
std::string programPath(const std::string& name);

// Runs build/bin/NAME with the arguments; `env` entries are added to (or replace in) this process's
// environment; `input` is written to its standard input, which is then closed.
ProgramResult runProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {}, const std::string& input = "");

// A fresh private directory, removed when the test program ends.
std::string tempDir();

// Writes content to a new file in tempDir() and gives its path.
std::string writeTempFile(const std::string& name, const std::string& content);

// A simulated-desktop run: a world file, a journal, and the program's answer.
struct SimRun {
  ProgramResult result;
  std::vector<nlohmann::json> journal;
};

// Runs NAME-sim with SIM_WORLD set to the given world (none: the empty world) and SIM_JOURNAL to a fresh
// journal file, and reads the journal back.
SimRun runSim(const std::string& name, const std::vector<std::string>& args,
              const std::optional<nlohmann::json>& world = std::nullopt, const std::string& input = "",
              const std::map<std::string, std::string>& extraEnv = {});

// The journal lines whose "op" is one of the given names, in order.
std::vector<nlohmann::json> journalOps(const std::vector<nlohmann::json>& journal,
                                       const std::vector<std::string>& ops);

}  // namespace testing_support
