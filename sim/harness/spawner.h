// A spawner: a small process forked before its caller's heap grows, which
// forks the caller's children for it.
//
// The explorer forks a child for every run. Forked from the explorer
// itself, each child started with the explorer's whole heap (every world
// and record so far) shared copy-on-write, and each fork write-protected
// that heap in the explorer too: both then took a page fault for every
// page they wrote, which on a virtual machine was half of a world's cost.
// Forked from the spawner, a child shares only what the caller had when
// the spawner started, and the caller's own pages are never shared.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

namespace sim {

class Spawner {
 public:
  // Runs in each child, with the request it was forked for; its answer is
  // the child's exit code.
  using Body = std::function<int(const std::string& request)>;

  // At most this many children at once (the caller keeps to it).
  static constexpr int MAX_CHILDREN = 64;
  // A request is refused above this size (a world is a few KiB).
  static constexpr uint64_t MAX_REQUEST_BYTES = 16u << 20;

  Spawner() = default;
  Spawner(const Spawner&) = delete;
  Spawner& operator=(const Spawner&) = delete;
  // Closes the requests, so the spawner ends once its children have, and
  // reaps it.
  ~Spawner();

  // Forks the spawner process (standard output and error flushed first).
  // False with errno as the failed call left it.
  bool start(Body body);
  // Has a child forked for `request`; `tag` comes back with its end. False
  // when the spawner is gone or the request is too large.
  bool submit(uint64_t tag, const std::string& request);
  // Waits for one of the children to end: its tag and its waitpid status.
  // False when the spawner is gone.
  bool wait(uint64_t* tag, int* status);

 private:
  pid_t pid_ = -1;
  int requests_ = -1;  // write end: to the spawner
  int ends_ = -1;      // read end: from the spawner
};

}  // namespace sim
