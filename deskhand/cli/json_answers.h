// The records deskhand answers with, and their JSON documents (compact, or pretty for observe).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace deskhand {

struct SuccessResponse {
  bool success = true;
  std::optional<std::string> path;
};

struct ErrorResponse {
  std::string error;
};

struct ClipboardResponse {
  std::string content;  // "text", "empty", "files", "image" or "other"
  std::optional<std::string> text;
};

struct ElementInfo {
  std::int64_t number = 0;
  std::string role;
  std::string title;
  std::string state;
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

struct ObserveResult {
  std::vector<ElementInfo> elements;
  std::string screenshotPath;
};

// Each gives the document's bytes, or nothing when a value cannot be written (a non-finite number).
std::optional<std::string> encodeCompact(const SuccessResponse& response);
std::optional<std::string> encodeCompact(const ErrorResponse& response);
std::optional<std::string> encodeCompact(const ClipboardResponse& response);
std::optional<std::string> encodePretty(const ObserveResult& result);

// Writes the document and one line feed to standard output; nothing at all when there is no document.
void printDocument(const std::optional<std::string>& document);

}  // namespace deskhand
