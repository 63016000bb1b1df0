// Forked children: the scheduler, the window system and the console are
// process-wide and start empty only once, so each run of the explorer and
// each test that runs the simulated handheld does it in a child process.
#pragma once
#include <sys/types.h>

#include <functional>

namespace sim {

// How a child ended: its exit code, or the signal that ended it.
struct ChildEnd {
  bool exited = false;
  int code = 0;    // exited: the exit code
  int signal = 0;  // !exited: the signal
};

// Forks; the child runs `body` and exits with its answer (standard output
// and error flushed first, on both sides, so nothing buffered is written
// twice). Answers the child's pid, or -1 when there is no child.
pid_t startChild(const std::function<int()>& body);
// Decodes a waitpid status.
ChildEnd childEnd(int status);
// Waits for that child.
ChildEnd waitChild(pid_t pid);
// Both: runs body in a child and answers how it ended.
ChildEnd runInChild(const std::function<int()>& body);

}  // namespace sim
