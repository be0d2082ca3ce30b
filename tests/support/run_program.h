// Runs a program as a user would and collects what it shows: exit status, stdout and stderr.
// Standard library and POSIX only, for the front-end and corpus tests; and a fake environment.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace quorvex::testsupport {

struct ProgramRun {
  bool started = false;
  bool timed_out = false;
  int status = -1;  // the exit status; -1 when the program did not exit by itself
  int signal = 0;   // the signal that ended it, if one did
  std::string out, err;
};

/// Runs `argv` (argv[0] the program's path) in `cwd` with exactly the environment `env`
/// ("NAME=value"), stdin from /dev/null; kills it and all it started after `timeout_seconds`.
inline ProgramRun RunProgram(const std::vector<std::string>& argv,
                             const std::vector<std::string>& env, const std::filesystem::path& cwd,
                             int timeout_seconds = 600) {
  ProgramRun run;
  TempFolder io;
  std::vector<std::string> args_store = argv, env_store = env;
  std::vector<char*> args, envp;
  for (std::string& a : args_store) args.push_back(a.data());
  for (std::string& e : env_store) envp.push_back(e.data());
  args.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (io / "out").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (io / "err").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // so a kill reaches children
  pid_t pid = 0;
  run.started = !argv.empty() &&
                posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (!run.started) return run;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  int wait_status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &wait_status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if ((run.timed_out = std::chrono::steady_clock::now() > deadline)) {
      kill(-pid, SIGKILL);
      waitpid(pid, &wait_status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!run.timed_out && WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) run.signal = WTERMSIG(wait_status);
  run.out = ReadFile(io / "out");
  run.err = ReadFile(io / "err");
  return run;
}

/// Runs the built program (QUORVEX_BINARY) with `args` in `cwd` with exactly the environment `env`.
using EnvMap = std::map<std::string, std::string>;
inline ProgramRun RunQuorvex(const std::vector<std::string>& args, const EnvMap& env,
                             const std::filesystem::path& cwd) {
  std::vector<std::string> argv = {std::getenv("QUORVEX_BINARY")}, environment;
  argv.insert(argv.end(), args.begin(), args.end());
  for (const auto& [name, value] : env) environment.push_back(name + "=" + value);
  return RunProgram(argv, environment, cwd, 120);
}
/// An environment made of the given variables only.
inline std::function<const char*(const char*)> LookupIn(const EnvMap& vars) {
  return [&vars](const char* name) -> const char* {
    auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

}  // namespace quorvex::testsupport
