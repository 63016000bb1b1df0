#include "conformance_host.h"

#include <windows.h>

plat::HINSTANCE hostInstance() {
  return reinterpret_cast<plat::HINSTANCE>(::GetModuleHandleW(nullptr));
}

plat::HANDLE hostCommittedThread(plat::ThreadProc proc, size_t stackSize) {
  return reinterpret_cast<plat::HANDLE>(::CreateThread(
      nullptr, stackSize, reinterpret_cast<LPTHREAD_START_ROUTINE>(proc), nullptr, 0, nullptr));
}

size_t hostStackReservation() {
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION m{};
  if (!::VirtualQuery(const_cast<char*>(&here), &m, sizeof m)) return 0;
  char* base = static_cast<char*>(m.AllocationBase);
  size_t total = 0;
  // The reservation's regions follow one another from its base (bounded:
  // a stack has a handful, committed, guard and reserved).
  for (int i = 0; i < 16; i++) {
    if (!::VirtualQuery(base + total, &m, sizeof m) || m.AllocationBase != base) break;
    total += m.RegionSize;
  }
  return total;
}
