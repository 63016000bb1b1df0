// System message text for an error code.
#include "platform/core.h"

namespace {
constexpr plat::DWORD OUR_ALLOCATE_BUFFER = plat::FORMAT_MESSAGE_ALLOCATE_BUFFER;
constexpr plat::DWORD OUR_IGNORE_INSERTS = plat::FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr plat::DWORD OUR_FROM_SYSTEM = plat::FORMAT_MESSAGE_FROM_SYSTEM;
constexpr plat::DWORD OUR_LANG_USER_DEFAULT = plat::LANG_USER_DEFAULT;
}  // namespace

#include <windows.h>
#include <cstdarg>

static_assert(OUR_ALLOCATE_BUFFER == FORMAT_MESSAGE_ALLOCATE_BUFFER);
static_assert(OUR_IGNORE_INSERTS == FORMAT_MESSAGE_IGNORE_INSERTS);
static_assert(OUR_FROM_SYSTEM == FORMAT_MESSAGE_FROM_SYSTEM);
static_assert(OUR_LANG_USER_DEFAULT == LANG_USER_DEFAULT);

namespace plat {

// With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument is where the
// address of the allocated text goes.
DWORD formatMessage(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                    char16_t** allocated, DWORD size, void* arguments) {
  return ::FormatMessageW(flags, source, messageId, languageId,
                          reinterpret_cast<wchar_t*>(allocated), size,
                          static_cast<va_list*>(arguments));
}

void localFree(void* block) { ::LocalFree(block); }

}  // namespace plat
