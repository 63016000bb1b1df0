// Compile-time proof that a record of ours is laid out exactly like the
// published one, so that a pointer to either may be handed to the other.
// Include after the platform headers and the Windows headers.
#pragma once
#include <cstddef>
#include <type_traits>

#define QV_SAME_SIZE(ours, theirs)                                                        \
  static_assert(                                                                          \
      sizeof(plat::ours) == sizeof(::theirs) && alignof(plat::ours) <= alignof(::theirs), \
      #ours " differs in size from " #theirs)

#define QV_SAME_FIELD(ours, theirs, field)                                  \
  static_assert(offsetof(plat::ours, field) == offsetof(::theirs, field) && \
                    sizeof(plat::ours::field) == sizeof(::theirs::field),   \
                #ours "." #field " differs from " #theirs)

// A pointer to a function of the platform's callback convention (WINAPI:
// __stdcall on x86-32) with the given result and arguments. Comparing one of
// our callback types with it proves the convention agrees; the argument and
// result types themselves are then compared by size, as the spelling of an
// integer type (unsigned long against uint32_t) differs between the two.
template <class R, class... A>
using QvWinapiPointer = R(WINAPI*)(A...);
