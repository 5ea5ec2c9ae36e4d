#include "deskhand/cli/json_answers.h"

#include <cstdio>

#include "common/json_writer.h"

namespace deskhand {

using text::JsonLayout;
using text::JsonWriter;

std::optional<std::string> encodeCompact(const SuccessResponse& response) {
  JsonWriter w;
  text::jsonBeginObject(w);
  text::jsonKey(w, "success");
  text::jsonBool(w, response.success);
  if (response.path) {
    text::jsonKey(w, "path");
    text::jsonString(w, *response.path);
  }
  text::jsonEndObject(w);
  return text::jsonFinish(w);
}

std::optional<std::string> encodeCompact(const ErrorResponse& response) {
  JsonWriter w;
  text::jsonBeginObject(w);
  text::jsonKey(w, "error");
  text::jsonString(w, response.error);
  text::jsonEndObject(w);
  return text::jsonFinish(w);
}

std::optional<std::string> encodeCompact(const ClipboardResponse& response) {
  JsonWriter w;
  text::jsonBeginObject(w);
  text::jsonKey(w, "content");
  text::jsonString(w, response.content);
  if (response.text) {
    text::jsonKey(w, "text");
    text::jsonString(w, *response.text);
  }
  text::jsonEndObject(w);
  return text::jsonFinish(w);
}

std::optional<std::string> encodePretty(const ObserveResult& result) {
  JsonWriter w;
  w.layout = JsonLayout::pretty;
  text::jsonBeginObject(w);
  text::jsonKey(w, "elements");
  text::jsonBeginArray(w);
  for (const ElementInfo& element : result.elements) {
    text::jsonBeginObject(w);
    text::jsonKey(w, "number");
    text::jsonInt(w, element.number);
    text::jsonKey(w, "role");
    text::jsonString(w, element.role);
    text::jsonKey(w, "title");
    text::jsonString(w, element.title);
    text::jsonKey(w, "state");
    text::jsonString(w, element.state);
    text::jsonKey(w, "x");
    text::jsonDouble(w, element.x);
    text::jsonKey(w, "y");
    text::jsonDouble(w, element.y);
    text::jsonKey(w, "width");
    text::jsonDouble(w, element.width);
    text::jsonKey(w, "height");
    text::jsonDouble(w, element.height);
    text::jsonEndObject(w);
  }
  text::jsonEndArray(w);
  text::jsonKey(w, "screenshotPath");
  text::jsonString(w, result.screenshotPath);
  text::jsonEndObject(w);
  return text::jsonFinish(w);
}

void printDocument(const std::optional<std::string>& document) {
  if (!document) return;
  std::string line = *document;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace deskhand
