#include "probe/echo.h"

#include <cstring>

#include "console/console.h"
#include "console/format.h"
#include "platform/core.h"
#include "platform/iphlp.h"
#include "platform/sockets.h"
#include "probe/host_entry.h"

namespace {

// The reply buffer IcmpSendEcho is given. The platform requires room for one
// reply record, plus 8 bytes (an ICMP error message) plus the request's data
// (none here); a smaller buffer fails the send on a good network. It still
// holds one record, so an answer is 0 or 1 replies.
struct EchoReplyBuffer {
  plat::ICMP_ECHO_REPLY reply;
  plat::UCHAR errorRoom[ICMP_ERROR_BYTES];
};
static_assert(sizeof(EchoReplyBuffer) >=
              sizeof(plat::ICMP_ECHO_REPLY) + ICMP_ERROR_BYTES + ECHO_DATA_BYTES);

// Sends one echo with no payload; the reply record starts zeroed, so that
// after a send without reply it reads 0 ms from 0.0.0.0.
plat::DWORD sendEcho(uint32_t address, plat::DWORD ttl, plat::DWORD timeoutMs,
                     plat::ICMP_ECHO_REPLY* reply) {
  EchoReplyBuffer buffer;
  std::memset(&buffer, 0, sizeof buffer);
  plat::HANDLE icmp = plat::icmpCreateFile();
  if (icmp == plat::INVALID_HANDLE_VALUE) {
    *reply = buffer.reply;
    return 0;
  }
  plat::IP_OPTION_INFORMATION options{};
  options.Ttl = plat::UCHAR(ttl & 0xFF);
  plat::DWORD replies = plat::icmpSendEcho(icmp, address, nullptr, ECHO_DATA_BYTES, &options,
                                           &buffer, sizeof buffer, timeoutMs);
  plat::icmpCloseHandle(icmp);
  *reply = buffer.reply;
  return replies;
}

void formatAddress(char16_t* out, size_t capacity, uint32_t stored) {
  const auto* b = reinterpret_cast<const uint8_t*>(&stored);
  formatText(out, capacity, u"%d.%d.%d.%d", int(b[0]), int(b[1]), int(b[2]), int(b[3]));
}

// The 8-bit form of a target; false when it does not fit.
bool narrowTarget(const char16_t* target, char* out) {
  return plat::wideCharToMultiByte(plat::CP_ACP, 0, target, -1, out, TARGET_BYTES, nullptr,
                                   nullptr) > 0;
}

}  // namespace

int32_t echoProbe(const char16_t* target, plat::DWORD ttl, plat::DWORD timeoutMs,
                  EchoResult* result) {
  char text[TARGET_BYTES];
  // A target too long for the buffer cannot be a host name: it does not resolve.
  if (!narrowTarget(target, text)) return -1;
  uint32_t address = plat::inetAddr(text);
  if (address == plat::INADDR_NONE) {
    address = hostEntryAddress(plat::getHostByName(text));
  } else {
    uint32_t parsed = address;
    plat::hostent* h =
        plat::getHostByAddr(reinterpret_cast<const char*>(&parsed), 4, plat::AF_INET);
    if (h) {
      uint32_t a = hostEntryAddress(h);
      if (a != plat::INADDR_NONE) address = a;
    }
  }
  if (address == plat::INADDR_NONE) return -1;

  plat::ICMP_ECHO_REPLY reply;
  plat::DWORD replies = sendEcho(address, ttl, timeoutMs, &reply);
  result->status = reply.Status;
  result->roundTripTime = reply.RoundTripTime;
  formatAddress(result->replyAddress, 16, reply.Address);
  return int32_t(replies);
}

bool probeSucceeded(int32_t replies, const EchoResult& result) {
  return replies > 0 && result.status == 0;
}

int testInternet() {
  appendText(u"-Testing Internet connection....");
  int32_t replies = echoProbe(PUBLIC_TEST_ADDRESS, ECHO_TTL, ECHO_TIMEOUT_MS, &runState.probe);
  if (!probeSucceeded(replies, runState.probe)) {
    appendLine(u"Error.");
    return 0;
  }
  appendText(u"OK:");
  FORMAT_SCRATCH(u" %4dms", runState.probe.roundTripTime);
  appendLine(runState.scratch);
  appendLine(runState.probe.replyAddress);
  return 1;
}

namespace {

// The open sweep (0: none) and its probes that have not ended; under the
// console's line lock.
int32_t openSweepNumber = 0;
int32_t lastSweepNumber = 0;
int32_t probesPending = 0;

// Probes one sweep target: answers the replies (0 or 1) and fills reply,
// or 0 when the target does not resolve.
plat::DWORD probeTarget(const char16_t* target, plat::ICMP_ECHO_REPLY* reply) {
  char text[TARGET_BYTES];
  if (!narrowTarget(target, text)) return 0;
  uint32_t address = plat::inetAddr(text);
  uint32_t parsed = address;
  // The reverse lookup is made whatever the parse gave.
  plat::hostent* h = plat::getHostByAddr(reinterpret_cast<const char*>(&parsed), 4, plat::AF_INET);
  if (h) {
    uint32_t a = hostEntryAddress(h);
    if (a != plat::INADDR_NONE) address = a;
  }
  if (address == plat::INADDR_NONE) return 0;
  return sendEcho(address, ECHO_TTL, ECHO_TIMEOUT_MS, reply);
}

}  // namespace

int32_t openSweep() {
  beginConsoleLine();
  openSweepNumber = ++lastSweepNumber;
  probesPending = 0;
  endConsoleLine();
  return openSweepNumber;
}

void probeStarting() {
  beginConsoleLine();
  probesPending++;
  endConsoleLine();
}

void probeNotStarted() {
  beginConsoleLine();
  probesPending--;
  endConsoleLine();
}

int32_t closeSweep() {
  beginConsoleLine();
  int32_t pending = probesPending;
  openSweepNumber = 0;
  probesPending = 0;
  endConsoleLine();
  return pending;
}

plat::DWORD QV_CALLBACK sweepProbeWorker(void* param) {
  auto* target = static_cast<SweepTarget*>(param);
  const int32_t sweep = target->sweep;
  plat::ICMP_ECHO_REPLY reply{};
  plat::DWORD replies = probeTarget(target->text, &reply);
  plat::release(target);
  // The two appends make one line: nobody else's text may land between.
  // The line lock also keeps the sweep from closing while the line is
  // written.
  beginConsoleLine();
  const bool open = sweep == openSweepNumber;
  if (open) probesPending--;
  if (open && replies > 0 && reply.Status == 0) {
    char16_t line[20];
    formatText(line, 20, u"%d.%d  ", int(replies), 0);
    appendText(line);
    formatAddress(line, 20, reply.Address);
    appendLine(line);
  }
  endConsoleLine();
  plat::exitThread(0);
}
