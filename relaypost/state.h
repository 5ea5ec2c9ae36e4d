// The process-wide state of relaypost, set up once at start-up (see relay.h).
#pragma once

#include "platform/events.h"

namespace relaypost {

// The one event source; null when it could not be created, and events are then made without one.
extern platform::EventSource eventSource;

// The pressed state of the remote buttons; carried from line to line, changed only by presses and
// releases that were posted.
extern bool leftButtonDown;
extern bool rightButtonDown;

}  // namespace relaypost
