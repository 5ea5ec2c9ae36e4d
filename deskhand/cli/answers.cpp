#include "deskhand/cli/answers.h"

#include <cstdio>
#include <cstdlib>

#include "deskhand/cli/json_answers.h"

namespace deskhand {

void printSuccess(const std::optional<std::string>& path) { printDocument(encodeCompact(SuccessResponse{true, path})); }

void exitWithError(const std::string& message) {
  printDocument(encodeCompact(ErrorResponse{message}));
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace deskhand
