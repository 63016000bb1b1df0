// Compile-time proof that a record of ours is laid out exactly like the
// published one, so that a pointer to either may be handed to the other.
// Include after the platform headers and the Windows headers.
#pragma once
#include <cstddef>

#define QV_SAME_SIZE(ours, theirs)                                                        \
  static_assert(                                                                          \
      sizeof(plat::ours) == sizeof(::theirs) && alignof(plat::ours) <= alignof(::theirs), \
      #ours " differs in size from " #theirs)

#define QV_SAME_FIELD(ours, theirs, field)                                  \
  static_assert(offsetof(plat::ours, field) == offsetof(::theirs, field) && \
                    sizeof(plat::ours::field) == sizeof(::theirs::field),   \
                #ours "." #field " differs from " #theirs)
