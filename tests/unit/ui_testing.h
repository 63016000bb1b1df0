// Window tests run in a child process each: the window system, the
// scheduler and the console are process-wide and start empty only once.
#pragma once
#include <gtest/gtest.h>
#include "harness/child.h"

// Runs body in a forked child; failures inside it are printed there and
// make the child exit with 1.
template <typename Body>
int inChildProcess(Body body) {
  sim::ChildEnd end = sim::runInChild([&] {
    body();
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  return end.exited ? end.code : 100;
}
