// Thread stacks take address space: how much each CreateThread reserves,
// and that a process whose budget is spent cannot start another thread
// until one ends.
#include <gtest/gtest.h>

#include "platform/core.h"
#include "system/stack_space.h"
#include "wlan_sim_testing.h"

namespace {

using sim::KiB;
using sim::MiB;
using sim::stackReservation;
using sim::StackSpace;
constexpr uint32_t RESERVE = sim::STACK_SIZE_PARAM_IS_A_RESERVATION;

TEST(StackReservation, AReservationIsRoundedUpToTheAllocationGranularity) {
  EXPECT_EQ(stackReservation(64 * KiB, RESERVE, 2 * MiB), 64 * KiB);
  EXPECT_EQ(stackReservation(1, RESERVE, 2 * MiB), 64 * KiB);
  EXPECT_EQ(stackReservation(64 * KiB + 1, RESERVE, 2 * MiB), 128 * KiB);
  // Wine's ntdll tests on Windows: 0x3ff000 asked for, 0x400000 reserved.
  EXPECT_EQ(stackReservation(0x3ff000, RESERVE, 2 * MiB), 0x400000u);
  // Smaller or larger than the image's: the size asked for, either way.
  EXPECT_EQ(stackReservation(8 * MiB, RESERVE, 64 * KiB), 8 * MiB);
}

TEST(StackReservation, NoSizeIsTheImagesReservation) {
  EXPECT_EQ(stackReservation(0, 0, 2 * MiB), 2 * MiB);
  EXPECT_EQ(stackReservation(0, RESERVE, 2 * MiB), 2 * MiB);
  EXPECT_EQ(stackReservation(0, 0, sim::CE_IMAGE_STACK_RESERVE), 64 * KiB);
  // The header's figure is reserved as the system rounds it.
  EXPECT_EQ(stackReservation(0, 0, 100000), 128 * KiB);
}

TEST(StackReservation, WithoutTheFlagTheSizeIsACommitAndTheImageReserves) {
  EXPECT_EQ(stackReservation(64 * KiB, 0, 2 * MiB), 2 * MiB);
  EXPECT_EQ(stackReservation(0x3f00, 0, 2 * MiB), 2 * MiB);
  // A commit that reaches the image's reservation: rounded up to 1 MiB.
  EXPECT_EQ(stackReservation(2 * MiB, 0, 2 * MiB), 2 * MiB);
  EXPECT_EQ(stackReservation(3 * MiB + 1, 0, 2 * MiB), 4 * MiB);
  // Wine's ntdll tests on Windows: commit 0x20000 of reserve 0x20000 gives 1 MiB.
  EXPECT_EQ(stackReservation(0x20000, 0, 0x20000), 1 * MiB);
}

TEST(StackReservation, TheDefaultBudgetsAreTheDocumentedFigures) {
  EXPECT_EQ(sim::USER_SPACE_32, 2 * 1024 * MiB - 128 * KiB);
  EXPECT_EQ(sim::DEFAULT_STACK_ADDRESS_SPACE, sim::USER_SPACE_32 - 68 * MiB);
  // A sweep's 960 probes of 64 KiB and the run's own thread fit the
  // default; a CE 5 slot holds fewer than half of the probes.
  const uint64_t sweep = 960 * stackReservation(64 * KiB, RESERVE, 2 * MiB);
  EXPECT_LT(sweep + 2 * MiB, sim::DEFAULT_STACK_ADDRESS_SPACE);
  EXPECT_LT(sim::CE5_STACK_ADDRESS_SPACE, sweep / 2);
}

TEST(StackSpace, TakesReservationsUntilTheBudgetIsSpent) {
  StackSpace s(3 * 64 * KiB);
  EXPECT_TRUE(s.reserve(64 * KiB));
  EXPECT_TRUE(s.reserve(128 * KiB));  // exactly the rest
  EXPECT_EQ(s.reserved(), 192 * KiB);
  EXPECT_FALSE(s.reserve(64 * KiB));
  EXPECT_EQ(s.reserved(), 192 * KiB) << "a reservation that fails takes nothing";
}

TEST(StackSpace, WhatEndsIsGivenBackAndThePeakKept) {
  StackSpace s(256 * KiB);
  ASSERT_TRUE(s.reserve(192 * KiB));
  EXPECT_FALSE(s.reserve(128 * KiB));
  s.release(128 * KiB);
  EXPECT_EQ(s.reserved(), 64 * KiB);
  EXPECT_TRUE(s.reserve(128 * KiB));
  EXPECT_EQ(s.reserved(), 192 * KiB);
  EXPECT_EQ(s.peak(), 192 * KiB);
  StackSpace none(0);
  EXPECT_FALSE(none.reserve(64 * KiB));
  EXPECT_TRUE(none.reserve(0));
}

// ---- CreateThread on the simulated handheld -----------------------------

plat::DWORD QV_CALLBACK sleepsASecond(void*) {
  plat::sleep(1000);
  return 0;
}

plat::DWORD QV_CALLBACK exitsAfterASecond(void*) {
  plat::sleep(1000);
  plat::exitThread(0);
}

bool starts(plat::ThreadProc proc, size_t stack) {
  plat::HANDLE h = plat::createThread(proc, nullptr, stack, nullptr);
  if (h) plat::closeHandle(h);
  return h != nullptr;
}

TEST(StackSpaceOnTheDevice, ASpentBudgetFailsCreateThreadUntilAThreadEnds) {
  // Room for three probe stacks: the program's first thread is the
  // process's own and takes none of it.
  std::string failures = onSimulatedHandheld(
      "[system]\nstack_address_space = 196608\n", [](SimChecks& c, const std::string& path) {
        c.check(starts(sleepsASecond, 64 * 1024), "first");
        c.check(starts(exitsAfterASecond, 4096), "second (4 KiB reserves 64 KiB)");
        c.check(starts(sleepsASecond, 65536), "third");
        plat::setLastError(0);
        c.check(!starts(sleepsASecond, 1), "a fourth does not fit");
        c.equal(plat::getLastError(), plat::DWORD(plat::ERROR_NOT_ENOUGH_MEMORY), "last error");
        // Those that return and the one that calls ExitThread give theirs back.
        plat::sleep(1001);
        for (int k = 0; k < 3; k++) c.check(starts(sleepsASecond, 65536), "after the ends");
        c.check(!starts(sleepsASecond, 65536), "full again");
        plat::sleep(1001);  // every thread ends before the trace does
        auto trace = finishTrace(path);
        auto refused =
            tracedRequests(trace, {"\"call\":\"CreateThread\"", "\"ok\":false", "\"error\":8",
                                   "\"why\":\"address space\"", "\"reserve\":65536"});
        c.equal(refused.size(), size_t(2), "refusals traced as the address space's");
        c.equal(tracedRequests(trace, {"\"stacks\":196608", "\"ok\":true"}).size(), size_t(2),
                "the third of each round fills the budget");
      });
  EXPECT_EQ(failures, "");
}

TEST(StackSpaceOnTheDevice, NoSizeReservesTheImagesDefault) {
  std::string failures = onSimulatedHandheld(
      "[system]\nstack_address_space = 4194304\nimage_stack_reserve = 2097152\n",
      [](SimChecks& c, const std::string&) {
        c.check(starts(sleepsASecond, 0), "the first takes 2 MiB");
        c.check(starts(sleepsASecond, 0), "the second the rest");
        c.check(!starts(sleepsASecond, 65536), "nothing is left");
        plat::sleep(1001);
      });
  EXPECT_EQ(failures, "");
}

}  // namespace
