// Clipboard reading: the clipboard's text, or what kind of content it holds.
#pragma once

#include "deskhand/cli/json_answers.h"

namespace deskhand {

// The answer for the current clipboard; ends the process through exitWithError when the clipboard
// offers text that cannot be read.
ClipboardResponse readClipboard();

}  // namespace deskhand
