// A real sleep of the calling thread; a signal that interrupts it does not shorten it.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace platform {

void sleepMicroseconds(std::uint32_t microseconds) {
  timespec remaining{static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
