// The sockets interface's address parsing and name lookup.
#pragma once
#include "platform/types.h"

namespace plat {

constexpr uint32_t INADDR_NONE = 0xFFFFFFFF;
constexpr int AF_INET = 2;

// struct hostent as the sockets interface publishes it. The record and the
// lists it points to belong to the calling thread until its next lookup.
struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};

// The address text in network byte order, or INADDR_NONE: "a", "a.b",
// "a.b.c" or "a.b.c.d", each part decimal, octal (leading 0) or hexadecimal
// (0x), the last part filling the bytes left; the text ends at its end or at
// white space. NULL: INADDR_NONE and WSAEFAULT as the last error.
uint32_t inetAddr(const char* text);
hostent* getHostByName(const char* name);
hostent* getHostByAddr(const char* address, int length, int type);

}  // namespace plat
