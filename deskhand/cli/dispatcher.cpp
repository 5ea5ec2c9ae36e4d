#include "deskhand/cli/dispatcher.h"

namespace deskhand {

// Scaffolding until the command frame lands.
int runMain(int, char**) { return 1; }

}  // namespace deskhand
