// Whole reads and writes on a file descriptor, again after an interruption
// by a signal: the explorer's pipes and run files, the trace.
#pragma once
#include <sys/types.h>

#include <cstddef>

namespace sim {

// Writes all `bytes`. False on an error (errno as write left it), or with
// errno 0 when a write took nothing.
bool writeAll(int fd, const void* data, size_t bytes);
// Reads until `bytes` have come or the end of the file: answers how many
// came, or -1 on an error (errno as read left it).
ssize_t readFull(int fd, void* data, size_t bytes);

}  // namespace sim
