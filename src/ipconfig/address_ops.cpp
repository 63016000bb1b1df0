#include "ipconfig/address_ops.h"

#include <cstddef>

#include "console/console.h"
#include "console/format.h"
#include "ipconfig/adapters.h"
#include "platform/core.h"
#include "platform/iphlp.h"
#include "platform/sockets.h"
#include "run/run_state.h"

namespace {

[[noreturn]] void endProcess() { plat::exitProcess(EXIT_ROUTE_FAILURE); }

// The system's text for the error, as the release-failure line shows it.
void releaseErrorLine(plat::DWORD error) {
  char16_t* text = nullptr;
  plat::DWORD length =
      plat::formatMessage(plat::FORMAT_MESSAGE_ALLOCATE_BUFFER | plat::FORMAT_MESSAGE_FROM_SYSTEM |
                              plat::FORMAT_MESSAGE_IGNORE_INSERTS,
                          nullptr, error, plat::LANG_USER_DEFAULT, &text, 0, nullptr);
  if (length == 0 || !text) {
    plat::localFree(text);
    return;
  }
  formatReleaseError(runState.scratch, RUN_TEXT_CHARS, text, length, error);
  plat::localFree(text);
  appendLine(runState.scratch);
}

}  // namespace

uint32_t addTemporaryAddress(const char* address, const char* mask) {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  plat::ULONG context = 0, instance = 0;
  // Without the WLAN adapter in the IP configuration there is no interface
  // to add the address to: reported as a failed add.
  plat::DWORD answer = a ? plat::addIPAddress(plat::inetAddr(address), plat::inetAddr(mask),
                                              a->Index, &context, &instance)
                         : plat::ERROR_INVALID_PARAMETER;
  if (answer == 0) {
    FORMAT_SCRATCH(u"     IP address added: %S", address);
    appendLine(runState.scratch);
  } else {
    appendLine(u"     Error adding IP address.");
  }
  return context;
}

void deleteAddress(uint32_t context) {
  if (plat::deleteIPAddress(context) == 0)
    appendLine(u"     IP Address Deleted.");
  else
    appendLine(u"     IP Address Deletetion failed.");
}

// The route table's two-call pattern. The sizing call answers
// ERROR_INSUFFICIENT_BUFFER with the size, or ERROR_NO_DATA when there are no
// routes at all (nothing to delete). Between the sizing call and the read
// the table can grow (a lease arriving adds routes): the read then answers
// ERROR_INSUFFICIENT_BUFFER or ERROR_MORE_DATA with the new size, and the
// block is sized again, a bounded number of times.
void deleteDefaultRoutes() {
  plat::ULONG size = 0;
  plat::MIB_IPFORWARDTABLE* table = nullptr;
  // The block we own is as large as we allocated, whatever a later call
  // writes back into size.
  size_t held = 0;
  plat::DWORD answer = plat::getIpForwardTable(nullptr, &size, 0);
  for (int sized = 0; sized < ROUTE_TABLE_SIZINGS; sized++) {
    if (answer != plat::ERROR_INSUFFICIENT_BUFFER && answer != plat::ERROR_MORE_DATA) break;
    plat::release(table);
    held = size;
    table = static_cast<plat::MIB_IPFORWARDTABLE*>(plat::allocate(held));
    if (!table) {
      appendLine(u"Malloc failed, Out of Memory!");
      endProcess();
    }
    answer = plat::getIpForwardTable(table, &size, 0);
  }
  if (answer == plat::ERROR_NO_DATA) answer = 0, held = 0;
  if (answer != 0) {
    FORMAT_SCRATCH(u"GetIpForwardTable Failed, ERROR %d", answer);
    appendLine(runState.scratch);
    plat::release(table);
    endProcess();
  }
  size_t rows = routeRowsInBlock(table, held);
  for (size_t i = 0; i < rows; i++) {
    if (table->table[i].dwForwardDest != 0) continue;
    if (plat::deleteIpForwardEntry(&table->table[i]) != 0) {
      appendLine(u"Could not delete old gateway");
      endProcess();
    }
  }
  plat::release(table);
}

void formatReleaseError(char16_t* out, size_t capacity, const char16_t* message, size_t length,
                        plat::DWORD code) {
  if (capacity == 0) return;
  // The code is what the line is for: the message gets only the room that
  // "E", "-" and all the code's digits leave.
  char16_t digits[16];
  size_t codeChars = size_t(formatText(digits, 16, u"%d", code));
  char text[RUN_TEXT_CHARS];
  size_t room = capacity - 1 > codeChars + 2 ? capacity - 1 - codeChars - 2 : 0;
  if (room > sizeof text - 1) room = sizeof text - 1;
  size_t n = 0;
  bool inBreak = false;
  for (size_t i = 0; i < length && message[i] && n < room; i++) {
    char16_t c = message[i];
    // A line break (CR, LF or both) is one blank: the console line stays one.
    if (c == u'\r' || c == u'\n') {
      if (!inBreak) text[n++] = ' ';
      inBreak = true;
      continue;
    }
    inBreak = false;
    if (c == u'\t') {
      c = u' ';
    } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && message[i + 1] >= 0xDC00 &&
               message[i + 1] < 0xE000) {
      c = u'?';  // one character in two units: one placeholder
      i++;
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0xFF) {
      c = u'?';  // a control, or beyond the 8-bit code page
    }
    text[n++] = char(c);
  }
  while (n > 0 && text[n - 1] == ' ') n--;
  text[n] = 0;
  formatText(out, capacity, u"E%S-%d", text, code);
}

size_t routeRowsInBlock(const plat::MIB_IPFORWARDTABLE* table, size_t blockBytes) {
  const size_t head = offsetof(plat::MIB_IPFORWARDTABLE, table);
  if (!table || blockBytes < sizeof table->dwNumEntries) return 0;
  size_t room = blockBytes > head ? (blockBytes - head) / sizeof(plat::MIB_IPFORWARDROW) : 0;
  return table->dwNumEntries < room ? table->dwNumEntries : room;
}

void releaseAndRenew() {
  plat::ULONG index = 0;
  if (plat::getAdapterIndex(runState.nicName, &index) != 0) {
    appendLine(u"Index Error");
    return;
  }
  plat::IP_ADAPTER_INDEX_MAP map{};
  map.Index = index;
  copyWide(map.Name, plat::MAX_ADAPTER_NAME, runState.nicName);

  // Without the WLAN adapter in the snapshot the classification is
  // ADDRESS_NONE: nothing is deleted or released.
  if (classifyAddress() != ADDRESS_NONE) {
    const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
    int n = 0;
    for (const plat::IP_ADDR_STRING* e = &a->IpAddressList; e && n < MAX_CHAIN;
         e = nextEntry(e), n++) {
      FORMAT_SCRATCH(u"debug de Context en release: %X", e->Context);
      appendLine(runState.scratch);
      if (e->Context != KEEP_CONTEXT) deleteAddress(e->Context);
    }
    appendText(u"     Releasing... ");
    plat::DWORD answer = plat::ipReleaseAddress(&map);
    if (answer == 0) {
      refreshAdapters();
      FORMAT_SCRATCH(u"Done: %S", currentAddress());
      appendLine(runState.scratch);
    } else {
      appendText(u"Release Error:");
      releaseErrorLine(answer);
    }
  }

  refreshAdapters();
  appendText(u"     Renewing ");
  if (plat::ipRenewAddress(&map) != 0) {
    appendLine(u"Renew Error");
  } else {
    for (int k = 0; k < RENEW_POLLS; k++) {
      appendText(u".");
      plat::sleep(RENEW_POLL_MS);
      refreshAdapters();
      runState.addressState = classifyAddress();
      if (runState.addressState == ADDRESS_VALID) {
        FORMAT_SCRATCH(u"Renewed in %2ds ", 2 * k);
        appendLine(runState.scratch);
        break;
      }
      if (runState.addressState == ADDRESS_APIPA) {
        appendLine(u"Renew Error: Got an APIPA");
        break;
      }
    }
  }
  if (runState.addressState != ADDRESS_VALID) appendLine(u"Renew Error");
}
