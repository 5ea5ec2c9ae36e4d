#include "common/json_writer.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/unicode.h"

namespace text {
namespace {

void newline(JsonWriter& writer) {
  writer.out += '\n';
  writer.out.append(2 * writer.containerIsEmpty.size(), ' ');
}

// Separator and indentation before a member key or an array element (or a top-level value).
void beginValue(JsonWriter& writer) {
  if (writer.afterKey) {
    writer.afterKey = false;
    return;
  }
  if (writer.containerIsEmpty.empty()) return;
  if (!writer.containerIsEmpty.back()) writer.out += ',';
  writer.containerIsEmpty.back() = false;
  if (writer.layout == JsonLayout::pretty) newline(writer);
}

void close(JsonWriter& writer, char bracket) {
  if (writer.failed) return;
  if (writer.containerIsEmpty.empty()) {
    writer.failed = true;
    return;
  }
  const bool empty = writer.containerIsEmpty.back();
  writer.containerIsEmpty.pop_back();
  // An empty container closes on its own line's end: {} and [].
  if (writer.layout == JsonLayout::pretty && !empty) newline(writer);
  writer.out += bracket;
}

void open(JsonWriter& writer, char bracket) {
  if (writer.failed) return;
  beginValue(writer);
  writer.out += bracket;
  writer.containerIsEmpty.push_back(true);
}

void appendEscaped(std::string& out, std::string_view value) {
  static constexpr char hex[] = "0123456789abcdef";
  out += '"';
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

}  // namespace

void jsonBeginObject(JsonWriter& writer) { open(writer, '{'); }
void jsonEndObject(JsonWriter& writer) { close(writer, '}'); }
void jsonBeginArray(JsonWriter& writer) { open(writer, '['); }
void jsonEndArray(JsonWriter& writer) { close(writer, ']'); }

void jsonKey(JsonWriter& writer, std::string_view key) {
  if (writer.failed) return;
  beginValue(writer);
  writer.out += jsonQuote(key);
  writer.out += writer.layout == JsonLayout::pretty ? " : " : ":";
  writer.afterKey = true;
}

void jsonString(JsonWriter& writer, std::string_view value) {
  if (writer.failed) return;
  beginValue(writer);
  writer.out += jsonQuote(value);
}

void jsonBool(JsonWriter& writer, bool value) {
  if (writer.failed) return;
  beginValue(writer);
  writer.out += value ? "true" : "false";
}

void jsonInt(JsonWriter& writer, std::int64_t value) {
  if (writer.failed) return;
  beginValue(writer);
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  writer.out.append(buffer, result.ptr);
}

void jsonDouble(JsonWriter& writer, double value) {
  if (writer.failed) return;
  std::optional<std::string> number = jsonNumber(value);
  if (!number) {
    writer.failed = true;
    return;
  }
  beginValue(writer);
  writer.out += *number;
}

std::optional<std::string> jsonFinish(const JsonWriter& writer) {
  if (writer.failed || !writer.containerIsEmpty.empty() || writer.afterKey || writer.out.empty()) return std::nullopt;
  return writer.out;
}

std::string jsonQuote(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  if (isValidUtf8(value)) {
    appendEscaped(out, value);
  } else {
    appendEscaped(out, toUtf8(toUtf16(value)));
  }
  return out;
}

std::optional<std::string> jsonNumber(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  if (value == 0) return std::string("0");  // negative zero too: -0 reads as 0 in every consumer
  char buffer[64];
  // Integral values of ordinary size as plain digits (100, not 1e2); beyond 2^53 the shortest form
  // (which may use an exponent) still reads back exactly.
  if (std::trunc(value) == value && std::fabs(value) < 9007199254740992.0) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
    return std::string(buffer, result.ptr);
  }
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace text
