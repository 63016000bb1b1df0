// Thread stack reservations against the process's address space
// (stack_space.h says where each rule comes from).
#include "system/stack_space.h"

#include "platform/assert.h"

namespace sim {
namespace {

uint64_t roundUp(uint64_t bytes, uint64_t unit) {
  // Sizes come from a DWORD-sized request or a bounded scenario key, so
  // the sum cannot wrap.
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

uint64_t stackReservation(uint64_t stackSize, uint32_t flags, uint64_t imageReserve) {
  const uint64_t image = roundUp(imageReserve, ALLOCATION_GRANULARITY);
  if (stackSize == 0) return image;
  if (flags & STACK_SIZE_PARAM_IS_A_RESERVATION) return roundUp(stackSize, ALLOCATION_GRANULARITY);
  const uint64_t commit = roundUp(stackSize, PAGE_SIZE);
  return commit >= image ? roundUp(commit, MiB) : image;
}

bool StackSpace::reserve(uint64_t bytes) {
  if (bytes > budget_ - reserved_) return false;
  reserved_ += bytes;
  if (reserved_ > peak_) peak_ = reserved_;
  return true;
}

void StackSpace::release(uint64_t bytes) {
  QV_ASSERT(bytes <= reserved_, "a thread gives back no more stack than it reserved");
  reserved_ -= bytes;
}

}  // namespace sim
