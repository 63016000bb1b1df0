#include "harness/spawner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "harness/fd_io.h"

namespace sim {
namespace {

// A whole record or none: a pipe that ends early is the other side gone.
bool readAll(int fd, void* data, size_t bytes) {
  return readFull(fd, data, bytes) == ssize_t(bytes);
}

struct Header {
  uint64_t tag;
  uint64_t bytes;  // request: its length; end: the waitpid status
};

// A child of the spawner. Its end is seen on `alive`, a pipe whose only
// write end the child holds: it reads as closed once the child is gone, so
// the spawner polls requests and children alike without signals.
struct Child {
  pid_t pid;
  int alive;  // read end
  uint64_t tag;
};

[[noreturn]] void serve(const Spawner::Body& body, int requests, int ends) {
  std::vector<Child> children;
  bool open = true;
  while (open || !children.empty()) {
    pollfd fds[Spawner::MAX_CHILDREN + 1];
    nfds_t n = 0;
    for (const Child& c : children) fds[n++] = {c.alive, POLLIN, 0};
    const bool takeRequests = open && children.size() < size_t(Spawner::MAX_CHILDREN);
    if (takeRequests) fds[n++] = {requests, POLLIN, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      _exit(70);
    }
    // Ended children first: their slots are then free for new requests.
    for (size_t i = children.size(); i-- > 0;) {
      if (!fds[i].revents) continue;
      Child c = children[i];
      children.erase(children.begin() + long(i));
      close(c.alive);
      int status = 0;
      while (waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
      }
      Header h{c.tag, uint64_t(uint32_t(status))};
      if (!writeAll(ends, &h, sizeof h)) _exit(71);
    }
    if (!takeRequests || !fds[n - 1].revents) continue;
    Header h{};
    if (!readAll(requests, &h, sizeof h) || h.bytes > Spawner::MAX_REQUEST_BYTES) {
      open = false;  // the caller is gone, or sent what it could not
      continue;
    }
    std::string request(size_t(h.bytes), '\0');
    if (!readAll(requests, request.data(), request.size())) {
      open = false;
      continue;
    }
    int alive[2];
    if (pipe2(alive, O_CLOEXEC) != 0) _exit(72);
    pid_t pid = fork();
    if (pid == 0) {
      close(alive[0]);
      close(requests);
      close(ends);
      // alive[1] stays open until the child is gone.
      int code = body(request);
      std::fflush(nullptr);
      _exit(code);
    }
    close(alive[1]);
    if (pid < 0) {
      close(alive[0]);
      // No child: answered as one that could not start (exit 127).
      Header e{h.tag, uint64_t(127u << 8)};
      if (!writeAll(ends, &e, sizeof e)) _exit(71);
      continue;
    }
    children.push_back({pid, alive[0], h.tag});
  }
  _exit(0);
}

}  // namespace

bool Spawner::start(Body body) {
  int toSpawner[2], fromSpawner[2];
  if (pipe2(toSpawner, O_CLOEXEC) != 0) return false;
  if (pipe2(fromSpawner, O_CLOEXEC) != 0) {
    close(toSpawner[0]);
    close(toSpawner[1]);
    return false;
  }
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(toSpawner[1]);
    close(fromSpawner[0]);
    serve(body, toSpawner[0], fromSpawner[1]);
  }
  close(toSpawner[0]);
  close(fromSpawner[1]);
  if (pid < 0) {
    int e = errno;
    close(toSpawner[1]);
    close(fromSpawner[0]);
    errno = e;
    return false;
  }
  pid_ = pid;
  requests_ = toSpawner[1];
  ends_ = fromSpawner[0];
  return true;
}

bool Spawner::submit(uint64_t tag, const std::string& request) {
  if (requests_ < 0 || request.size() > MAX_REQUEST_BYTES) return false;
  Header h{tag, request.size()};
  return writeAll(requests_, &h, sizeof h) && writeAll(requests_, request.data(), request.size());
}

bool Spawner::wait(uint64_t* tag, int* status) {
  Header h{};
  if (ends_ < 0 || !readAll(ends_, &h, sizeof h)) return false;
  *tag = h.tag;
  *status = int(uint32_t(h.bytes));
  return true;
}

Spawner::~Spawner() {
  if (requests_ >= 0) close(requests_);
  // The ends of children still running are read and dropped: closed
  // early, the spawner's last writes would meet a closed pipe.
  if (ends_ >= 0) {
    Header h{};
    while (readAll(ends_, &h, sizeof h)) {
    }
    close(ends_);
  }
  if (pid_ > 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

}  // namespace sim
