// relaypost's frame: start-up, one line's handling, and the standard-input loop.
#pragma once

#include <string_view>

#include "relaypost/input_event.h"

namespace relaypost {

// Builds the key tables, creates the event source, clears both buttons and makes the process an
// accessory application. Called once before the first line.
void startUp();

// Calls the handler for the event's type; an unknown type does nothing.
void dispatch(const InputEvent& event);

// One line without its newline: checked for UTF-8, trimmed of Unicode white space, decoded and
// dispatched. A bad line is dropped without a trace; this never throws.
void handleLine(std::string_view line);

// Reads the file descriptor to its end, handling each newline-separated line (and a last line
// without a newline). Lines may be any length: a line's bytes are kept only until it is handled.
// Gives the exit status, always 0.
int runReadLoop(int fd);

}  // namespace relaypost
