#include "harness/fd_io.h"

#include <unistd.h>

#include <cerrno>

namespace sim {

bool writeAll(int fd, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    ssize_t n = write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = 0;
      return false;
    }
    p += n;
    bytes -= size_t(n);
  }
  return true;
}

ssize_t readFull(int fd, void* data, size_t bytes) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  while (got < bytes) {
    ssize_t n = read(fd, p + got, bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += size_t(n);
  }
  return ssize_t(got);
}

}  // namespace sim
