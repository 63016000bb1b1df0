// Playing a sound file.
#include "platform/core.h"

namespace {
constexpr plat::UINT OUR_SND_ASYNC = plat::SND_ASYNC;
}

#include <windows.h>

#include <mmsystem.h>  // needs windows.h first

static_assert(OUR_SND_ASYNC == SND_ASYNC);

namespace plat {

// No module: the name is looked up as an alias first and else taken as a
// file name, which is how the device finds "alarm1.wav" too.
BOOL playSound(const char16_t* fileName, UINT flags) {
  return ::PlaySoundW(reinterpret_cast<const wchar_t*>(fileName), nullptr, flags);
}

}  // namespace plat
