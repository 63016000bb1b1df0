// Address parsing and name lookup through Winsock, which is started once,
// on the first call, whichever thread makes it.
#include "platform/sockets.h"

namespace {
constexpr uint32_t OUR_INADDR_NONE = plat::INADDR_NONE;
constexpr int OUR_AF_INET = plat::AF_INET;
}  // namespace

#include <winsock2.h>  // before windows.h, as Winsock 2 asks

#include <windows.h>

#include "platform/win32/layout.h"

static_assert(OUR_INADDR_NONE == INADDR_NONE && OUR_AF_INET == AF_INET);

QV_SAME_SIZE(hostent, hostent);
QV_SAME_FIELD(hostent, hostent, h_name);
QV_SAME_FIELD(hostent, hostent, h_aliases);
QV_SAME_FIELD(hostent, hostent, h_addrtype);
QV_SAME_FIELD(hostent, hostent, h_length);
QV_SAME_FIELD(hostent, hostent, h_addr_list);

namespace {

// Winsock, on the device as on the desktop, wants WSAStartup before any
// other call; the program's code makes none, so it is made here. Started once and
// never cleaned up: the process ends with its sockets. A failed start is
// left to the calls, which then fail with WSANOTINITIALISED.
void startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

}  // namespace

namespace plat {

uint32_t inetAddr(const char* text) {
  startWinsock();
  return ::inet_addr(text);
}

// Winsock keeps the record per thread until the thread's next lookup, as
// the device does.
hostent* getHostByName(const char* name) {
  startWinsock();
  return reinterpret_cast<hostent*>(::gethostbyname(name));
}

hostent* getHostByAddr(const char* address, int length, int type) {
  startWinsock();
  return reinterpret_cast<hostent*>(::gethostbyaddr(address, length, type));
}

}  // namespace plat
