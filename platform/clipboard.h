// The system clipboard: the offered type identifiers and the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::string_view kPasteboardTypeString = "public.utf8-plain-text";
inline constexpr std::string_view kPasteboardTypeFileURL = "public.file-url";
inline constexpr std::string_view kPasteboardTypePNG = "public.png";
inline constexpr std::string_view kPasteboardTypeTIFF = "public.tiff";

// The offered types in the platform's order, or nothing.
std::optional<std::vector<std::string>> pasteboardTypes();

// The text for a type, or nothing when there is none or it cannot be read.
std::optional<std::string> pasteboardStringForType(std::string_view type);

}  // namespace platform
