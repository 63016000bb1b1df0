// System message texts (FormatMessage) from the scenario's [system.messages].
#include <algorithm>
#include <cstdlib>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace plat {

using namespace sim;

DWORD formatMessage(DWORD flags, const void*, DWORD messageId, DWORD, char16_t** allocated, DWORD,
                    void*) {
  sim::switchPoint();
  auto it = world.system.messages.find(messageId);
  trace("FormatMessage", {{"code", messageId}, {"found", it != world.system.messages.end()}});
  if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || !allocated) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (it == world.system.messages.end()) {
    lastError = 317;  // ERROR_MR_MID_NOT_FOUND
    return 0;
  }
  const std::u16string& t = it->second;
  auto* buf = static_cast<char16_t*>(std::malloc((t.size() + 1) * sizeof(char16_t)));
  if (!buf)
    stopForHost(EXIT_HOST_LIMIT, "cannot allocate a message buffer: the host is out of memory");
  host.liveBlocks++;
  std::copy(t.begin(), t.end(), buf);
  buf[t.size()] = 0;
  *allocated = buf;
  return DWORD(t.size());
}

void localFree(void* block) {
  sim::switchPoint();
  if (block) host.liveBlocks--;
  std::free(block);
}

}  // namespace plat
