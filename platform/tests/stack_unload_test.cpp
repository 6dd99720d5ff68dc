// A program that does not link the platform loads a plugin that does, has a worker thread walk
// deeply through it, closes the plugin and lets the worker exit afterwards.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <semaphore>

#include "testing/stacks.hpp"

namespace {

using Walk = std::int64_t (*)(std::int64_t);

struct Worker {
  Walk walk;
  std::int64_t depth;
  std::int64_t result = -1;
  std::binary_semaphore walked{0}, closed{0};
};

// One round: open the plugin, walk on a worker with a small stack, close the plugin while the
// worker still lives, then let the worker exit.
void round(std::int64_t depth) {
  void* plugin = dlopen(STACK_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(plugin, nullptr) << dlerror();
  auto walk = reinterpret_cast<Walk>(dlsym(plugin, "stackPluginWalk"));
  ASSERT_NE(walk, nullptr) << dlerror();
  Worker w{walk, depth};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 64 * 1024);
  pthread_t th;
  ASSERT_EQ(pthread_create(
                &th, &attr,
                [](void* p) -> void* {
                  auto& w = *static_cast<Worker*>(p);
                  w.result = w.walk(w.depth);
                  w.walked.release();
                  w.closed.acquire();
                  return nullptr;
                },
                &w),
            0);
  pthread_attr_destroy(&attr);
  w.walked.acquire();
  EXPECT_EQ(dlclose(plugin), 0);
  w.closed.release();
  pthread_join(th, nullptr);
  EXPECT_EQ(w.result, depth);
}

// The worker exits cleanly after the plugin is gone, and its segments go: rounds map no more.
TEST(StackUnload, WorkerExitsAfterPluginClosed) {
  const std::int64_t depth = testing_support::fullDepth ? 200000 : 20000;
  round(depth);
  round(depth);
  const std::size_t before = testing_support::mappedBytes();
  for (int i = 0; i < 8; ++i) round(depth);
  EXPECT_LT(testing_support::mappedBytes(), before + 4 * 1024 * 1024);
}

}  // namespace
