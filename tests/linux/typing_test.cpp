// deskhand type into a real GTK entry (zenity --entry): accents, quotes, CJK and emoji arrive intact,
// a surrogate pair cut by the 20-unit chunking included, and the keyboard mapping is left as it was.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/unicode.h"
#include "tests/linux/recorder_support.h"
#include "tests/support/program.h"

namespace {

using testing_support::runProgram;

// zenity --entry as a child; gives what it printed once it has exited.
struct Zenity {
  pid_t pid = -1;
  int out = -1;
  ~Zenity() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
    if (out >= 0) ::close(out);
  }
};

bool startZenity(Zenity& z) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  z.pid = ::fork();
  if (z.pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execlp("zenity", "zenity", "--entry", "--title=typing", "--text=type here", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  z.out = fds[0];
  std::string wait = "timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(z.pid) + " >/dev/null";
  if (std::system(wait.c_str()) != 0) return false;
  // The window is mapped; give GTK a moment to take the focus and realise the entry.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  return true;
}

std::string finishZenity(Zenity& z) {
  std::string text;
  char buf[4096];
  for (;;) {
    pollfd p{z.out, POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) break;  // fail-safe only
    ssize_t n = ::read(z.out, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::waitpid(z.pid, nullptr, 0);
  z.pid = -1;
  return text;
}

TEST(DeskhandType, GtkEntryReceivesTheTextExactly) {
  // 19 UTF-16 units, so the emoji that follows is cut between the first and the second chunk.
  const std::string prefix = "Crème brûlée “naï” ";
  ASSERT_EQ(text::toUtf16(prefix).size(), 19u);
  const std::string texts[] = {
      prefix + "😀 日本語のテキスト 'single' \"double\" éàüß 🎉 ok",
      // Combining marks type as their own keysyms; capitals and symbols need Shift.
      "e\u0301 A!@#$%^&*()_+{}|:<>? Ωмир",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    auto before = recorder::coreKeymap();
    Zenity z;
    ASSERT_TRUE(startZenity(z));
    auto typed = runProgram("deskhand", {"type", text});
    EXPECT_EQ(typed.status, 0) << typed.out << typed.err;
    EXPECT_EQ(typed.out, "{\"success\":true}\n");
    auto enter = runProgram("deskhand", {"key", "return"});
    EXPECT_EQ(enter.status, 0) << enter.out;
    EXPECT_EQ(finishZenity(z), text + "\n");
    EXPECT_EQ(recorder::coreKeymap(), before) << "the keyboard mapping was not restored";
    EXPECT_EQ(recorder::keysDown(), std::vector<int>{});
  }
}

}  // namespace
