// The fault model: one record per switched-on failure, asked the same way
// by every simulated service, and the faults that never fired named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/child.h"
#include "platform/core.h"
#include "platform/ndisuio.h"
#include "scenario/fault.h"
#include "scenario/scenario.h"

namespace {

using sim::FaultCall;

bool load(const std::string& text) {
  std::string error;
  bool ok = sim::loadScenario(text, "fault.toml", sim::world, error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

TEST(Faults, TheTableIsInTheOrderOfTheCalls) {
  for (int i = 0; i < sim::FAULT_CALLS; i++)
    EXPECT_EQ(int(sim::FAULT_KINDS[i].call), i) << sim::FAULT_KINDS[i].key;
}

TEST(Faults, EachListedOccurrenceIsOneRecordWithItsAnswer) {
  ASSERT_TRUE(load(R"(
[system]
fail_allocations = [2, 5]
[ip]
fail_echo = [3]
echo_error = 11010
icmp_create_fails = true
[[radio.refuse]]
oid = "SSID"
calls = [1]
error = 87
[[radio.refuse]]
oid = "BSSID_LIST"
)"));
  const std::vector<sim::Fault>& f = sim::world.faults;
  ASSERT_EQ(f.size(), 6u);
  EXPECT_EQ(f[0].call, FaultCall::Allocate);
  EXPECT_EQ(f[0].occurrence, 2u);
  EXPECT_EQ(f[1].occurrence, 5u);
  // The radio section loads before [ip].
  EXPECT_EQ(f[2].call, FaultCall::Oid);
  EXPECT_EQ(f[2].target, plat::OID_802_11_SSID);
  EXPECT_EQ(f[2].answer, 87u);
  EXPECT_EQ(f[3].target, plat::OID_802_11_BSSID_LIST);
  EXPECT_EQ(f[3].occurrence, sim::EVERY_CALL);
  EXPECT_EQ(f[3].answer, 31u);
  EXPECT_EQ(f[4].call, FaultCall::IcmpCreate);
  EXPECT_EQ(f[4].occurrence, sim::EVERY_CALL);
  EXPECT_EQ(f[5].call, FaultCall::Echo);
  EXPECT_EQ(f[5].answer, 11010u);
}

// Counting, firing and the unreached list, as a service sees them. The
// call counters are process-wide, so the case runs in a child of its own.
void fireAndName() {
  ASSERT_TRUE(load(R"(
[system]
fail_allocations = [2, 50]
[driver]
[[driver.binding]]
index = 3
query_fails = true
[[radio.refuse]]
oid = "BSSID"
calls = [2]
[[radio.refuse]]
oid = "SSID"
)"));
  std::vector<bool> failed;
  for (int i = 0; i < 4; i++) {
    void* block = plat::allocate(16);
    failed.push_back(block == nullptr);
    plat::release(block);
  }
  EXPECT_EQ(failed, (std::vector<bool>{false, true, false, false}));
  // Requests of one OID are counted apart from those of another.
  EXPECT_EQ(sim::nextCallFails(FaultCall::Oid, plat::OID_802_11_SSID)->answer, 31u);
  EXPECT_EQ(sim::nextCallFails(FaultCall::Oid, plat::OID_802_11_BSSID), nullptr);
  const sim::Fault* second = sim::nextCallFails(FaultCall::Oid, plat::OID_802_11_BSSID);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->fired, 1u);
  EXPECT_EQ(sim::unreachedFaults(), (std::vector<std::string>{"system.fail_allocations 50",
                                                              "driver.binding 3 query_fails"}));
}

TEST(Faults, FireOnTheirOccurrenceAndThoseNeverReachedAreNamed) {
  sim::ChildEnd end = sim::runInChild([] {
    fireAndName();
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_TRUE(end.exited && end.code == 0);
}

TEST(Faults, NamesSayWhereTheScenarioSwitchesThemOn) {
  using sim::Fault;
  EXPECT_EQ(sim::faultName(Fault{FaultCall::HostByAddr, 0, 7, 11002, 0}), "ip.fail_host_by_addr 7");
  EXPECT_EQ(sim::faultName(Fault{FaultCall::CreateWindow, 0, 0, 87, 0}), "ui.create_fails");
  EXPECT_EQ(sim::faultName(Fault{FaultCall::Oid, plat::OID_802_11_DISASSOCIATE, 0, 31, 0}),
            "radio.refuse DISASSOCIATE");
  EXPECT_EQ(sim::faultName(Fault{FaultCall::DriverOpen, 0, 0, 2, 0}), "driver.opens");
}

}  // namespace
