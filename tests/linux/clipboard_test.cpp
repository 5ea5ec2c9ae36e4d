// Reading the X CLIPBOARD with xclip as the owner: text (ASCII, Unicode, Latin-1 STRING, 10 MB through
// INCR), file lists, images, and an owner that never answers.
#include "deskhand/cli/clipboard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clipboard.h"
#include "platform/linux/x_connection.h"
#include "tests/support/program.h"

extern char** environ;

namespace {

xcb_window_t clipboardOwner() {
  xcb_connection_t* conn = platform::x11::connection();
  auto r = platform::x11::reply(
      xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, platform::x11::atom("CLIPBOARD")), nullptr));
  return r ? r->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// xclip serving one file as one target, in the foreground so that we can stop and end it.
struct XclipOwner {
  pid_t pid = 0;
  XclipOwner(const std::string& target, const std::string& content) {
    std::string path = testing_support::writeTempFile("clip", content);
    std::vector<std::string> store{"xclip", "-quiet", "-selection", "clipboard", "-t", target, "-i", path};
    std::vector<char*> argv;
    for (auto& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    EXPECT_EQ(posix_spawnp(&pid, "xclip", &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 500 && clipboardOwner() == XCB_WINDOW_NONE; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  XclipOwner(const XclipOwner&) = delete;
  XclipOwner& operator=(const XclipOwner&) = delete;
  ~XclipOwner() {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    for (int i = 0; i < 500 && clipboardOwner() != XCB_WINDOW_NONE; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
};

using Types = std::vector<std::string>;

TEST(LinuxClipboard, NoOwnerIsEmpty) {
  ASSERT_EQ(clipboardOwner(), XCB_WINDOW_NONE);
  EXPECT_EQ(platform::pasteboardTypes(), Types{});
  EXPECT_FALSE(platform::pasteboardStringForType(platform::kPasteboardTypeString));
  EXPECT_EQ(deskhand::readClipboard().content, "empty");
}

struct TextCase {
  const char* title;
  const char* target;
  std::string content;
  std::string expected;
};

TEST(LinuxClipboard, ReadsText) {
  std::string big(10 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>('a' + i % 26);
  const TextCase cases[] = {
      {"ascii", "UTF8_STRING", "hello", "hello"},
      {"unicode", "UTF8_STRING", "h\u00e9llo w\u00f6rld \u2713 \u65e5\u672c \U0001F600",
       "h\u00e9llo w\u00f6rld \u2713 \u65e5\u672c \U0001F600"},
      {"latin-1 STRING only", "STRING", "caf\xe9", "caf\u00e9"},
      {"10 MB through INCR", "UTF8_STRING", big, big},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.title);
    XclipOwner owner(c.target, c.content);
    std::optional<Types> types = platform::pasteboardTypes();
    ASSERT_TRUE(types);
    EXPECT_EQ(*types, Types{std::string(platform::kPasteboardTypeString)});
    auto start = std::chrono::steady_clock::now();
    deskhand::ClipboardResponse answer = deskhand::readClipboard();
    std::cout << "[ " << c.title << ": "
              << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count()
              << " ms ]\n";
    EXPECT_EQ(answer.content, "text");
    ASSERT_TRUE(answer.text);
    EXPECT_EQ(answer.text->size(), c.expected.size());
    EXPECT_TRUE(*answer.text == c.expected);
  }
}

struct KindCase {
  const char* target;
  Types types;
  const char* content;
};

TEST(LinuxClipboard, ReportsTheKindOfOtherContent) {
  const KindCase cases[] = {
      {"text/uri-list", {"public.file-url"}, "files"},
      {"x-special/gnome-copied-files", {"public.file-url"}, "files"},
      {"image/png", {"public.png"}, "image"},
      {"image/tiff", {"public.tiff"}, "image"},
      {"application/x-example", {"application/x-example"}, "other"},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.target);
    XclipOwner owner(c.target, "file:///tmp/a\n");
    EXPECT_EQ(platform::pasteboardTypes(), c.types);
    EXPECT_FALSE(platform::pasteboardStringForType(platform::kPasteboardTypeString));
    deskhand::ClipboardResponse answer = deskhand::readClipboard();
    EXPECT_EQ(answer.content, c.content);
    EXPECT_FALSE(answer.text);
  }
}

// A stopped owner never answers: the text is offered as far as we can tell, and cannot be read.
TEST(LinuxClipboard, SilentOwnerGivesUnreadableText) {
  XclipOwner owner("UTF8_STRING", "never delivered");
  ASSERT_NE(clipboardOwner(), XCB_WINDOW_NONE);
  kill(owner.pid, SIGSTOP);
  auto start = std::chrono::steady_clock::now();
  std::optional<Types> types = platform::pasteboardTypes();
  std::optional<std::string> text = platform::pasteboardStringForType(platform::kPasteboardTypeString);
  std::cout << "[ silent owner: "
            << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() << " ms ]\n";
  // readClipboard turns exactly this into the unreadable-text error.
  EXPECT_EQ(types, Types{std::string(platform::kPasteboardTypeString)});
  EXPECT_FALSE(text);
  kill(owner.pid, SIGCONT);
}

}  // namespace
