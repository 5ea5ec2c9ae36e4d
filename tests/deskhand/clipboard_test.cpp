// The read-clipboard command over simulated clipboards: every kind of content and the unreadable text.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/program.h"

namespace {

using json = nlohmann::json;
using testing_support::runSim;

const std::string kUnreadable =
    "{\"error\":\"Could not read the text on the clipboard. If macOS asked to allow pasting from another app, "
    "allow Velmora Zazove under System Settings > Privacy & Security > Paste from Other Apps, then retry.\"}\n";

struct ClipboardCase {
  const char* title;
  json clipboard;
  int status;
  std::string out;
};

TEST(ReadClipboard, AnswersByContent) {
  const ClipboardCase cases[] = {
      {"text",
       {{"types", {"public.utf8-plain-text"}}, {"string", "hello"}},
       0,
       "{\"content\":\"text\",\"text\":\"hello\"}\n"},
      {"empty text",
       {{"types", {"public.utf8-plain-text"}}, {"string", ""}},
       0,
       "{\"content\":\"text\",\"text\":\"\"}\n"},
      {"text wins over everything else",
       {{"types", {"public.png", "public.file-url", "public.utf8-plain-text"}}, {"string", "a\"b/ü"}},
       0,
       "{\"content\":\"text\",\"text\":\"a\\\"b\\/ü\"}\n"},
      {"text without a listed type",
       {{"types", json::array()}, {"string", "x"}},
       0,
       "{\"content\":\"text\",\"text\":\"x\"}\n"},
      {"empty list", {{"types", json::array()}}, 0, "{\"content\":\"empty\"}\n"},
      {"no list", json::object(), 0, "{\"content\":\"empty\"}\n"},
      {"files and image", {{"types", {"public.png", "public.file-url"}}}, 0, "{\"content\":\"files\"}\n"},
      {"png", {{"types", {"public.png"}}}, 0, "{\"content\":\"image\"}\n"},
      {"tiff", {{"types", {"com.example.x", "public.tiff"}}}, 0, "{\"content\":\"image\"}\n"},
      {"other", {{"types", {"com.example.x", "public.rtf"}}}, 0, "{\"content\":\"other\"}\n"},
      {"unreadable text", {{"types", {"public.utf8-plain-text"}}, {"string", nullptr}}, 1, kUnreadable},
      {"unreadable text with files",
       {{"types", {"public.file-url", "public.utf8-plain-text"}}, {"string", nullptr}},
       1,
       kUnreadable},
  };
  for (const ClipboardCase& c : cases) {
    SCOPED_TRACE(c.title);
    auto run = runSim("deskhand", {"read-clipboard", "ignored"}, json{{"clipboard", c.clipboard}});
    EXPECT_EQ(run.result.status, c.status);
    EXPECT_EQ(run.result.out, c.out);
    EXPECT_EQ(run.result.err, "");
  }
}

TEST(ReadClipboard, RunsWithoutTheAccessibilityPermission) {
  auto run = runSim("deskhand", {"read-clipboard"},
                    json{{"trusted", false}, {"clipboard", {{"types", {"public.utf8-plain-text"}}, {"string", "t"}}}});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.out, "{\"content\":\"text\",\"text\":\"t\"}\n");
}

}  // namespace
