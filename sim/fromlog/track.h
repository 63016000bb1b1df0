// What the node-loop readers keep while they go: which network the adapter
// is on, where its present address came from, the echo requests the run
// made and the address contexts it showed.
#pragma once
#include <string>
#include <vector>

#include "fromlog/model.h"
#include "fromlog/reader.h"

namespace sim::fromlog {

struct EchoEvent {
  enum Kind { Internet, Dns, Sweep } kind = Internet;
  int net = -1;     // index into Model::ipNetworks, -1: on no listed network
  bool ok = false;  // answered
  int count = 1;    // requests (a sweep's probes)
};

// An answered test: the network, and the address and gateway the adapter held.
struct Reach {
  size_t line = 0;
  int net = -1;
  std::string address, gateway, target;
  // Where the address held at the test came from, for a test no later
  // connection data shows the address of.
  int src = 0, srcNet = -1, srcRenewal = -1;
};

// A release line's Context of an address that came from joining a network
// (renewal -1) or from one of its renewals.
struct SeenContext {
  int net = -1, renewal = -1;
  long value = 0;
  size_t line = 0;
  int event = -1;  // the StackEvent that brought the address
};

// What makes the replay's stack number an address, in the run's order: a
// join (its lease, or a fixed configuration it brings), a renewal that
// gives an address, the sweep's added address.
struct StackEvent {
  enum Kind { Join, Renew, Sweep } kind = Join;
  int net = -1, renewal = -1;
};

struct RunTrack {
  int cur = -1;    // network the adapter is on (index into Model::ipNetworks)
  int entry = -1;  // the node's survey row (index into Model::networks)
  // Where the adapter's present address came from.
  enum Source { Initial, Join, Renew, Released } src = Initial;
  int srcNet = -1, srcRenewal = -1;
  bool pendingAddress = false;  // the next address seen is the source's
  int leaseNet = -1;            // whose server and lease the adapter shows (-1: its own)
  bool srcNumbered = false;     // the present address was numbered by the stack in the run
  std::vector<SeenContext> contextsSeen;
  std::vector<EchoEvent> echoes;
  std::vector<Reach> reached;
  std::vector<size_t> withoutAdapter;  // lines of connection data without the adapter's part
  std::vector<StackEvent> stackEvents;
  // Each network's first sweep: its lines from the first dot on.
  std::vector<std::pair<int, std::vector<std::string>>> sweeps;
  int srcEvent = -1;  // the StackEvent that brought the present address
  int lastJoin = -1;  // the last join's StackEvent
};

// A line the reader placed but whose cause the scenario cannot give again:
// the replay may differ from that line on.
void notMadeAgain(Model& m, size_t line, const std::string& what);
inline void notMadeAgain(Cursor& c, const std::string& what) { notMadeAgain(c.m, c.at + 1, what); }

// The address the adapter holds by what the reader placed so far; false
// when nothing tells (an address still to be seen, a release).
bool heldAddress(const Model& m, const RunTrack& t, std::string& address);
// An answered test, for the network's subnet.
void reachedNow(RunTrack& t, size_t line, const std::string& target);

// The network record for an SSID, made on first use.
int networkFor(Model& m, const std::string& ssid);
// An address the run printed for the adapter's present state.
void observeAddress(Model& m, RunTrack& t, const std::string& address);
// The failed-node bookkeeping: the connection data and the count of nodes left.
bool readNodeFailed(Cursor& c, RunTrack& t);
// The sweep, from its first line to "     No valid Internet gateway found.".
bool readSweep(Cursor& c, RunTrack& t);
// After the last node: echo numbering, subnets and address contexts.
void finishRun(Model& m, RunTrack& t);
// The Context each numbered slot takes, for the replay's stack to give
// the ones the release lines show.
void numberContexts(Model& m, RunTrack& t);

}  // namespace sim::fromlog
