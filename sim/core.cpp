// Core platform services of the simulated handheld.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "host.h"
#include "platform/core.h"
#include "scheduler.h"
#include "trace.h"
#include "world.h"

namespace sim {

Host host;

std::string hostPath(const char16_t* devicePath) {
  std::string p = host.root;
  std::u16string d(devicePath);
  if (d.empty() || (d[0] != u'\\' && d[0] != u'/')) p += "/";
  for (char16_t c : d) p += (c == u'\\') ? '/' : char(c < 0x80 ? c : '_');
  return p;
}

namespace {

thread_local plat::DWORD lastError = 0;

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

// Milliseconds since 1970 to calendar fields.
void toSystemTime(int64_t ms, plat::SYSTEMTIME* st) {
  int64_t days = ms / 86400000;
  int64_t rem = ms % 86400000;
  if (rem < 0) {
    rem += 86400000;
    days--;
  }
  int64_t y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  st->wYear = plat::WORD(y);
  st->wMonth = plat::WORD(m);
  st->wDay = plat::WORD(d);
  st->wDayOfWeek = plat::WORD(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
  st->wHour = plat::WORD(rem / 3600000);
  st->wMinute = plat::WORD(rem / 60000 % 60);
  st->wSecond = plat::WORD(rem / 1000 % 60);
  st->wMilliseconds = plat::WORD(rem % 1000);
}

struct SimCs {
  std::mutex real;
  // Read without the mutex by every thread that enters (to spot its own
  // recursion), so atomic; relaxed is enough, as only the owner itself can
  // ever find its own tag there.
  std::atomic<const void*> owner;
  int depth;
};
static_assert(sizeof(SimCs) <= sizeof(plat::CRITICAL_SECTION));

thread_local char ownerTag; // its address names the calling thread

// Whether a thread releasing a lock gives way now ([system] preempt). Only
// the baton holder draws, so the stream is the same on every run.
bool preemptNow() {
  static uint64_t state = 0;
  static bool seeded = false;
  const SystemWorld& w = world.system;
  if (w.preemptPercent == 0) return false;
  if (!seeded) {
    state = w.preemptSeed;
    seeded = true;
  }
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return (z ^ (z >> 31)) % 100 < w.preemptPercent;
}

struct ThreadStart {
  plat::ThreadProc proc;
  void* param;
};

bool listed(const std::vector<uint32_t>& v, int n) {
  return std::find(v.begin(), v.end(), uint32_t(n)) != v.end();
}

} // namespace
} // namespace sim

namespace plat {

using namespace sim;

HANDLE createThread(ThreadProc proc, void* param, size_t stackSize, DWORD* threadId) {
  int n = ++host.createThreadCalls;
  bool refuse = listed(world.system.failThreadStarts, n) ||
                (world.system.maxThreads && uint32_t(liveThreads()) >= world.system.maxThreads);
  trace("CreateThread", {{"stack", uint64_t(stackSize)}, {"ok", !refuse}});
  if (refuse) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  int id = schedSpawn("thread", [proc, param] { proc(param); }, stackSize);
  if (!id) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  if (threadId) *threadId = DWORD(id);
  return reinterpret_cast<HANDLE>(uintptr_t(0x10000 + id));
}

BOOL closeHandle(HANDLE) { return 1; }

void exitThread(DWORD) { endThread(); }

void exitProcess(UINT code) {
  trace("ExitProcess", {{"code", code}});
  endProcess(int(code));
}

void sleep(DWORD ms) { sleepUntil(now() + ms, "Sleep"); }

DWORD getLastError() { return lastError; }
void setLastError(DWORD code) { lastError = code; }

void initializeCriticalSection(CRITICAL_SECTION* cs) {
  std::memset(cs, 0, sizeof *cs);
  new (cs->opaque) SimCs{};
}

void enterCriticalSection(CRITICAL_SECTION* cs) {
  SimCs* s = std::launder(reinterpret_cast<SimCs*>(cs->opaque));
  if (s->owner.load(std::memory_order_relaxed) == &ownerTag) {
    s->depth++;
    return;
  }
  if (inSimulation()) {
    // Only the baton holder runs, so a held lock belongs to a thread that is
    // blocked: wait for it in the scheduler, never on the real mutex.
    while (!s->real.try_lock()) waitOn(cs, NEVER, "a lock");
  } else {
    s->real.lock();
  }
  s->owner.store(&ownerTag, std::memory_order_relaxed);
  s->depth = 1;
}

void leaveCriticalSection(CRITICAL_SECTION* cs) {
  SimCs* s = std::launder(reinterpret_cast<SimCs*>(cs->opaque));
  // Releasing a lock the thread does not hold is undefined on the device
  // (the lock may open for a thread inside it, or stay held for ever); the
  // simulated handheld refuses it outright.
  if (s->owner.load(std::memory_order_relaxed) != &ownerTag || s->depth <= 0) {
    std::fprintf(stderr, "quorvelta-sim: a lock released by a thread that does not hold it\n");
    std::abort();
  }
  if (--s->depth > 0) return;
  s->owner.store(nullptr, std::memory_order_relaxed);
  s->real.unlock();
  if (!inSimulation()) return;
  wakeAll(cs);
  // On the device a thread can lose the processor right here. It gives way
  // for a millisecond, so that the threads due by then, and the ones the
  // release woke, run first.
  if (preemptNow()) sleepUntil(now() + 1, "giving way");
}

void getLocalTime(SYSTEMTIME* out) {
  const ClockWorld& c = world.clock;
  int64_t start = daysFromCivil(c.year, unsigned(c.month), unsigned(c.day)) * 86400000 +
                  (int64_t(c.hour) * 3600 + c.minute * 60 + c.second) * 1000;
  toSystemTime(start + int64_t(now()), out);
}

DWORD getTimeZoneInformation(TIME_ZONE_INFORMATION* out) {
  std::memset(out, 0, sizeof *out);
  out->Bias = world.clock.bias;
  out->StandardBias = world.clock.standardBias;
  out->DaylightBias = world.clock.daylightBias;
  return world.clock.daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL fileTimeToSystemTime(const FILETIME* in, SYSTEMTIME* out) {
  int n = ++host.fileTimeCalls;
  uint64_t ft = (uint64_t(in->dwHighDateTime) << 32) | in->dwLowDateTime;
  bool injected = listed(world.system.failFileTimes, n);
  trace("FileTimeToSystemTime", {{"n", n}, {"ok", !injected && ft < 0x8000000000000000ull}});
  if (injected || ft >= 0x8000000000000000ull) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  // 100 ns units since 1601 to ms since 1970.
  int64_t ms = int64_t(ft / 10000) - 11644473600000LL;
  toSystemTime(ms, out);
  return 1;
}

const char16_t* getCommandLine() { return world.system.commandLine.c_str(); }

// The device's default code page is modelled as ISO 8859-1: code points up
// to 0xFF map to one byte each, anything else to the default character.
int wideCharToMultiByte(UINT, DWORD, const char16_t* src, int srcChars, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault) {
  int call = ++host.textConversionCalls;
  // An injected failure is the one a real conversion gives most: the
  // output does not fit.
  if (listed(world.system.failTextConversions, call)) {
    trace("WideCharToMultiByte", {{"n", call}, {"chars", srcChars}, {"ok", false}});
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  if (!src || srcChars < -1 || dstBytes < 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t n = srcChars == -1 ? std::char_traits<char16_t>::length(src) + 1 : size_t(srcChars);
  size_t outLen = 0;
  for (size_t i = 0; i < n; i++) {
    char16_t c = src[i];
    bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000;
    if (pair) i++;
    if (dstBytes) {
      if (outLen >= size_t(dstBytes)) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
      }
      if (c <= 0xFF && !pair) {
        dst[outLen] = char(c);
      } else {
        dst[outLen] = defaultChar ? *defaultChar : '?';
        if (usedDefault) *usedDefault = 1;
      }
    }
    outLen++;
  }
  return int(outLen);
}

int multiByteToWideChar(UINT, DWORD, const char* src, int srcBytes, char16_t* dst, int dstChars) {
  if (!src || srcBytes < -1 || dstChars < 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t n = srcBytes == -1 ? std::strlen(src) + 1 : size_t(srcBytes);
  if (dstChars == 0) return int(n);
  if (n > size_t(dstChars)) {
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  for (size_t i = 0; i < n; i++) dst[i] = char16_t(static_cast<unsigned char>(src[i]));
  return int(n);
}

// Every allocation is traced with its number and size, so that a scenario
// can pick the one to fail (fail_allocations) by reading a trace.
void* allocate(size_t bytes) {
  int n = ++host.allocateCalls;
  bool refuse = listed(world.system.failAllocations, n);
  trace("malloc", {{"n", n}, {"bytes", uint64_t(bytes)}, {"ok", !refuse}});
  if (refuse) return nullptr;
  void* block = std::malloc(bytes ? bytes : 1);
  if (block) host.liveBlocks++;
  return block;
}

void release(void* block) {
  if (block) host.liveBlocks--;
  std::free(block);
}

FILEHANDLE fileOpen(const char16_t* path, const char* mode) {
  std::u16string p(path);
  bool inTemp = p.size() >= 6 && (p.compare(0, 6, u"\\Temp\\") == 0);
  int n = ++host.fileOpenCalls;
  FILE* f = nullptr;
  // An injected failure stands for every other reason a file cannot be
  // created: a full or read-only store, a file in use.
  bool refuse = listed(world.system.failFileOpens, n);
  if (!refuse && (!inTemp || world.system.tempExists)) f = std::fopen(hostPath(path).c_str(), mode);
  trace("fopen", {{"path", utf8(p)}, {"mode", mode}, {"ok", f != nullptr}});
  return reinterpret_cast<FILEHANDLE>(f);
}

size_t fileWrite(const void* data, size_t size, size_t count, FILEHANDLE file) {
  size_t n = std::fwrite(data, size, count, reinterpret_cast<FILE*>(file));
  trace("fwrite", {{"bytes", uint64_t(size * count)}});
  return n;
}

int fileClose(FILEHANDLE file) {
  trace("fclose", {});
  return std::fclose(reinterpret_cast<FILE*>(file));
}

BOOL playSound(const char16_t* fileName, UINT flags) {
  trace("PlaySound", {{"file", utf8(fileName)}, {"async", (flags & SND_ASYNC) != 0}});
  return 1;
}

DWORD formatMessage(DWORD flags, const void*, DWORD messageId, DWORD, char16_t** allocated,
                    DWORD, void*) {
  auto it = world.system.messages.find(messageId);
  trace("FormatMessage", {{"code", messageId}, {"found", it != world.system.messages.end()}});
  if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || !allocated) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (it == world.system.messages.end()) {
    lastError = 317; // ERROR_MR_MID_NOT_FOUND
    return 0;
  }
  const std::u16string& t = it->second;
  auto* buf = static_cast<char16_t*>(std::malloc((t.size() + 1) * sizeof(char16_t)));
  if (!buf) return 0;
  host.liveBlocks++;
  std::copy(t.begin(), t.end(), buf);
  buf[t.size()] = 0;
  *allocated = buf;
  return DWORD(t.size());
}

void localFree(void* block) {
  if (block) host.liveBlocks--;
  std::free(block);
}

} // namespace plat

namespace plat {
void outputDebugString(const char16_t* text) {
  std::u16string t(text);
  sim::host.debugText += t;
  if (sim::host.echo) {
    std::string u = sim::utf8(t);
    u.erase(std::remove(u.begin(), u.end(), '\r'), u.end());
    std::fwrite(u.data(), 1, u.size(), stdout);
    std::fflush(stdout);
  }
}
} // namespace plat
