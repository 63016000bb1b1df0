// qv-run-timer: one run of a program, timed for the benchmark script.
//
//   qv-run-timer -o FILE PROGRAM [ARGUMENTS...]
//
// Writes one line to FILE: the wall time in microseconds, the program's
// user and system processor time in microseconds, its peak resident set in
// KiB, and its exit code (128 + the signal that ended it). Answers the
// program's exit code.
//
// The clock is read just before the program is started and just after it
// has ended, and the program is started with posix_spawn, which does not
// copy the caller's memory as a fork does: on the virtual machine the
// figures are taken on, a shell's fork alone costs 3 to 5 ms, a tenth of a
// sweep run, and `date` and `/usr/bin/time` around a run cost more.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

extern char** environ;

namespace {

long long micros(const timespec& t) { return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000; }

long long micros(const timeval& t) { return (long long)t.tv_sec * 1000000 + t.tv_usec; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], "-o") != 0) {
    std::fprintf(stderr, "usage: qv-run-timer -o FILE PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  FILE* out = std::fopen(argv[2], "w");
  if (!out) {
    std::fprintf(stderr, "qv-run-timer: %s: %s\n", argv[2], std::strerror(errno));
    return 2;
  }
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[3], nullptr, nullptr, argv + 3, environ);
  if (rc != 0) {
    std::fprintf(stderr, "qv-run-timer: %s: %s\n", argv[3], std::strerror(rc));
    std::fclose(out);
    return 127;
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::fprintf(stderr, "qv-run-timer: wait4: %s\n", std::strerror(errno));
      std::fclose(out);
      return 2;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::fprintf(out, "%lld %lld %lld %ld %d\n", micros(end) - micros(start), micros(usage.ru_utime),
               micros(usage.ru_stime), usage.ru_maxrss, code);
  if (std::fclose(out) != 0) return 2;
  return code;
}
