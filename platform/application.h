// The process's shared application object.
#pragma once

namespace platform {

inline constexpr int kApplicationActivationPolicyAccessory = 1;

// Makes the process an accessory (no dock entry or menu bar). Nothing to do on Linux.
void applicationSetActivationPolicy(int policy);

}  // namespace platform
