// The command frame: start-up and dispatch of whole deskhand-sim runs, and the answer documents.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "deskhand/cli/json_answers.h"
#include "tests/support/program.h"

namespace {

using testing_support::runSim;

const std::string kPermissionError =
    R"({"error":"Accessibility permission not granted. Check System Settings > Privacy & Security > Accessibility."})";

// Exactly one line on standard output, nothing on standard error, and the expected status.
void expectOneAnswer(const testing_support::ProgramResult& result, const std::string& line, int status) {
  EXPECT_EQ(result.out, line + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, status);
}

TEST(Dispatcher, AnswersAndStatuses) {
  const nlohmann::json untrusted = {{"trusted", false}};
  struct Case {
    std::vector<std::string> args;
    bool trusted;
    std::string answer;
  };
  const Case cases[] = {
      {{}, true, R"({"error":"Usage: velmora-helper <command> [args...]"})"},
      {{}, false, R"({"error":"Usage: velmora-helper <command> [args...]"})"},
      // Words compare case-sensitively, and an unknown word is never gated.
      {{"Click", "1", "2"}, false, R"({"error":"Unknown command: 'Click'"})"},
      {{"frobnicate"}, true, R"({"error":"Unknown command: 'frobnicate'"})"},
      {{""}, true, R"({"error":"Unknown command: ''"})"},
      {{"screenshot "}, true, R"({"error":"Unknown command: 'screenshot '"})"},
      {{"it's \"quoted\"/x"}, true, R"({"error":"Unknown command: 'it's \"quoted\"\/x'"})"},
      // The gate runs before any argument is looked at.
      {{"click"}, false, kPermissionError},
      {{"click", "x", "y"}, false, kPermissionError},
      {{"observe", "--pid", "nope"}, false, kPermissionError},
      {{"double-click"}, false, kPermissionError},
      {{"right-click"}, false, kPermissionError},
      {{"type"}, false, kPermissionError},
      {{"key"}, false, kPermissionError},
      {{"scroll"}, false, kPermissionError},
      {{"drag"}, false, kPermissionError},
      // The capture commands run without the permission.
      {{"screenshot"}, false, R"({"error":"Usage: velmora-helper screenshot <path>"})"},
      {{"screenshot-grid"},
       false,
       R"({"error":"Usage: velmora-helper screenshot-grid <path> --region x y w h --grid <2|3>"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(no arguments)") : c.args[0]);
    auto run = runSim("deskhand", c.args, c.trusted ? std::optional<nlohmann::json>() : untrusted);
    expectOneAnswer(run.result, c.answer, 1);
  }
}

TEST(Dispatcher, SuccessWithoutPermission) {
  const std::string path = testing_support::tempDir() + "/untrusted.png";
  auto run = runSim("deskhand", {"screenshot", path}, nlohmann::json{{"trusted", false}});
  std::string escaped;
  for (char c : path) escaped += c == '/' ? std::string("\\/") : std::string(1, c);
  expectOneAnswer(run.result, R"({"success":true,"path":")" + escaped + R"("})", 0);
}

TEST(JsonAnswers, CompactDocuments) {
  using namespace deskhand;
  EXPECT_EQ(encodeCompact(SuccessResponse{}).value_or(""), R"({"success":true})");
  EXPECT_EQ(encodeCompact(SuccessResponse{true, "/tmp/a.png"}).value_or(""),
            R"({"success":true,"path":"\/tmp\/a.png"})");
  EXPECT_EQ(encodeCompact(SuccessResponse{true, ""}).value_or(""), R"({"success":true,"path":""})");
  EXPECT_EQ(encodeCompact(ErrorResponse{"Unknown command: 'x'"}).value_or(""), R"({"error":"Unknown command: 'x'"})");
  EXPECT_EQ(encodeCompact(ClipboardResponse{"empty", std::nullopt}).value_or(""), R"({"content":"empty"})");
  EXPECT_EQ(encodeCompact(ClipboardResponse{"text", "a\nb"}).value_or(""), R"({"content":"text","text":"a\nb"})");
  EXPECT_EQ(encodeCompact(ClipboardResponse{"text", ""}).value_or(""), R"({"content":"text","text":""})");
}

TEST(JsonAnswers, ObserveDocuments) {
  using namespace deskhand;
  ObserveResult result;
  result.screenshotPath = "/tmp/velmora-screenshot.png";
  EXPECT_EQ(encodePretty(result).value_or(""),
            "{\n  \"elements\" : [],\n  \"screenshotPath\" : \"\\/tmp\\/velmora-screenshot.png\"\n}");

  result.elements = {{7, "AXButton", "OK", "", 100, 200.5, 80, 24},
                     {8, "AXLink", "a\"b", "disabled", -3, 0.1, 1e-7, 1e300}};
  EXPECT_EQ(encodePretty(result).value_or(""),
            "{\n"
            "  \"elements\" : [\n"
            "    {\n"
            "      \"number\" : 7,\n"
            "      \"role\" : \"AXButton\",\n"
            "      \"title\" : \"OK\",\n"
            "      \"state\" : \"\",\n"
            "      \"x\" : 100,\n"
            "      \"y\" : 200.5,\n"
            "      \"width\" : 80,\n"
            "      \"height\" : 24\n"
            "    },\n"
            "    {\n"
            "      \"number\" : 8,\n"
            "      \"role\" : \"AXLink\",\n"
            "      \"title\" : \"a\\\"b\",\n"
            "      \"state\" : \"disabled\",\n"
            "      \"x\" : -3,\n"
            "      \"y\" : 0.1,\n"
            "      \"width\" : 1e-07,\n"
            "      \"height\" : 1e+300\n"
            "    }\n"
            "  ],\n"
            "  \"screenshotPath\" : \"\\/tmp\\/velmora-screenshot.png\"\n"
            "}");

  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    ObserveResult broken = result;
    broken.elements[1].height = bad;
    EXPECT_FALSE(encodePretty(broken)) << bad;
    broken = result;
    broken.elements[0].x = bad;
    EXPECT_FALSE(encodePretty(broken)) << bad;
  }
}

TEST(JsonAnswers, PrintDocument) {
  testing::internal::CaptureStdout();
  deskhand::printDocument(std::nullopt);
  deskhand::printDocument(std::string(R"({"success":true})"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "{\"success\":true}\n");
}

}  // namespace
