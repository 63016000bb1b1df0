// Changes to the device's IP configuration: a temporary address, deleting
// addresses and default routes, releasing and renewing the DHCP lease.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/iphlp.h"

constexpr int RENEW_POLLS = 8;
constexpr unsigned RENEW_POLL_MS = 2000;
constexpr uint32_t KEEP_CONTEXT = 3;  // an address with this context is never deleted
constexpr int EXIT_ROUTE_FAILURE = 1;
// How many times the route table's block is sized for a table that keeps
// growing between the calls before the read counts as failed.
constexpr int ROUTE_TABLE_SIZINGS = 4;

// Adds address/mask (dotted 8-bit texts) to the WLAN adapter; answers the
// new address's context (0 when none was given).
uint32_t addTemporaryAddress(const char* address, const char* mask);
void deleteAddress(uint32_t context);
// Deletes every IPv4 default route of the device; a failure ends the process.
void deleteDefaultRoutes();
// The rows of a route table that may be read: dwNumEntries, but no more
// than lie whole in the block of blockBytes bytes that holds the table
// (none when the block is too short for the count itself).
size_t routeRowsInBlock(const plat::MIB_IPFORWARDTABLE* table, size_t blockBytes);
// The release-failure line "E%S-%d" for a system message of `length` units
// (or up to its NUL) and an error code, into out (capacity units, always
// terminated). The code is always whole; the message is cut to the room
// left. Inside it a line break becomes one blank and a tab a blank, every
// character the console cannot show (a control, anything beyond the 8-bit
// code page; a surrogate pair counts as one) one '?'; blanks at its end are
// dropped.
void formatReleaseError(char16_t* out, size_t capacity, const char16_t* message, size_t length,
                        plat::DWORD code);
// Releases and renews the WLAN adapter's lease and waits for the new
// address; the outcome is the run's address state.
void releaseAndRenew();
