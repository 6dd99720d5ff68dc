// Running a test's code on a small native stack: a thread made with a given stack size, or a stack
// of a given size entered with makecontext (which no thread attribute reports), or several such
// stacks taking turns as coroutines of one thread. Each rethrows what the code throws; an overflow
// faults on a guard page.
#pragma once

#include <pthread.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TESTING_STACKS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESTING_STACKS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define TESTING_STACKS_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TESTING_STACKS_TSAN 1
#endif
#endif
#ifdef TESTING_STACKS_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#ifdef TESTING_STACKS_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace testing_support {

// Whether the build runs under ThreadSanitizer.
#ifdef TESTING_STACKS_TSAN
inline constexpr bool threadSanitizer = true;
#else
inline constexpr bool threadSanitizer = false;
#endif

// Whether the build is optimised and runs under no sanitizer. Deep native recursion takes several
// times the stack (and the time to touch it) otherwise, so tests of it there take a tenth of the
// depth.
#if defined(TESTING_STACKS_ASAN) || defined(TESTING_STACKS_TSAN) || !defined(__OPTIMIZE__)
inline constexpr bool fullDepth = false;
#else
inline constexpr bool fullDepth = true;
#endif

// A new thread running fn(arg) on a stack of `bytes`, for the caller to join: it may end by
// pthread_exit or cancellation, and what it ends with is the caller's.
inline pthread_t startThread(std::size_t bytes, void* (*fn)(void*), void* arg) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t th;
  const int rc = pthread_create(&th, &attr, fn, arg);
  pthread_attr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("pthread_create failed");
  return th;
}

// f() on a new thread whose stack is `bytes` long; waits for it.
inline void onThreadStack(std::size_t bytes, const std::function<void()>& f) {
  struct Job {
    const std::function<void()>* f;
    std::exception_ptr error;
  } job{&f, nullptr};
  const pthread_t th = startThread(
      bytes,
      [](void* p) -> void* {
        auto* j = static_cast<Job*>(p);
        try {
          (*j->f)();
        } catch (...) {
          j->error = std::current_exception();
        }
        return nullptr;
      },
      &job);
  pthread_join(th, nullptr);
  if (job.error) std::rethrow_exception(job.error);
}

// f() on a stack of `bytes` (plus a guard page below) entered with swapcontext.
inline void onContextStack(std::size_t bytes, const std::function<void()>& f) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t size = (bytes + page - 1) / page * page;
  void* base = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  mprotect(base, page, PROT_NONE);
  char* low = static_cast<char*>(base) + page;
  struct Job {
    const std::function<void()>* f;
    std::exception_ptr error;
    ucontext_t caller, callee;
    const void* callerBottom = nullptr;
    std::size_t callerSize = 0;
  };
  static thread_local Job* current = nullptr;
  Job job{&f, nullptr, {}, {}};
  getcontext(&job.callee);
  job.callee.uc_stack.ss_sp = low;
  job.callee.uc_stack.ss_size = size;
  job.callee.uc_link = nullptr;
  makecontext(&job.callee, [] {
    Job* j = current;
#ifdef TESTING_STACKS_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &j->callerBottom, &j->callerSize);
#endif
    try {
      (*j->f)();
    } catch (...) {
      j->error = std::current_exception();
    }
#ifdef TESTING_STACKS_ASAN
    __sanitizer_start_switch_fiber(nullptr, j->callerBottom, j->callerSize);
#endif
    setcontext(&j->caller);
  }, 0);
  current = &job;
#ifdef TESTING_STACKS_ASAN
  void* fake = nullptr;
  __sanitizer_start_switch_fiber(&fake, low, size);
#endif
  swapcontext(&job.caller, &job.callee);
#ifdef TESTING_STACKS_ASAN
  __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
#ifdef TESTING_STACKS_ASAN
  __asan_unpoison_memory_region(low, size);
#endif
  munmap(base, size + page);
  if (job.error) std::rethrow_exception(job.error);
}

namespace detail {

// A coroutine and the scheduler of its thread's coroutines. Each side records, when it is switched
// to, the bounds of the stack the other left from (for ASan: a coroutine may leave from a stack
// segment of its walk) and, when it switches away, the TSan fiber it leaves.
struct Coroutine {
  const std::function<void()>* body = nullptr;
  ucontext_t context{};
  void* mapped = nullptr;
  std::size_t mappedSize = 0;
  const void* bottom = nullptr;
  std::size_t size = 0;
  void* fakeStack = nullptr;
  void* fiber = nullptr;
  bool done = false;
  std::exception_ptr error;
};
struct Scheduler {
  ucontext_t context{};
  const void* bottom = nullptr;
  std::size_t size = 0;
  void* fakeStack = nullptr;
  void* fiber = nullptr;
  Coroutine* running = nullptr;
};
inline thread_local Scheduler* scheduler = nullptr;

inline void startCoroutine() {
  Scheduler& s = *scheduler;
  Coroutine& c = *s.running;
#ifdef TESTING_STACKS_ASAN
  __sanitizer_finish_switch_fiber(nullptr, &s.bottom, &s.size);
#endif
  try {
    (*c.body)();
  } catch (...) {
    c.error = std::current_exception();
  }
  c.done = true;
#ifdef TESTING_STACKS_ASAN
  __sanitizer_start_switch_fiber(nullptr, s.bottom, s.size);
#endif
#ifdef TESTING_STACKS_TSAN
  c.fiber = __tsan_get_current_fiber();
  __tsan_switch_to_fiber(s.fiber, 0);
#endif
  setcontext(&s.context);
}

// A coroutine not started yet, on a new stack (its own function: getcontext returns twice).
[[gnu::noinline]] inline void makeCoroutine(Coroutine& c, const std::function<void()>& body, std::size_t size,
                                            std::size_t page) {
  c.body = &body;
  c.mappedSize = size + page;
  c.mapped = mmap(nullptr, c.mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (c.mapped == MAP_FAILED) {
    std::perror("mmap");
    std::abort();
  }
  mprotect(c.mapped, page, PROT_NONE);
  c.bottom = static_cast<char*>(c.mapped) + page;
  c.size = size;
  getcontext(&c.context);
  c.context.uc_stack.ss_sp = const_cast<void*>(c.bottom);
  c.context.uc_stack.ss_size = size;
  c.context.uc_link = nullptr;
  makecontext(&c.context, startCoroutine, 0);
#ifdef TESTING_STACKS_TSAN
  c.fiber = __tsan_create_fiber(0);
#endif
}

}  // namespace detail

// Inside a body run by runCoroutines: passes the thread to the next coroutine that has not
// finished, and returns when this one's turn comes again. Does nothing elsewhere.
inline void yieldCoroutine() {
  detail::Scheduler* s = detail::scheduler;
  if (s == nullptr || s->running == nullptr) return;
  detail::Coroutine& c = *s->running;
#ifdef TESTING_STACKS_ASAN
  __sanitizer_start_switch_fiber(&c.fakeStack, s->bottom, s->size);
#endif
#ifdef TESTING_STACKS_TSAN
  c.fiber = __tsan_get_current_fiber();
  __tsan_switch_to_fiber(s->fiber, 0);
#endif
  swapcontext(&c.context, &s->context);
#ifdef TESTING_STACKS_ASAN
  __sanitizer_finish_switch_fiber(c.fakeStack, &s->bottom, &s->size);
#endif
}

// Runs each body as a coroutine of this thread on a stack of `bytes` (plus a guard page) entered
// with makecontext: they start in order and take turns, round robin, at each yieldCoroutine(),
// until all have finished. Then rethrows the first exception a body ended with.
inline void runCoroutines(std::size_t bytes, std::initializer_list<std::function<void()>> bodies) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t size = (bytes + page - 1) / page * page;
  std::vector<detail::Coroutine> all(bodies.size());
  detail::Scheduler s;
#ifdef TESTING_STACKS_TSAN
  s.fiber = __tsan_get_current_fiber();
#endif
  std::size_t i = 0;
  for (const std::function<void()>& body : bodies) detail::makeCoroutine(all[i++], body, size, page);
  detail::Scheduler* const outer = detail::scheduler;
  detail::scheduler = &s;
  for (bool left = true; left;) {
    left = false;
    for (detail::Coroutine& c : all) {
      if (c.done) continue;
      s.running = &c;
#ifdef TESTING_STACKS_ASAN
      __sanitizer_start_switch_fiber(&s.fakeStack, c.bottom, c.size);
#endif
#ifdef TESTING_STACKS_TSAN
      __tsan_switch_to_fiber(c.fiber, 0);
#endif
      swapcontext(&s.context, &c.context);
#ifdef TESTING_STACKS_ASAN
      __sanitizer_finish_switch_fiber(s.fakeStack, &c.bottom, &c.size);
#endif
      s.running = nullptr;
      left = left || !c.done;
    }
  }
  detail::scheduler = outer;
  std::exception_ptr error;
  for (detail::Coroutine& c : all) {
#ifdef TESTING_STACKS_TSAN
    __tsan_destroy_fiber(c.fiber);
#endif
#ifdef TESTING_STACKS_ASAN
    __asan_unpoison_memory_region(static_cast<char*>(c.mapped) + page, size);
#endif
    munmap(c.mapped, c.mappedSize);
    if (!error) error = c.error;
  }
  if (error) std::rethrow_exception(error);
}

// The bytes of address space the process has mapped (its virtual size).
inline std::size_t mappedBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace testing_support
