#include "deskhand/cli/clipboard.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deskhand/cli/answers.h"
#include "deskhand/cli/commands.h"
#include "platform/clipboard.h"

namespace deskhand {

namespace {

bool offers(const std::vector<std::string>& types, std::string_view type) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

}  // namespace

ClipboardResponse readClipboard() {
  const std::vector<std::string> types = platform::pasteboardTypes().value_or(std::vector<std::string>{});
  if (std::optional<std::string> text = platform::pasteboardStringForType(platform::kPasteboardTypeString))
    return {"text", std::move(*text)};
  // Offered but not readable: the system is withholding it, which only the user can change.
  if (offers(types, platform::kPasteboardTypeString))
    exitWithError(
        "Could not read the text on the clipboard. If macOS asked to allow pasting from another app, allow Velmora "
        "Zazove under System Settings > Privacy & Security > Paste from Other Apps, then retry.");
  if (types.empty()) return {"empty", std::nullopt};
  if (offers(types, platform::kPasteboardTypeFileURL)) return {"files", std::nullopt};
  if (offers(types, platform::kPasteboardTypePNG) || offers(types, platform::kPasteboardTypeTIFF))
    return {"image", std::nullopt};
  return {"other", std::nullopt};
}

void runReadClipboard(const Arguments&) { printDocument(encodeCompact(readClipboard())); }

}  // namespace deskhand
