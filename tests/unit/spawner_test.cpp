// The spawner forks children for its caller: each request's end comes back
// with its tag, however the children interleave and end, and a child sees
// the caller as it was when the spawner started, not as it is now.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>

#include "harness/spawner.h"

namespace {

int setAfterStart = 1;
// A child told "hold" waits for a byte on this pipe, which the test sends
// when it has seen every other child end: the order of ends is then the
// test's, not the scheduler's.
int gate[2] = {-1, -1};

// "exit N", "hold exit N", "sleep MS exit N", "signal N" or "global".
int act(const std::string& r) {
  int a = 0, b = 0;
  if (std::sscanf(r.c_str(), "hold exit %d", &a) == 1) {
    char byte = 0;
    return read(gate[0], &byte, 1) == 1 ? a : 98;
  }
  if (std::sscanf(r.c_str(), "sleep %d exit %d", &a, &b) == 2) {
    usleep(useconds_t(a) * 1000);
    return b;
  }
  if (std::sscanf(r.c_str(), "exit %d", &a) == 1) return a;
  if (std::sscanf(r.c_str(), "signal %d", &a) == 1) raise(a);
  if (r == "global") return setAfterStart;
  return 99;
}

TEST(Spawner, EveryEndComesBackOnceWithItsTagAndHowTheChildEnded) {
  ASSERT_EQ(pipe(gate), 0);
  sim::Spawner s;
  ASSERT_TRUE(s.start(act));
  // The first submitted is held until the others have ended.
  ASSERT_TRUE(s.submit(1000, "hold exit 5"));
  std::map<uint64_t, int> want;
  for (int i = 1; i < 8; i++) {
    const uint64_t tag = 1000 + uint64_t(i);
    ASSERT_TRUE(s.submit(tag, "exit " + std::to_string(i)));
    want[tag] = i;
  }
  ASSERT_TRUE(s.submit(7, "signal " + std::to_string(SIGTERM)));
  want[7] = -1;
  std::map<uint64_t, int> got;
  auto take = [&] {
    uint64_t tag = 0;
    int status = 0;
    ASSERT_TRUE(s.wait(&tag, &status));
    EXPECT_EQ(got.count(tag), 0u) << tag;
    if (tag == 7) {
      EXPECT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGTERM);
      got[tag] = -1;
      return;
    }
    ASSERT_TRUE(WIFEXITED(status)) << tag;
    got[tag] = WEXITSTATUS(status);
  };
  // Ends are reported as they happen: all of these while 1000 still runs.
  for (int i = 0; i < 8; i++) take();
  EXPECT_EQ(got, want);
  ASSERT_EQ(write(gate[1], "g", 1), 1);
  take();
  want[1000] = 5;
  EXPECT_EQ(got, want);
  close(gate[0]);
  close(gate[1]);
}

TEST(Spawner, AChildSeesTheCallerAsItWasWhenTheSpawnerStarted) {
  setAfterStart = 1;
  sim::Spawner s;
  ASSERT_TRUE(s.start(act));
  setAfterStart = 2;
  ASSERT_TRUE(s.submit(1, "global"));
  uint64_t tag = 0;
  int status = 0;
  ASSERT_TRUE(s.wait(&tag, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(Spawner, RefusesAnOversizedRequestAndEndsWithItsChildrenReaped) {
  {
    sim::Spawner s;
    ASSERT_TRUE(s.start(act));
    EXPECT_FALSE(s.submit(1, std::string(size_t(sim::Spawner::MAX_REQUEST_BYTES) + 1, 'x')));
    // Still running when the spawner is dropped: it waits for them.
    ASSERT_TRUE(s.submit(2, "sleep 50 exit 0"));
    ASSERT_TRUE(s.submit(3, "sleep 10 exit 0"));
  }
  // Neither the spawner nor its children are left for this process to reap.
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
