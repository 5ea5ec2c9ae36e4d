// Unicode text on UTF-8 strings, through ICU: full lower-casing, user-perceived characters (extended
// grapheme clusters), canonical equivalence, white-space trimming and UTF-16 conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Full Unicode lower-case mapping (language-neutral), e.g. "ẞ" -> "ß", "İ" -> "i̇".
std::string toLowerFull(std::string_view utf8);

// Number of extended grapheme clusters.
std::size_t graphemeCount(std::string_view utf8);

// The first `count` grapheme clusters (the whole text when it has fewer).
std::string graphemePrefix(std::string_view utf8, std::size_t count);

// When the text has more than `limit` clusters: its first `limit` followed by U+2026; else unchanged.
std::string truncateWithEllipsis(std::string_view utf8, std::size_t limit);

// Exactly one grapheme cluster.
bool isSingleGrapheme(std::string_view utf8);

// Equal under Unicode canonical equivalence (compared in NFD), case-sensitive.
bool canonicallyEqual(std::string_view a, std::string_view b);

// Removes Unicode white space (including line breaks) from both ends.
std::string_view trimWhitespace(std::string_view utf8);

bool isValidUtf8(std::string_view bytes);

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

}  // namespace text
