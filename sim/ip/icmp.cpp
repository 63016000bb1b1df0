// ICMP echo on the simulated network: the answer is decided by the world
// (ipstack.cpp) and arrives after its round-trip time of virtual time; no
// answer costs the whole time-out. A reply that arrives after the address
// the echo was sent from has gone (deleted while the echo was out) is not
// delivered: the caller waits out its time-out as if none had come.
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "ip/ipstack.h"
#include "ip/ipv4.h"
#include "platform/core.h"
#include "platform/iphlp.h"
#include "system/switch_point.h"

namespace plat {

namespace {
HANDLE const ICMP = reinterpret_cast<HANDLE>(uintptr_t(0x1C4F));
}

HANDLE icmpCreateFile() {
  sim::switchPoint();
  const sim::Fault* fault = sim::nextCallFails(sim::FaultCall::IcmpCreate);
  sim::trace("IcmpCreateFile", {{"ok", fault == nullptr}});
  if (fault) {
    setLastError(fault->answer);
    return INVALID_HANDLE_VALUE;
  }
  return ICMP;
}

BOOL icmpCloseHandle(HANDLE icmp) { return icmp == ICMP; }

DWORD icmpSendEcho(HANDLE icmp, IPAddr destination, void*, WORD requestSize,
                   IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                   DWORD timeout) {
  sim::switchPoint();
  uint32_t dest = sim::fromNetwork(destination);
  sim::ipNow();
  // An injected refusal: the stack turns the request down at once (out of
  // resources, say), sending nothing.
  if (const sim::Fault* f = sim::nextCallFails(sim::FaultCall::Echo)) {
    sim::trace(
        "IcmpSendEcho",
        {{"to", sim::formatIpv4(dest)}, {"replies", 0}, {"refused", true}, {"error", f->answer}});
    setLastError(f->answer);
    return 0;
  }
  // The reply buffer must hold one reply record, an ICMP error message (8
  // bytes) and the request's data; a smaller one is refused before anything
  // is sent.
  size_t minimum = sizeof(ICMP_ECHO_REPLY) + 8 + requestSize;
  if (icmp != ICMP || !replyBuffer || replySize < minimum) {
    sim::trace("IcmpSendEcho", {{"to", sim::formatIpv4(dest)},
                                {"replies", 0},
                                {"refused", true},
                                {"replySize", replySize}});
    setLastError(icmp != ICMP ? 6 : IP_BUF_TOO_SMALL);
    return 0;
  }
  const sim::EchoHost* h = sim::echoAnswer(dest);
  bool answered = h && h->rtt < timeout;
  sim::Ms sent = sim::now();
  sim::trace("IcmpSendEcho", {{"to", sim::formatIpv4(dest)},
                              {"ttl", options ? options->Ttl : 0},
                              {"size", requestSize},
                              {"timeout", timeout},
                              {"replies", answered ? 1 : 0},
                              {"status", answered ? h->status : IP_REQ_TIMED_OUT},
                              {"replySize", replySize},
                              {"ms", answered ? h->rtt : timeout}});
  if (answered) {
    sim::sleepUntil(sent + h->rtt, "an echo reply");
    // The reply comes back to the address the echo left from; if that is
    // gone, so is the reply.
    if (sim::echoAnswer(dest) != h) {
      sim::trace("sim.echo", {{"event", "reply lost"},
                              {"to", sim::formatIpv4(dest)},
                              {"reason", "the address it was sent from is gone"}});
      answered = false;
    }
  }
  if (!answered) sim::sleepUntil(sent + timeout, "an echo reply");
  auto* reply = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
  if (!answered) {
    reply->Status = IP_REQ_TIMED_OUT;
    setLastError(IP_REQ_TIMED_OUT);
    return 0;
  }
  reply->Address = sim::toNetwork(h->replyFrom.value_or(dest));
  reply->Status = h->status;
  reply->RoundTripTime = h->rtt;
  reply->DataSize = 0;
  reply->Data = nullptr;
  reply->Options.Ttl = 64;
  return 1;
}

}  // namespace plat
