// Window tests run in a child process each: the window system, the
// scheduler and the console are process-wide and start empty only once.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

// Runs body in a forked child; failures inside it are printed there and
// make the child exit with 1.
template <typename Body>
int inChildProcess(Body body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}
