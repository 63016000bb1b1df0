// The node loop: works through the candidate networks one at a time until
// one passes the DNS test or none is left.
#pragma once

// A well-known public host name that resolves and answers ICMP echo (the
// DNS test's target).
inline constexpr const char16_t* PUBLIC_TEST_HOST = u"www.google.com";
inline constexpr const char16_t* SUCCESS_SOUND = u"alarm1.wav";

constexpr int ASSOCIATION_POLLS = 8;
constexpr unsigned ASSOCIATION_POLL_MS = 2000;
constexpr unsigned FAILED_NODE_PAUSE_MS = 1000;

void nodeLoop();
// The bookkeeping after every failed node.
void markNodeFailed();
