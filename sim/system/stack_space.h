// The address space the simulated process has for its threads' stacks, and
// what each CreateThread takes of it.
//
// A thread's stack is a reservation of address space, whatever of it is
// ever committed, and it is given back when the thread ends. Threads that
// overlap therefore add up, and a 32-bit process that starts hundreds of
// them can run out: CreateThread then answers NULL with
// ERROR_NOT_ENOUGH_MEMORY (the reservation fails with STATUS_NO_MEMORY,
// which the system turns into that code; Wine's ntdll tests/error.c checks
// the pair against Windows, and the 32-bit conformance program saw it:
// docs/windows.md).
//
// This budget is the device's. The host stacks the scheduler runs the
// simulated threads on (harness/scheduler_stacks.cpp) are the host's
// business and never count here.
#pragma once
#include <cstdint>

namespace sim {

constexpr uint64_t KiB = 1024;
constexpr uint64_t MiB = 1024 * KiB;

// Address space is reserved in units of the allocation granularity
// (GetSystemInfo's dwAllocationGranularity: 64 KiB on every Windows, and
// CE's allocation boundary is 64 KiB too); commits are made in pages.
constexpr uint64_t ALLOCATION_GRANULARITY = 64 * KiB;
constexpr uint64_t PAGE_SIZE = 4 * KiB;
// CreateThread's flag that makes the size the stack's reservation.
constexpr uint32_t STACK_SIZE_PARAM_IS_A_RESERVATION = 0x00010000;

// The default stack reservation of the image (the PE header's
// SizeOfStackReserve), which every thread gets when it asks for none. The
// program's Win32 build is linked by MinGW-w64's ld without --stack, whose
// default is 2 MiB reserved, 4 KiB committed (MSVC's link.exe would give
// 1 MiB). A CE toolchain's linker gives 64 KiB unless /STACK says otherwise
// (the CE 6.0 R3 and Windows Mobile 6.5 "Stack" page: "typically, the
// default stack limit is 64 KB"); see [system] image_stack_reserve.
constexpr uint64_t MINGW_IMAGE_STACK_RESERVE = 2 * MiB;
constexpr uint64_t CE_IMAGE_STACK_RESERVE = 64 * KiB;

// The default budget: a 32-bit process that is not large-address-aware.
// Its user address space runs from 0x00010000 to 0x7FFEFFFF (2 GiB less the
// 64 KiB kept free at the bottom and the 64 KiB below the system's half).
// Out of it come, before any thread of the program's own:
//   the image: the program is one static, stripped executable well under a
//     megabyte; 1 MiB is allowed;
//   the process heap: its reservation is the PE header's SizeOfHeapReserve,
//     1 MiB by default with both linkers; the program allocates little;
//   the main thread's stack: the image's default reservation, 2 MiB;
//   the system's share: the system DLLs the program loads (and theirs), the
//     locale tables, PEB and TEBs, the shared user data page, the window
//     system's shared sections. Not measured on the device: 64 MiB is
//     allowed, more than a small GUI program's mappings take, so that the
//     figure errs on the side of less room.
// What is left, 2,076,049,408 bytes (about 1,980 MiB), is the budget. A
// large-address-aware program under a 64-bit kernel would have 4 GiB.
constexpr uint64_t USER_SPACE_32 = 0x7FFF0000ull - 0x00010000ull;
constexpr uint64_t DEFAULT_STACK_ADDRESS_SPACE =
    USER_SPACE_32 - 1 * MiB - 1 * MiB - MINGW_IMAGE_STACK_RESERVE - 64 * MiB;
static_assert(DEFAULT_STACK_ADDRESS_SPACE == 2076049408ull);

// A Windows CE 5 process: its whole address space is one 32 MiB slot
// (CE 5.0 "Virtual Memory": "Each process in Windows CE has only 32 MB of
// virtual address space", which the process, its DLLs, heaps, stacks and
// allocations share; "Process Address Space"), of which the bottom 64 KiB
// is never given out; the image and its heap sit at the bottom, the DLLs
// at the top (every DLL any process loaded into RAM keeps its range in
// every slot), the stacks in between. Allowing 1 MiB for the image, 1 MiB
// for the heap, the main thread's 64 KiB stack and about 6 MiB for DLLs
// leaves 24 MiB: a documented value for the key, not the default, as the
// target is not known to be CE 5 (CE 6 gives each process 2 GiB).
constexpr uint64_t CE5_STACK_ADDRESS_SPACE = 24 * MiB;

// The reservation CreateThread makes for a stack of `stackSize` bytes with
// `flags` (its dwCreationFlags), in a process whose image reserves
// `imageReserve`, as desktop Windows makes it ("Thread Stack Size"; Wine's
// ntdll tests test_RtlCreateUserStack):
//   with STACK_SIZE_PARAM_IS_A_RESERVATION, a size that is not 0 is the
//     reservation, rounded up to the allocation granularity;
//   without it, the size is the initial commit (rounded up to a page) and
//     the reservation is the image's; a commit as large as that or larger
//     makes the reservation the commit rounded up to 1 MiB;
//   a size of 0 is the image's reservation.
// CE ignores the size without the flag: the same answer unless the size
// reaches the image's reservation. The program always passes the flag with
// a size, as the Win32 back end does (src/platform/win32/threads.cpp).
uint64_t stackReservation(uint64_t stackSize, uint32_t flags, uint64_t imageReserve);

// The budget and what the threads alive hold of it.
class StackSpace {
 public:
  explicit StackSpace(uint64_t budget) : budget_(budget) {}
  // Takes `bytes` of the budget; false, taking nothing, when they do not fit.
  bool reserve(uint64_t bytes);
  // Gives back what a thread that ends held.
  void release(uint64_t bytes);
  uint64_t budget() const { return budget_; }
  uint64_t reserved() const { return reserved_; }
  uint64_t peak() const { return peak_; }

 private:
  uint64_t budget_;
  uint64_t reserved_ = 0;
  uint64_t peak_ = 0;
};

// The most the stacks of the threads alive at once held in this run
// (sim/system/threads.cpp keeps the run's budget); the trace's sim.end
// record carries it as stacks_peak.
uint64_t stackSpacePeak();

}  // namespace sim
