// Linux side of the event posting service: XTEST fake input on the shared X connection.
#pragma once

#include <chrono>

namespace platform::x11 {

// How long a borrowed keycode stays bound after its last key event was processed by the server, so that
// clients that refetch the keyboard mapping on the change notification translate the event with it.
inline constexpr std::chrono::milliseconds kKeymapSettle{40};
// Before a borrowed keycode is rebound to another character: longer, because every mapping change makes
// each client (window manager included) reload its keymap, and a run of changes puts them behind.
inline constexpr std::chrono::milliseconds kRebindSettle{150};

// Wheel clicks per pixel-unit scroll distance: one click per this many pixels, remainder kept per axis.
inline constexpr int kPixelsPerWheelClick = 50;

// Releases every key our events pressed and still hold (modifiers included) and gives back every keycode
// borrowed for characters missing from the keymap, restoring the mapping exactly. Registered to run at
// exit, so no command leaves a modifier held; safe to call at any time.
void releaseInput();

}  // namespace platform::x11
