// The spawner forks children for its caller: each request's end comes back
// with its tag, however the children interleave and end, and a child sees
// the caller as it was when the spawner started, not as it is now.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <map>
#include <string>

#include "harness/spawner.h"

namespace {

int setAfterStart = 1;

// "exit N", "sleep MS exit N", "signal N" or "global".
int act(const std::string& r) {
  int a = 0, b = 0;
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
  sim::Spawner s;
  ASSERT_TRUE(s.start(act));
  // Eight at once, the first submitted ending last.
  std::map<uint64_t, int> want;
  for (int i = 0; i < 8; i++) {
    const uint64_t tag = 1000 + uint64_t(i);
    ASSERT_TRUE(
        s.submit(tag, "sleep " + std::to_string((8 - i) * 15) + " exit " + std::to_string(i)));
    want[tag] = i;
  }
  ASSERT_TRUE(s.submit(7, "signal " + std::to_string(SIGTERM)));
  std::map<uint64_t, int> got;
  uint64_t first = 0;
  for (int i = 0; i < 9; i++) {
    uint64_t tag = 0;
    int status = 0;
    ASSERT_TRUE(s.wait(&tag, &status));
    if (i == 0) first = tag;
    EXPECT_EQ(got.count(tag), 0u) << tag;
    if (tag == 7) {
      EXPECT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGTERM);
      got[tag] = -1;
      continue;
    }
    ASSERT_TRUE(WIFEXITED(status)) << tag;
    got[tag] = WEXITSTATUS(status);
  }
  EXPECT_NE(first, 1000u);  // ends are reported as they happen, not in order
  want[7] = -1;
  EXPECT_EQ(got, want);
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
