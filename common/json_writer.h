// A small JSON writer with exact output bytes: compact or pretty layout, members in the order they are
// written, solidus escaped, integral doubles without a fraction and non-finite numbers refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

enum class JsonLayout { compact, pretty };

// A document being written. Containers are opened and closed with the functions below; a value written
// after jsonKey belongs to that key. Once `failed` is set every further call is ignored.
struct JsonWriter {
  JsonLayout layout = JsonLayout::compact;
  std::string out;
  std::vector<bool> containerIsEmpty;  // one entry per open container
  bool afterKey = false;
  bool failed = false;
};

void jsonBeginObject(JsonWriter& writer);
void jsonEndObject(JsonWriter& writer);
void jsonBeginArray(JsonWriter& writer);
void jsonEndArray(JsonWriter& writer);
void jsonKey(JsonWriter& writer, std::string_view key);
void jsonString(JsonWriter& writer, std::string_view value);
void jsonBool(JsonWriter& writer, bool value);
void jsonInt(JsonWriter& writer, std::int64_t value);
// Shortest form that reads back as the same double; integral values without a fraction (negative zero
// as 0). Infinite or NaN values make the whole document fail.
void jsonDouble(JsonWriter& writer, double value);

// The document's bytes, or nothing when a value could not be written or a container is left open.
std::optional<std::string> jsonFinish(const JsonWriter& writer);

// The string as a JSON string token, quotes included. Invalid UTF-8 is repaired with U+FFFD first,
// so the document is always valid UTF-8.
std::string jsonQuote(std::string_view value);

// The number as a JSON number token, or nothing when it is not finite.
std::optional<std::string> jsonNumber(double value);

}  // namespace text
