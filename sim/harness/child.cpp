#include "harness/child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace sim {

pid_t startChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int code = body();
    std::fflush(nullptr);
    _exit(code);
  }
  return pid;
}

ChildEnd childEnd(int status) {
  ChildEnd e;
  if (WIFEXITED(status)) {
    e.exited = true;
    e.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    e.signal = WTERMSIG(status);
  }
  return e;
}

ChildEnd waitChild(pid_t pid) {
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return ChildEnd{};
  return childEnd(status);
}

ChildEnd runInChild(const std::function<int()>& body) { return waitChild(startChild(body)); }

}  // namespace sim
