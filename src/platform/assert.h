// Assertions that say what must hold: a broken invariant (a record's bound,
// a protocol's order) stops the process with a message, in every build,
// rather than letting it run on with corrupt state. They are not tests and
// not error handling: nothing the platform or the user does may trip one.
#pragma once

namespace plat {

// Writes "assertion failed: FILE:LINE: CONDITION: WHY" where the back end
// reports faults (the debug channel on Windows, standard error in the
// simulator) and ends the process at once. Does not return.
[[noreturn]] void assertionFailed(const char* file, int line, const char* condition,
                                  const char* why);

}  // namespace plat

// QV_ASSERT(condition, why): `why` says, in words, what must hold.
#define QV_ASSERT(condition, why) \
  ((condition) ? (void)0 : ::plat::assertionFailed(__FILE__, __LINE__, #condition, why))
