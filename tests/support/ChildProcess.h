// Helper programs of a test (X server, session bus, stand-in services, the program itself),
// started with posix_spawn and ended by their pid.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace velmora::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(); }

  // Starts `argv` with `environment` (entries "NAME=value", which win over this process's own)
  // added to this process's environment.
  bool start(std::vector<std::string> argv, std::vector<std::string> environment = {}) {
    std::vector<char*> args, envp;
    for (std::string& arg : argv) args.push_back(arg.data());
    for (std::string& entry : environment) envp.push_back(entry.data());
    for (char** entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
    args.push_back(nullptr);
    envp.push_back(nullptr);
    exitStatus_ = -1;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    for (int fd = 0; quiet && fd <= 2; ++fd)
      ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    const int failed = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    return failed == 0;
  }

  // Starts `argv` with a pipe named by `flag` ("--print-address=" joins the descriptor,
  // "-displayfd" takes it as the next argument) and returns the first line the program writes
  // there.
  std::string startAndReadLine(std::vector<std::string> argv, const std::string& flag) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    if (flag.back() == '=') {
      argv.push_back(flag + std::to_string(fds[1]));
    } else {
      argv.push_back(flag);
      argv.push_back(std::to_string(fds[1]));
    }
    const bool started = start(argv);
    ::close(fds[1]);
    std::string line;
    char c = 0;
    while (started && ::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(fds[0]);
    return line;
  }

  // Set before starting: the program reads and writes /dev/null, so nothing it leaves running
  // (a server's own helpers) holds the test's output open.
  bool quiet = false;

  pid_t pid() const { return pid_; }
  bool running() { return pid_ > 0 && !reap(WNOHANG); }
  void signal(int number) {
    if (pid_ > 0) ::kill(pid_, number);
  }
  // The exit status after the program ended (128 + signal when killed); -1 while running.
  int wait() {
    if (pid_ > 0) reap(0);
    return exitStatus_;
  }
  void stop() {
    signal(SIGTERM);
    wait();
  }

 private:
  // Collects the exit status once the program has ended; with WNOHANG only if it already has.
  bool reap(int options) {
    int status = 0;
    if (::waitpid(pid_, &status, options) != pid_ && options == WNOHANG) return false;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = 0;
    return true;
  }

  pid_t pid_ = 0;
  int exitStatus_ = -1;
};

// Polls `condition` until it holds or `limit` passes: the limit only catches hangs.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return condition();
}

// What `command` writes to its standard output ("" when it cannot run).
inline std::string commandOutput(const std::string& command) {
  std::string text;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  ::pclose(pipe);
  return text;
}

}  // namespace velmora::test

// Skips the calling test for `reason` when there is one, or fails it under
// VELMORA_REQUIRE_INTEGRATION=1: CI installs every server and tool.
#define VELMORA_REQUIRE(reason)                                               \
  do {                                                                        \
    if (const std::string& why = (reason); !why.empty()) {                    \
      const char* required = std::getenv("VELMORA_REQUIRE_INTEGRATION");      \
      if (required != nullptr && std::string(required) == "1") FAIL() << why; \
      GTEST_SKIP() << why;                                                    \
    }                                                                         \
  } while (0)

// Requires that the shell command `check` (the tools a test needs) succeeds.
#define VELMORA_REQUIRE_TOOLS(check)                                                             \
  VELMORA_REQUIRE(                                                                               \
      ::velmora::test::commandOutput("(" + std::string(check) + ") >/dev/null 2>&1 && echo yes") \
              .empty()                                                                           \
          ? std::string(check) + " failed"                                                       \
          : std::string())
