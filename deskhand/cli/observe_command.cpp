#include <cstdint>
#include <optional>
#include <string>

#include "common/number_syntax.h"
#include "deskhand/capture/annotate.h"
#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "deskhand/cli/json_answers.h"
#include "deskhand/observe/enumerate.h"

namespace deskhand {

namespace {

const char* const kDefaultScreenshotPath = "/tmp/velmora-screenshot.png";

struct ObserveOptions {
  std::optional<std::int32_t> pid;
  std::string screenshotPath = kDefaultScreenshotPath;
};

// Options in any order; a later one of the same kind replaces an earlier one (a bad --pid value
// clears the process id), and an option without a value, like any other token, is skipped.
ObserveOptions parseObserveOptions(const Arguments& args) {
  ObserveOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) break;
    if (args[i] == "--pid") {
      options.pid = numbers::parseInt32(args[i + 1]);
      ++i;
    } else if (args[i] == "--screenshot") {
      options.screenshotPath = args[i + 1];
      ++i;
    }
  }
  return options;
}

}  // namespace

void runObserve(const Arguments& args) {
  ObserveOptions options = parseObserveOptions(args);
  std::vector<ElementInfo> elements;
  {
    // The element references live only until each element's state has been read.
    std::vector<RawElement> raw = enumerateElements(options.pid);
    elements = numberElements(raw);
  }
  if (!generateAnnotatedScreenshot(elements, options.screenshotPath)) {
    exitWithError("Annotation/Screenshot pipeline failed");
  }
  printDocument(encodePretty(ObserveResult{std::move(elements), options.screenshotPath}));
}

}  // namespace deskhand
