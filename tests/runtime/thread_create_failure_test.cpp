// The program's threads are created through one call; this test links it against a stand-in
// for pthread_create (the linker's --wrap) that can refuse, as the system does when it runs out
// of threads.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cerrno>

#include "runtime/threads.h"
#include "support/shell_double.h"

namespace {
bool refuse = false;
}

extern "C" int __real_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
extern "C" int __wrap_pthread_create(pthread_t* t, const pthread_attr_t* a, void* (*f)(void*),
                                     void* arg) {
  if (refuse) return EAGAIN;
  return __real_pthread_create(t, a, f, arg);
}

TEST(ThreadCreateFailure, IsAFatalAlertNamingTheCallAndLeavesNoHandle) {
  shell_double::reset();
  refuse = true;
  UTL_thread t = pthread_self(), id = pthread_self(), join = pthread_self();
  UTL_thread_create([](void*) -> void* { return nullptr; }, nullptr, &t, &id, &join);
  refuse = false;
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "\"pthread_create\" OS error");
  EXPECT_EQ(alerts[0].lines[1], "err=11.000000");
  EXPECT_EQ(alerts[0].lines[2], "");
  EXPECT_EQ(alerts[0].lines[3], "");
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].file, "/code/design++/RIzirud/UTL/UTL_thread");
  EXPECT_EQ(alerts[0].line, 112);
  // No caller may join a thread that never started.
  EXPECT_TRUE(pthread_equal(t, UTL_thread{}));
  EXPECT_TRUE(pthread_equal(id, UTL_thread{}));
  EXPECT_TRUE(pthread_equal(join, UTL_thread{}));
}
