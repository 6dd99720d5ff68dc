#include "hs/stack.hpp"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <exception>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define HS_STACK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HS_STACK_ASAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define HS_STACK_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define HS_STACK_TSAN 1
#endif
#endif
#ifdef HS_STACK_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#ifdef HS_STACK_TSAN
#include <sanitizer/tsan_interface.h>
#endif
#if !defined(__x86_64__)
#include <ucontext.h>
#endif

namespace hs::detail {

constinit thread_local StackWindow stackWindow{0, 0};

namespace {

// A segment is one mapping: a guard page at the bottom (an overflow faults instead of writing
// over other memory), the stack, and this header at the top.
struct Segment {
  Segment* next;  // in the thread's cache
  std::size_t mapped;
  [[nodiscard]] std::uintptr_t low() const noexcept {
    return reinterpret_cast<std::uintptr_t>(this) + sizeof(Segment) - mapped + pageSize();
  }
  [[nodiscard]] std::uintptr_t top() const noexcept {
    return reinterpret_cast<std::uintptr_t>(this) & ~std::uintptr_t{15};
  }
  static std::size_t pageSize() noexcept {
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
  }
};

// Kept per thread, trivially destructible and constant-initialised: a walk may run while the
// thread's (or the process's) objects are being destroyed, in any order, and must work then too.
struct ThreadStacks {
  static constexpr unsigned maxCached = 2;
  std::uintptr_t ownLow, ownHigh;  // the thread's own stack, once asked for
  bool ownKnown;
  bool exiting;   // the cache was freed at thread exit; later segments are freed at once
  bool hooked;    // the exit hook is armed
  Segment* current;  // the segment running now (innermost), if any
  Segment* cache;
  unsigned cached;
};
constinit thread_local ThreadStacks stacks{};

StackWindow windowOf(std::uintptr_t low, std::uintptr_t high) noexcept {
  const std::uintptr_t limit = low + stackRedZone;
  return StackWindow{limit, high > limit ? high - limit : 0};
}

void askOwnStack(ThreadStacks& t) noexcept {
  t.ownKnown = true;
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
  void* addr = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attr, &addr, &size) == 0) {
    t.ownLow = reinterpret_cast<std::uintptr_t>(addr);
    t.ownHigh = t.ownLow + size;
  }
  pthread_attr_destroy(&attr);
}

void unmap(Segment* s) noexcept {
  const std::size_t mapped = s->mapped;
  void* base = reinterpret_cast<char*>(s) + sizeof(Segment) - mapped;
#ifdef HS_STACK_ASAN
  // Frames left on the segment keep their poisoned red zones; the addresses may be mapped again.
  __asan_unpoison_memory_region(reinterpret_cast<void*>(s->low()), s->top() - s->low());
#endif
  munmap(base, mapped);
}

void freeCache(void*) noexcept {
  ThreadStacks& t = stacks;
  while (t.cache != nullptr) {
    Segment* s = t.cache;
    t.cache = s->next;
    unmap(s);
  }
  t.cached = 0;
  t.exiting = true;
}

// A key whose destructor frees the thread's cached segments; it runs after the thread's C++
// thread_local objects are destroyed, so walks in their destructors still find the cache.
pthread_key_t* exitKey() noexcept {
  static pthread_key_t key;
  static const bool made = pthread_key_create(&key, freeCache) == 0;
  return made ? &key : nullptr;
}

Segment* acquire() {
  ThreadStacks& t = stacks;
  if (Segment* s = t.cache) {
    t.cache = s->next;
    --t.cached;
    return s;
  }
  const std::size_t page = Segment::pageSize();
  const std::size_t mapped = (stackSegmentSize + sizeof(Segment) + page - 1) / page * page + page;
  void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK,
                    -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  (void)mprotect(base, page, PROT_NONE);
  auto* s = reinterpret_cast<Segment*>(static_cast<char*>(base) + mapped - sizeof(Segment));
  s->next = nullptr;
  s->mapped = mapped;
  return s;
}

void release(Segment* s) noexcept {
  ThreadStacks& t = stacks;
  if (!t.exiting && t.cached < ThreadStacks::maxCached) {
    if (!t.hooked) {
      pthread_key_t* key = exitKey();
      t.hooked = key != nullptr && pthread_setspecific(*key, &t) == 0;
    }
    if (t.hooked) {
#ifdef HS_STACK_ASAN
      __asan_unpoison_memory_region(reinterpret_cast<void*>(s->low()), s->top() - s->low());
#endif
      s->next = t.cache;
      t.cache = s;
      ++t.cached;
      return;
    }
  }
  unmap(s);
}

struct Call {
  void (*fn)(void*);
  void* ctx;
  std::exception_ptr error;
#ifdef HS_STACK_ASAN
  const void* callerBottom = nullptr;
  std::size_t callerSize = 0;
#endif
};

// Runs on the segment.
void enter(void* p) noexcept {
  Call& c = *static_cast<Call*>(p);
#ifdef HS_STACK_ASAN
  __sanitizer_finish_switch_fiber(nullptr, &c.callerBottom, &c.callerSize);
#endif
  try {
    c.fn(c.ctx);
  } catch (...) {
    c.error = std::current_exception();
  }
#ifdef HS_STACK_ASAN
  // This use of the segment ends here: its fake frames go.
  __sanitizer_start_switch_fiber(nullptr, c.callerBottom, c.callerSize);
#endif
}

}  // namespace

}  // namespace hs::detail

#if defined(__x86_64__)
// hs_stack_call(arg, fn, top): fn(arg) with the stack pointer at top, then back. The frame
// pointer keeps the caller's stack pointer, and the unwind information says so, so debuggers and
// unwinders walk from the segment into the caller.
extern "C" void hs_stack_call(void* arg, void (*fn)(void*) noexcept, std::uintptr_t top);
asm(R"(
  .text
  .p2align 4
  .globl hs_stack_call
  .hidden hs_stack_call
  .type hs_stack_call, @function
hs_stack_call:
  .cfi_startproc
  endbr64
  pushq %rbp
  .cfi_def_cfa_offset 16
  .cfi_offset %rbp, -16
  movq %rsp, %rbp
  .cfi_def_cfa_register %rbp
  movq %rdx, %rsp
  callq *%rsi
  movq %rbp, %rsp
  popq %rbp
  .cfi_def_cfa %rsp, 8
  ret
  .cfi_endproc
  .size hs_stack_call, .-hs_stack_call
)");
#endif

namespace hs::detail {

namespace {
#if !defined(__x86_64__)
struct Contexts {
  ucontext_t caller, callee;
  void* arg;
  void (*fn)(void*) noexcept;
};
constinit thread_local Contexts* starting = nullptr;
void startContext() {
  Contexts* c = starting;
  c->fn(c->arg);
  setcontext(&c->caller);
}
void stackCall(void* arg, void (*fn)(void*) noexcept, std::uintptr_t low, std::uintptr_t top) {
  Contexts c;
  c.arg = arg;
  c.fn = fn;
  getcontext(&c.callee);
  c.callee.uc_stack.ss_sp = reinterpret_cast<void*>(low);
  c.callee.uc_stack.ss_size = top - low;
  c.callee.uc_link = nullptr;
  makecontext(&c.callee, startContext, 0);
  starting = &c;
  swapcontext(&c.caller, &c.callee);
}
#endif
}  // namespace

bool stackRoomSlow(std::uintptr_t here) noexcept {
  ThreadStacks& t = stacks;
  if (Segment* s = t.current; s != nullptr && here >= s->low() && here < s->top()) {
    stackWindow = windowOf(s->low(), s->top());
    return here >= s->low() + stackRedZone;
  }
  if (!t.ownKnown) askOwnStack(t);
  if (here >= t.ownLow && here < t.ownHigh) {
    stackWindow = windowOf(t.ownLow, t.ownHigh);
    return here >= t.ownLow + stackRedZone;
  }
  // A stack nobody told us of: its room is unknown.
  stackWindow = StackWindow{0, 0};
  return false;
}

void runOnSegment(void (*fn)(void*), void* ctx) {
  ThreadStacks& t = stacks;
  Segment* s = acquire();
  Segment* const outer = t.current;
  const StackWindow outerWindow = stackWindow;
  t.current = s;
  stackWindow = windowOf(s->low(), s->top());
  Call call{fn, ctx, nullptr};
#ifdef HS_STACK_ASAN
  void* fake = nullptr;
  __sanitizer_start_switch_fiber(&fake, reinterpret_cast<const void*>(s->low()), s->top() - s->low());
#endif
#ifdef HS_STACK_TSAN
  void* const callerFiber = __tsan_get_current_fiber();
  void* const fiber = __tsan_create_fiber(0);
  __tsan_switch_to_fiber(fiber, 0);
#endif
#if defined(__x86_64__)
  hs_stack_call(&call, enter, s->top());
#else
  stackCall(&call, enter, s->low(), s->top());
#endif
#ifdef HS_STACK_TSAN
  __tsan_switch_to_fiber(callerFiber, 0);
  __tsan_destroy_fiber(fiber);
#endif
#ifdef HS_STACK_ASAN
  __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
  t.current = outer;
  stackWindow = outerWindow;
  release(s);
  if (call.error) std::rethrow_exception(call.error);
}

}  // namespace hs::detail
