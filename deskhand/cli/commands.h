// One entry point per command word. Each gets the arguments after the command word, prints its
// answer (or ends the process through exitWithError) and returns normally after a success.
#pragma once

#include <string>
#include <vector>

namespace deskhand {

using Arguments = std::vector<std::string>;

void runObserve(const Arguments& args);
void runClick(const Arguments& args);
void runDoubleClick(const Arguments& args);
void runRightClick(const Arguments& args);
void runType(const Arguments& args);
void runKey(const Arguments& args);
void runScroll(const Arguments& args);
void runDrag(const Arguments& args);
void runScreenshot(const Arguments& args);
void runScreenshotGrid(const Arguments& args);
void runActivate(const Arguments& args);
void runReadClipboard(const Arguments& args);

}  // namespace deskhand
