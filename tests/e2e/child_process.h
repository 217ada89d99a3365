#pragma once

// A program started by a test: its output goes to files so that a failing test can show it,
// and it is ended (SIGTERM, then SIGKILL) if the test has not waited for it.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace rx::test {

class ChildProcess {
 public:
  // Starts `argv[0]` (a path) with `argv`; `env` entries are added to, or replace, the
  // test's own environment. Output goes to `log_path` (stdout and stderr together), unless
  // `stdout_path` names a file for stdout alone (to compare it without what stderr carries).
  ChildProcess(const std::vector<std::string>& argv, const std::string& log_path,
               const std::map<std::string, std::string>& env = {},
               const std::string& working_dir = {}, const std::string& stdout_path = {})
      : log_path_(log_path) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
      std::string entry = *e;
      if (!env.contains(entry.substr(0, entry.find('=')))) env_strings.push_back(entry);
    }
    for (const auto& [name, value] : env) env_strings.push_back(name + "=" + value);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (stdout_path.empty()) {
      posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdout_path.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that ending it also ends what it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (auto& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int error =
        posix_spawn(&pid_, argv.at(0).c_str(), &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  ~ChildProcess() {
    if (Running()) {
      Signal(SIGTERM);
      if (!WaitFor(std::chrono::seconds(3))) {
        Signal(SIGKILL);
        WaitFor(std::chrono::seconds(3));
      }
    }
  }

  pid_t Pid() const { return pid_; }

  bool Running() {
    Reap(false);
    return pid_ > 0 && !status_;
  }

  void Signal(int signal) {
    if (pid_ > 0 && !status_) kill(pid_, signal);
  }

  // True when the program ended within `timeout`.
  bool WaitFor(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  // The exit code, or 128 + the signal that ended it; empty while it runs.
  std::optional<int> ExitCode() {
    Reap(false);
    if (!status_) return std::nullopt;
    if (WIFEXITED(*status_)) return WEXITSTATUS(*status_);
    return 128 + WTERMSIG(*status_);
  }

  // What the ended program used: user and system time, and its peak resident memory.
  struct Usage {
    double cpu_milliseconds = 0;
    long peak_kb = 0;
  };
  std::optional<Usage> ResourceUsage() {
    Reap(false);
    if (!status_) return std::nullopt;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return Usage{ms(usage_.ru_utime) + ms(usage_.ru_stime), usage_.ru_maxrss};
  }

  std::string Output() const {
    std::ifstream in(log_path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  void Reap(bool block) {
    if (pid_ <= 0 || status_) return;
    int status = 0;
    if (wait4(pid_, &status, block ? 0 : WNOHANG, &usage_) == pid_) status_ = status;
  }

  std::string log_path_;
  pid_t pid_ = -1;
  std::optional<int> status_;
  rusage usage_{};
};

// Polls `condition` every 10 ms until it holds or `timeout` passes.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace rx::test
