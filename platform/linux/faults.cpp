// The Linux backend never fails an operation on purpose.
#include "platform/faults.h"

namespace platform {

bool operationFails(std::string_view) { return false; }

}  // namespace platform
