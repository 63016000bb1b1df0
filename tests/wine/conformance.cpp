// The back end's conformance program: every platform call the program makes
// that can run on this machine, made through our own platform layer (and,
// where a subsystem wraps it, through that subsystem) against the real
// Win32 implementation. It checks what our code relies on, not what one
// implementation happens to answer, and prints one line per check:
//   ok   NAME: what was seen
//   FAIL NAME: what was seen
// then a count; the exit code is the number of failures. It is run by
// tests/wine/run.sh, 32- and 64-bit, in a network namespace of its own whose
// only interfaces are loopback and a dummy one: nothing it does can leave
// the machine.
//
//   conformance [ARGS...]   ARGS are echoed back by the command-line check
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "conformance_host.h"
#include "ipconfig/adapters.h"
#include "ipconfig/address_ops.h"
#include "platform/core.h"
#include "platform/iphlp.h"
#include "platform/ndisuio.h"
#include "platform/sockets.h"
#include "platform/window.h"
#include "probe/echo.h"
#include "probe/host_entry.h"
#include "run/recovery.h"
#include "run/run_state.h"

namespace {

uint32_t nowMs() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int checks = 0;
int failures = 0;

void check(bool ok, const char* name, const char* format, ...) {
  char detail[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(detail, sizeof detail, format, args);
  va_end(args);
  checks++;
  if (!ok) failures++;
  std::printf("%-4s %s: %s\n", ok ? "ok" : "FAIL", name, detail);
  std::fflush(stdout);
}

std::string narrow(const char16_t* text) {
  std::string out;
  // Line ends become blanks, so that each check stays one line.
  for (; *text && out.size() < 512; text++)
    out += *text == '\r' || *text == '\n' ? ' ' : *text < 128 ? char(*text) : '?';
  return out;
}

// A NUL within the n bytes of a fixed text field.
bool terminated(const char* field, size_t n) { return std::memchr(field, 0, n) != nullptr; }

// ---- IP helper: the two-call patterns ----------------------------------------

// GetAdaptersInfo: the sizing call answers ERROR_BUFFER_OVERFLOW and the
// size (or ERROR_NO_DATA without adapters); the second call fills a block of
// that size with a chain whose links stay inside it. Then the run's own
// snapshot finds the first adapter by its name, as the node loop does.
void adaptersInfo() {
  plat::ULONG size = 0;
  plat::DWORD answer = plat::getAdaptersInfo(nullptr, &size);
  check(answer == plat::ERROR_BUFFER_OVERFLOW || answer == plat::ERROR_NO_DATA,
        "GetAdaptersInfo sizing", "answer %lu, size %lu", (unsigned long)answer,
        (unsigned long)size);
  if (answer != plat::ERROR_BUFFER_OVERFLOW) return;
  check(size >= sizeof(plat::IP_ADAPTER_INFO) && size % sizeof(void*) == 0, "GetAdaptersInfo size",
        "%lu bytes, record %u", (unsigned long)size, unsigned(sizeof(plat::IP_ADAPTER_INFO)));
  plat::ULONG small = sizeof(plat::IP_ADAPTER_INFO) - 1;
  static plat::IP_ADAPTER_INFO one[1];
  answer = plat::getAdaptersInfo(one, &small);
  check(answer == plat::ERROR_BUFFER_OVERFLOW && small == size, "GetAdaptersInfo short block",
        "answer %lu, size %lu", (unsigned long)answer, (unsigned long)small);

  auto* block = static_cast<plat::IP_ADAPTER_INFO*>(plat::allocate(size));
  plat::ULONG held = size;
  answer = plat::getAdaptersInfo(block, &size);
  check(answer == 0, "GetAdaptersInfo read", "answer %lu", (unsigned long)answer);
  if (answer != 0) return plat::release(block);
  const char* begin = reinterpret_cast<const char*>(block);
  int records = 0;
  bool inside = true, texts = true;
  for (const plat::IP_ADAPTER_INFO* a = block; a && records < 64; a = a->Next, records++) {
    const char* at = reinterpret_cast<const char*>(a);
    inside = inside && at >= begin && at + sizeof *a <= begin + held;
    if (!inside) break;
    texts = texts && terminated(a->AdapterName, sizeof a->AdapterName) &&
            terminated(a->IpAddressList.IpAddress.String, 16) && a->AddressLength <= 8;
  }
  check(inside && texts && records > 0, "GetAdaptersInfo chain",
        "%d records inside the %lu-byte block, texts terminated: %d", records, (unsigned long)held,
        int(texts));
  // The last adapter with an address (the first when none has one) as the
  // WLAN adapter: the snapshot must find it, walking past the records
  // before it, and read its address as the record holds it.
  const plat::IP_ADAPTER_INFO* wlan = block;
  char address[17];
  for (const plat::IP_ADAPTER_INFO* a = block; inside && a; a = a->Next) {
    addressText(a->IpAddressList.IpAddress, address);
    if (std::strcmp(address, "0.0.0.0") != 0) wlan = a;
  }
  for (int i = 0; i < RUN_TEXT_CHARS - 1 && wlan->AdapterName[i]; i++) {
    runState.nicName[i] = char16_t(static_cast<unsigned char>(wlan->AdapterName[i]));
    runState.nicName[i + 1] = 0;
  }
  addressText(wlan->IpAddressList.IpAddress, address);
  refreshAdapters();
  check(haveCurrentAdapter() && std::strcmp(currentAddress(), address) == 0,
        "snapshot finds the adapter", "%s at %s (snapshot: %s)", wlan->AdapterName, address,
        currentAddress());
  plat::release(block);
}

void networkParams() {
  plat::ULONG size = 0;
  plat::DWORD answer = plat::getNetworkParams(nullptr, &size);
  check(answer == plat::ERROR_BUFFER_OVERFLOW && size >= sizeof(plat::FIXED_INFO),
        "GetNetworkParams sizing", "answer %lu, size %lu (record %u)", (unsigned long)answer,
        (unsigned long)size, unsigned(sizeof(plat::FIXED_INFO)));
  if (answer != plat::ERROR_BUFFER_OVERFLOW) return;
  auto* info = static_cast<plat::FIXED_INFO*>(plat::allocate(size));
  answer = plat::getNetworkParams(info, &size);
  check(answer == 0 && terminated(info->HostName, sizeof info->HostName) &&
            terminated(info->DnsServerList.IpAddress.String, 16),
        "GetNetworkParams read", "answer %lu, host name \"%s\"", (unsigned long)answer,
        answer == 0 ? info->HostName : "");
  plat::release(info);
}

// GetIpForwardTable: the sizing call answers ERROR_INSUFFICIENT_BUFFER and
// the size, or ERROR_NO_DATA for an empty table; the rows counted fit the
// block. The run's own walk bounds what it reads by the block.
void forwardTable() {
  plat::ULONG size = 0;
  plat::DWORD answer = plat::getIpForwardTable(nullptr, &size, 0);
  check(answer == plat::ERROR_INSUFFICIENT_BUFFER || answer == plat::ERROR_NO_DATA,
        "GetIpForwardTable sizing", "answer %lu, size %lu", (unsigned long)answer,
        (unsigned long)size);
  if (answer != plat::ERROR_INSUFFICIENT_BUFFER) return;
  plat::ULONG small = sizeof(plat::DWORD);
  plat::MIB_IPFORWARDTABLE head{};
  plat::DWORD shortAnswer = plat::getIpForwardTable(&head, &small, 0);
  check(shortAnswer == plat::ERROR_INSUFFICIENT_BUFFER && small >= size,
        "GetIpForwardTable short block", "answer %lu, size %lu", (unsigned long)shortAnswer,
        (unsigned long)small);
  size_t held = size;
  auto* table = static_cast<plat::MIB_IPFORWARDTABLE*>(plat::allocate(held));
  answer = plat::getIpForwardTable(table, &size, 0);
  size_t rows = answer == 0 ? routeRowsInBlock(table, held) : 0;
  check(answer == 0 && rows == table->dwNumEntries, "GetIpForwardTable read",
        "answer %lu, %lu rows, all inside the block: %d", (unsigned long)answer,
        answer == 0 ? (unsigned long)table->dwNumEntries : 0ul,
        int(answer == 0 && rows == table->dwNumEntries));
  plat::release(table);
  check(plat::getIpForwardTable(nullptr, nullptr, 0) == plat::ERROR_INVALID_PARAMETER,
        "GetIpForwardTable without size", "ERROR_INVALID_PARAMETER");
}

// ---- IP helper: the changes, on their error paths only ------------------------

void addressChanges() {
  char16_t bogus[] = u"\\DEVICE\\TCPIP_{00000000-0000-0000-0000-000000000000}";
  plat::ULONG index = 12345;
  plat::DWORD answer = plat::getAdapterIndex(bogus, &index);
  check(answer != 0, "GetAdapterIndex unknown name", "answer %lu", (unsigned long)answer);

  // An address for an interface that does not exist (TEST-NET-1).
  plat::ULONG context = 0, instance = 0;
  answer = plat::addIPAddress(0x010200C0, 0xFFFFFFFF, 0x7FFFFFF0, &context, &instance);
  check(answer != 0, "AddIPAddress unknown interface", "answer %lu", (unsigned long)answer);
  answer = plat::deleteIPAddress(0x7FFFFFF0);
  check(answer != 0, "DeleteIPAddress unknown context", "answer %lu", (unsigned long)answer);

  plat::IP_ADAPTER_INDEX_MAP map{};
  map.Index = 0x7FFFFFF0;
  std::memcpy(map.Name, bogus, sizeof bogus);
  plat::DWORD release = plat::ipReleaseAddress(&map);
  plat::DWORD renew = plat::ipRenewAddress(&map);
  check(release != 0 && renew != 0, "IpReleaseAddress/IpRenewAddress unknown adapter",
        "answers %lu, %lu", (unsigned long)release, (unsigned long)renew);
}

// FormatMessage as the release error line asks for it.
void messages() {
  const plat::DWORD flags = plat::FORMAT_MESSAGE_ALLOCATE_BUFFER |
                            plat::FORMAT_MESSAGE_FROM_SYSTEM | plat::FORMAT_MESSAGE_IGNORE_INSERTS;
  char16_t* text = nullptr;
  plat::DWORD length =
      plat::formatMessage(flags, nullptr, 5, plat::LANG_USER_DEFAULT, &text, 0, nullptr);
  check(length > 0 && text && text[length] == 0, "FormatMessage known code", "%lu units: \"%s\"",
        (unsigned long)length, text ? narrow(text).c_str() : "");
  if (text) plat::localFree(text);
  text = nullptr;
  length =
      plat::formatMessage(flags, nullptr, 0x2FFFFFF1, plat::LANG_USER_DEFAULT, &text, 0, nullptr);
  check(length == 0, "FormatMessage unknown code", "%lu units, last error %lu",
        (unsigned long)length, (unsigned long)plat::getLastError());
  if (length && text) plat::localFree(text);
}

// ---- ICMP echo -------------------------------------------------------------------

void echo() {
  plat::HANDLE icmp = plat::icmpCreateFile();
  check(icmp != plat::INVALID_HANDLE_VALUE, "IcmpCreateFile", "handle %p", (void*)icmp);
  if (icmp == plat::INVALID_HANDLE_VALUE) return;
  // Exactly the room the platform asks for, no payload: one reply.
  struct {
    plat::ICMP_ECHO_REPLY reply;
    unsigned char room[ICMP_ERROR_BYTES];
  } buffer{};
  plat::IP_OPTION_INFORMATION options{};
  options.Ttl = ECHO_TTL;
  plat::DWORD replies = plat::icmpSendEcho(icmp, 0x0100007F, nullptr, ECHO_DATA_BYTES, &options,
                                           &buffer, sizeof buffer, ECHO_TIMEOUT_MS);
  check(
      replies == 1 && buffer.reply.Status == plat::IP_SUCCESS && buffer.reply.Address == 0x0100007F,
      "IcmpSendEcho 127.0.0.1", "%lu replies, status %lu, from %08lx, %lu ms, buffer %u bytes",
      (unsigned long)replies, (unsigned long)buffer.reply.Status,
      (unsigned long)buffer.reply.Address, (unsigned long)buffer.reply.RoundTripTime,
      unsigned(sizeof buffer));
  plat::icmpCloseHandle(icmp);

  // The probe itself: its lookups, its buffer, its reading of the reply.
  EchoResult result{};
  int32_t probe = echoProbe(u"127.0.0.1", ECHO_TTL, ECHO_TIMEOUT_MS, &result);
  check(probeSucceeded(probe, result) && narrow(result.replyAddress) == "127.0.0.1",
        "echo probe 127.0.0.1", "%d replies, status %lu, from %s", int(probe),
        (unsigned long)result.status, narrow(result.replyAddress).c_str());
}

// ---- sockets ------------------------------------------------------------------------

void sockets() {
  check(plat::inetAddr("127.0.0.1") == 0x0100007F && plat::inetAddr("192.168.15.240") == 0xF00FA8C0,
        "inet_addr dotted quads", "127.0.0.1 -> %08lx", (unsigned long)plat::inetAddr("127.0.0.1"));
  check(plat::inetAddr("localhost") == plat::INADDR_NONE, "inet_addr of a name", "INADDR_NONE");

  plat::hostent* h = plat::getHostByName("localhost");
  uint32_t a = hostEntryAddress(h);
  check(h && h->h_addrtype == plat::AF_INET && a == 0x0100007F, "gethostbyname localhost",
        "%s, address %08lx", h ? "an entry" : "no entry", (unsigned long)a);
  // A name in a reserved domain: no name server can know it, and the
  // namespace has none to ask.
  h = plat::getHostByName("no-such-host.invalid");
  check(hostEntryAddress(h) == plat::INADDR_NONE, "gethostbyname unknown name", "%s",
        h ? "an entry without an address" : "no entry");
  uint32_t loopback = 0x0100007F;
  h = plat::getHostByAddr(reinterpret_cast<const char*>(&loopback), 4, plat::AF_INET);
  a = hostEntryAddress(h);
  check(!h || a == plat::INADDR_NONE || a == 0x0100007F, "gethostbyaddr 127.0.0.1",
        "%s, address %08lx", h ? "an entry" : "no entry", (unsigned long)a);
}

// ---- window system: timers --------------------------------------------------------

plat::LRESULT QV_CALLBACK timerWindowProc(plat::HWND w, plat::UINT m, plat::WPARAM wp,
                                          plat::LPARAM lp) {
  return plat::defWindowProc(w, m, wp, lp);
}

// SetTimer delivers WM_TIMER with the timer's id through GetMessage;
// KillTimer stops it (no tick of a killed timer follows, whatever later
// timer is waited for).
void timers() {
  plat::HINSTANCE instance = hostInstance();
  plat::WNDCLASS wc{};
  wc.lpfnWndProc = timerWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = u"QvConformance";
  check(plat::registerClass(&wc) != 0, "RegisterClass", "window procedure of our convention");
  plat::HWND w = plat::createWindowEx(0, u"QvConformance", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      instance, nullptr);
  check(w != nullptr, "CreateWindowEx", "hidden window");
  if (!w) return;
  check(plat::setTimer(w, 1, 20, nullptr) == 1, "SetTimer", "id 1 every 20 ms");
  plat::MSG msg{};
  int ticks = 0;
  uint32_t start = nowMs();
  while (ticks < 3 && nowMs() - start < 5000 && plat::getMessage(&msg, nullptr, 0, 0) > 0)
    if (msg.message == plat::WM_TIMER && msg.wParam == 1) ticks++;
  check(ticks == 3, "WM_TIMER", "%d ticks of id 1 in %lu ms", ticks,
        (unsigned long)(nowMs() - start));
  check(plat::killTimer(w, 1) != 0 && plat::killTimer(w, 99) == 0, "KillTimer",
        "id 1 killed, unknown id 99 refused");
  plat::setTimer(w, 2, 200, nullptr);
  int late = 0;
  bool second = false;
  start = nowMs();
  while (!second && nowMs() - start < 5000 && plat::getMessage(&msg, nullptr, 0, 0) > 0) {
    if (msg.message != plat::WM_TIMER) continue;
    if (msg.wParam == 1) late++;
    if (msg.wParam == 2) second = true;
  }
  plat::killTimer(w, 2);
  check(second && late == 0, "no tick after KillTimer",
        "%d ticks of the killed timer before the next timer's", late);
  plat::destroyWindow(w);
}

// ---- files, clock, command line --------------------------------------------------

void files() {
  const char text[] = "line one\r\nline two\r\n";
  plat::FILEHANDLE f = plat::fileOpen(u"C:\\qv-conformance.log", "w");
  size_t wrote = f ? plat::fileWrite(text, 1, sizeof text - 1, f) : 0;
  int closed = plat::fileClose(f);
  char back[64] = {};
  size_t read = 0;
  if (FILE* r = std::fopen("C:\\qv-conformance.log", "rb")) {
    read = std::fread(back, 1, sizeof back, r);
    std::fclose(r);
  }
  std::remove("C:\\qv-conformance.log");
  check(f && wrote == sizeof text - 1 && closed == 0 && read == wrote &&
            std::memcmp(back, text, read) == 0,
        "log file write", "%u bytes written, %u read back, CR LF kept", unsigned(wrote),
        unsigned(read));
  check(plat::fileOpen(u"C:\\no-such-folder\\x.log", "w") == nullptr, "log file without folder",
        "no handle");
  plat::HANDLE device = plat::createFile(u"UIO1:", 0, 0, nullptr, plat::OPEN_EXISTING,
                                         plat::FILE_ATTRIBUTE_NORMAL | plat::FILE_FLAG_OVERLAPPED,
                                         plat::INVALID_HANDLE_VALUE);
  check(device == plat::INVALID_HANDLE_VALUE && plat::getLastError() != 0,
        "CreateFile UIO1:", "no driver here: last error %lu", (unsigned long)plat::getLastError());
}

void clockAndZone() {
  plat::SYSTEMTIME t{};
  plat::getLocalTime(&t);
  check(t.wYear >= 2020 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 && t.wDay <= 31 &&
            t.wHour < 24,
        "GetLocalTime", "%u/%02u/%u %u:%02u", t.wMonth, t.wDay, t.wYear, t.wHour, t.wMinute);
  plat::TIME_ZONE_INFORMATION tz{};
  plat::DWORD zone = plat::getTimeZoneInformation(&tz);
  check(zone <= plat::TIME_ZONE_ID_DAYLIGHT && tz.Bias == 0, "GetTimeZoneInformation",
        "answer %lu, bias %ld (the tests run in UTC)", (unsigned long)zone, (long)tz.Bias);
  // 2006-10-04 22:13:20 UTC.
  uint64_t ticks = (uint64_t(1160000000) + 11644473600ull) * 10000000ull;
  plat::FILETIME ft{plat::DWORD(ticks), plat::DWORD(ticks >> 32)};
  plat::SYSTEMTIME s{};
  bool converted = plat::fileTimeToSystemTime(&ft, &s) != 0;
  check(converted && s.wYear == 2006 && s.wMonth == 10 && s.wDay == 4 && s.wHour == 22 &&
            s.wMinute == 13 && s.wSecond == 20,
        "FileTimeToSystemTime", "%u-%02u-%02u %u:%02u:%02u", s.wYear, s.wMonth, s.wDay, s.wHour,
        s.wMinute, s.wSecond);
}

void commandLine(const wchar_t* expected) {
  std::string got = narrow(plat::getCommandLine());
  std::string want = narrow(reinterpret_cast<const char16_t*>(expected));
  check(got == want, "command line", "\"%s\" (without the program's name)", got.c_str());
}

// ---- threads: the sweep's probes, all alive at once ----------------------------

// The program's default stack reservation (the linker's, 2 MiB).
constexpr size_t PROGRAM_STACK_RESERVE = 2 * 1024 * 1024;

std::atomic<bool> go{false};
std::atomic<int> alive{0};
std::atomic<int> running{0};
std::atomic<size_t> firstReservation{0};

plat::DWORD QV_CALLBACK waitingThread(void*) {
  if (alive++ == 0) firstReservation = hostStackReservation();
  running++;
  while (!go) plat::sleep(5);
  running--;
  return 0;
}

// Starts up to n threads of stackBytes through start, each waiting for the
// go signal; answers how many were alive at once, then lets them all end
// and waits until they have.
int aliveAtOnce(int n, plat::HANDLE (*start)(size_t), size_t stackBytes, int* startedOut) {
  go = false;
  alive = 0;
  int started = 0;
  for (; started < n; started++) {
    plat::HANDLE t = start(stackBytes);
    if (!t) break;
    plat::closeHandle(t);
  }
  for (int i = 0; i < 1000 && alive < started; i++) plat::sleep(10);
  int atOnce = running;
  *startedOut = started;
  go = true;
  for (int i = 0; i < 1000 && running > 0; i++) plat::sleep(10);
  // The last ones are still leaving: give their stacks back before any
  // later count.
  plat::sleep(200);
  return atOnce;
}

plat::HANDLE ourThread(size_t stack) {
  return plat::createThread(waitingThread, nullptr, stack, nullptr);
}
plat::HANDLE committedThread(size_t stack) { return hostCommittedThread(waitingThread, stack); }

void threads() {
  int started = 0;
  int ours = aliveAtOnce(SWEEP_PROBES, ourThread, PROBE_STACK_BYTES, &started);
  size_t reserved = firstReservation;
  // The request is taken as the reservation: 64 KiB, or the platform's
  // floor (1 MiB under Wine), never the program's default of 2 MiB.
  check(reserved >= PROBE_STACK_BYTES && reserved < PROGRAM_STACK_RESERVE,
        "probe stack is a reservation", "%u KiB reserved for a %u KiB request",
        unsigned(reserved / 1024), unsigned(PROBE_STACK_BYTES / 1024));
  check(ours == SWEEP_PROBES, "sweep threads alive at once",
        "%d of %d threads of %u KiB (%d started, last error %lu)", ours, SWEEP_PROBES,
        unsigned(PROBE_STACK_BYTES / 1024), started, (unsigned long)plat::getLastError());
  // For comparison only (not a check: it depends on the address space the
  // system gives the process).
  int committed = aliveAtOnce(2 * SWEEP_PROBES, committedThread, PROBE_STACK_BYTES, &started);
  std::printf("info without the reservation flag: %d of %d such threads alive at once\n", committed,
              2 * SWEEP_PROBES);
  std::printf("info stack reserved: %u KiB with the flag, %u KiB without\n",
              unsigned(reserved / 1024), unsigned(firstReservation / 1024));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::printf("conformance: %u-bit, IP_ADAPTER_INFO %u bytes, ICMP_ECHO_REPLY %u bytes\n",
              unsigned(8 * sizeof(void*)), unsigned(sizeof(plat::IP_ADAPTER_INFO)),
              unsigned(sizeof(plat::ICMP_ECHO_REPLY)));
  // What the command line must read: the arguments after the name, joined
  // by single blanks (run.sh passes simple words).
  std::wstring args;
  for (int i = 1; i < argc; i++) args += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
  commandLine(args.c_str());
  adaptersInfo();
  networkParams();
  forwardTable();
  addressChanges();
  messages();
  echo();
  sockets();
  files();
  clockAndZone();
  timers();
  threads();
  std::printf("conformance: %d checks, %d failed\n", checks, failures);
  return failures;
}
