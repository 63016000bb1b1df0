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

uint32_t inetAddr(const char* text);
hostent* getHostByName(const char* name);
hostent* getHostByAddr(const char* address, int length, int type);

}  // namespace plat
