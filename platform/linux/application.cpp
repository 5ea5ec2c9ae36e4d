// There is no dock or menu bar to keep out of on Linux: the activation policy changes nothing.
#include "platform/application.h"

namespace platform {

void applicationSetActivationPolicy(int) {}

}  // namespace platform
