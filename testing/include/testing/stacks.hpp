// Running a test's code on a small native stack: a thread made with a given stack size, or a stack
// of a given size entered with makecontext (which no thread attribute reports). Both rethrow what
// the code throws; an overflow faults on a guard page.
#pragma once

#include <pthread.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#define TESTING_STACKS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESTING_STACKS_ASAN 1
#endif
#endif
#ifdef TESTING_STACKS_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace testing_support {

// Whether the build is optimised and runs under no sanitizer. Deep native recursion takes several
// times the stack (and the time to touch it) otherwise, so tests of it there take a tenth of the
// depth.
#if defined(TESTING_STACKS_ASAN) || defined(__SANITIZE_THREAD__) || !defined(__OPTIMIZE__)
inline constexpr bool fullDepth = false;
#elif defined(__has_feature)
inline constexpr bool fullDepth = !__has_feature(thread_sanitizer);
#else
inline constexpr bool fullDepth = true;
#endif

// f() on a new thread whose stack is `bytes` long; waits for it.
inline void onThreadStack(std::size_t bytes, const std::function<void()>& f) {
  struct Job {
    const std::function<void()>* f;
    std::exception_ptr error;
  } job{&f, nullptr};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t th;
  const int rc = pthread_create(
      &th, &attr,
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
  pthread_attr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("pthread_create failed");
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

}  // namespace testing_support
