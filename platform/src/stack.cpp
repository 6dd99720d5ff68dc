#include "hs/stack.hpp"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <exception>
#include <new>

// A thread's forced unwind, which the segment's entry must let pass.
#include "forced_unwind.hpp"

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
  Segment* next;  // in the thread's cache, or in its list of segments in use
  Segment* prev;  // in the list of segments in use
  std::size_t mapped;
  std::uintptr_t entered;  // while in use: the stack pointer of the call that switched to it
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
// The segments in use are a set, not a stack: walks on coroutines of the thread take and give
// back segments in any order, so where the thread runs is looked up by its stack pointer.
struct ThreadStacks {
  static constexpr unsigned maxCached = 2;
  std::uintptr_t ownLow, ownHigh;  // the thread's own stack, once asked for
  bool ownKnown;
  bool exiting;   // the cache was freed at thread exit; later segments are freed at once
  bool hooked;    // the exit hook is armed
  Segment* inUse;  // newest first
  Segment* cache;
  unsigned cached;
};
// Initial-exec, as the window is: a switch reads and writes it several times.
[[gnu::tls_model("initial-exec")]] constinit thread_local ThreadStacks stacks{};

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

// Keeps the object this code is in loaded for the rest of the process. A thread that set the
// exit key calls its destructor where it was when the thread exits, even after the last dlclose
// of a plugin that brought this library in.
bool stayLoaded() noexcept {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&freeCache), &info) == 0 || info.dli_fname == nullptr) return false;
  return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

// A key whose destructor frees the thread's cached segments; it runs after the thread's C++
// thread_local objects are destroyed, so walks in their destructors still find the cache. Without
// it (or if the library cannot be kept loaded) segments are freed when given back.
pthread_key_t* exitKey() noexcept {
  static pthread_key_t key;
  static const bool made = [] {
    if (pthread_key_create(&key, freeCache) != 0) return false;
    if (stayLoaded()) return true;
    pthread_key_delete(key);
    return false;
  }();
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

// The segments in use, newest first.
void use(ThreadStacks& t, Segment* s) noexcept {
  s->prev = nullptr;
  s->next = t.inUse;
  if (t.inUse != nullptr) t.inUse->prev = s;
  t.inUse = s;
}
void unuse(ThreadStacks& t, Segment* s) noexcept {
  (s->prev != nullptr ? s->prev->next : t.inUse) = s->next;
  if (s->next != nullptr) s->next->prev = s->prev;
}

// One run of a function on a segment: what the segment's side needs to resume the caller, and
// how the run ended.
struct Call {
  void (*fn)(void*);
  void* ctx;
  void* back = nullptr;  // the caller's side of the switch, to resume it from the segment
  std::exception_ptr error{};
  bool forced = false;  // the thread is ending: its forced unwind came up to the segment's entry
#ifdef HS_STACK_ASAN
  const void* callerBottom = nullptr;
  std::size_t callerSize = 0;
#endif
};

}  // namespace

}  // namespace hs::detail

#if defined(__x86_64__)
// hs_stack_call(arg, fn, top): fn(arg, back) with the stack pointer at top; comes back when fn
// returns or calls hs_stack_return(back), from any depth on the new stack. The frame pointer keeps
// the caller's stack pointer, and the unwind information says so, so debuggers and unwinders walk
// from the new stack into the caller; the callee-saved registers are kept in the frame, for
// hs_stack_return.
extern "C" void hs_stack_call(void* arg, void (*fn)(void*, void*), std::uintptr_t top);
extern "C" [[noreturn]] void hs_stack_return(void* back) noexcept;
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
  pushq %rbx
  .cfi_offset %rbx, -24
  pushq %r12
  .cfi_offset %r12, -32
  pushq %r13
  .cfi_offset %r13, -40
  pushq %r14
  .cfi_offset %r14, -48
  pushq %r15
  .cfi_offset %r15, -56
  movq %rdx, %rsp
  movq %rsi, %rax
  movq %rbp, %rsi
  callq *%rax
.Lhs_stack_back:
  leaq -40(%rbp), %rsp
  popq %r15
  .cfi_restore %r15
  popq %r14
  .cfi_restore %r14
  popq %r13
  .cfi_restore %r13
  popq %r12
  .cfi_restore %r12
  popq %rbx
  .cfi_restore %rbx
  popq %rbp
  .cfi_restore %rbp
  .cfi_def_cfa %rsp, 8
  ret
  .cfi_endproc
  .size hs_stack_call, .-hs_stack_call

  .p2align 4
  .globl hs_stack_return
  .hidden hs_stack_return
  .type hs_stack_return, @function
hs_stack_return:
  .cfi_startproc
  .cfi_undefined %rip
  endbr64
  movq %rdi, %rbp
  jmp .Lhs_stack_back
  .cfi_endproc
  .size hs_stack_return, .-hs_stack_return
)");
#endif

#ifdef HS_FORCED_UNWIND
// glibc's cleanup points, the ones its C cleanup handlers use; in C++ its header leaves them out.
extern "C" {
void __pthread_register_cancel(__pthread_unwind_buf_t* buf);
void __pthread_unregister_cancel(__pthread_unwind_buf_t* buf);
[[noreturn]] void __pthread_unwind_next(__pthread_unwind_buf_t* buf);
}
#endif

namespace hs::detail {

namespace {
#if !defined(__x86_64__)
struct Contexts {
  ucontext_t caller, callee;
  void* arg;
  void (*fn)(void*, void*);
};
constinit thread_local Contexts* starting = nullptr;
void startContext() {
  Contexts* c = starting;
  c->fn(c->arg, c);
  setcontext(&c->caller);
}
void stackCall(void* arg, void (*fn)(void*, void*), std::uintptr_t low, std::uintptr_t top) {
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
#ifdef HS_FORCED_UNWIND
[[noreturn]] void stackReturn(void* back) noexcept {
  setcontext(&static_cast<Contexts*>(back)->caller);
  __builtin_unreachable();
}
#endif
#endif

// Tells ASan the run's use of the segment ends: its fake frames go.
void endUse([[maybe_unused]] const Call& c) noexcept {
#ifdef HS_STACK_ASAN
  __sanitizer_start_switch_fiber(nullptr, c.callerBottom, c.callerSize);
#endif
}

#ifdef HS_FORCED_UNWIND
// Ends the run's use of its segment and resumes the caller, from any depth on the segment. (A
// plain return is the common way back: a return the processor saw the call of is predicted.)
[[noreturn]] void leave(const Call& c) noexcept {
  endUse(c);
#if defined(__x86_64__)
  hs_stack_return(c.back);
#else
  stackReturn(c.back);
#endif
}

// Leaves the segment once the thread's forced unwind has come up to the entry, every frame above
// it on the segment unwound. The unwind must not go on across the switch: it would skip the
// caller's notes of it (the segment in use, the sanitizers' fibers), and a makecontext stack has
// no frame below its entry. The caller takes it up again.
struct LeaveWhenForced {
  Call& c;
  ~LeaveWhenForced() {
    if (c.forced) leave(c);
  }
};

// Goes on with the thread's forced unwind here: to the innermost cleanup point the thread has
// registered, as pthread_exit and cancellation do once they have set the thread's value (which so
// stays). Registering a point and taking it off again reads which one that is.
[[noreturn]] void unwindOnward() {
  __pthread_unwind_buf_t here;
  __pthread_register_cancel(&here);
  __pthread_unregister_cancel(&here);
  __pthread_unwind_next(&here);
}
#endif

// Runs on the segment. (A handler of abi::__forced_unwind is bound to no object, which g++'s null
// check takes for a fault.)
__attribute__((no_sanitize("null"))) void enter(void* p, void* back) {
  Call& c = *static_cast<Call*>(p);
  c.back = back;
#ifdef HS_STACK_ASAN
  __sanitizer_finish_switch_fiber(nullptr, &c.callerBottom, &c.callerSize);
#endif
  {
#ifdef HS_FORCED_UNWIND
    const LeaveWhenForced leaveWhenForced{c};
#endif
    try {
      c.fn(c.ctx);
#ifdef HS_FORCED_UNWIND
    } catch (abi::__forced_unwind&) {
      // glibc aborts the process when a forced unwind ends in a handler: it goes on, to the
      // entry's cleanup above.
      c.forced = true;
      throw;
#endif
    } catch (...) {
      c.error = std::current_exception();
    }
  }
  endUse(c);
}

// The segment in use that holds the address, or null.
Segment* segmentAt(const ThreadStacks& t, std::uintptr_t a) noexcept {
  for (Segment* s = t.inUse; s != nullptr; s = s->next)
    if (a >= s->low() && a < s->top()) return s;
  return nullptr;
}

}  // namespace

bool stackRoomSlow(std::uintptr_t here) noexcept {
  ThreadStacks& t = stacks;
  if (const Segment* s = segmentAt(t, here)) {
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

// Each stack in use belongs to one chain of calls: the frames above the stack pointer on the stack
// the thread runs on are its callers, and so are those above the point each segment on the way
// was entered from.
bool callerFrame(std::uintptr_t sp) noexcept {
  ThreadStacks& t = stacks;
  std::uintptr_t here = stackPointer();
  while (const Segment* s = segmentAt(t, here)) {
    if (sp >= here && sp < s->top()) return true;
    here = s->entered;
  }
  if (!t.ownKnown) askOwnStack(t);
  return here >= t.ownLow && here < t.ownHigh && sp >= here && sp < t.ownHigh;
}

void runOnSegment(void (*fn)(void*), void* ctx) {
  ThreadStacks& t = stacks;
  Segment* const s = acquire();
  s->entered = stackPointer();
  use(t, s);
  // The window describes the caller's stack (the check that sent it here has just set it), and
  // does again when the call comes back, whatever other walks of the thread did meanwhile.
  const StackWindow outerWindow = stackWindow;
  stackWindow = windowOf(s->low(), s->top());
  Call call{fn, ctx};
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
  stackWindow = outerWindow;
  unuse(t, s);
  release(s);
#ifdef HS_FORCED_UNWIND
  if (call.forced) unwindOnward();
#endif
  if (call.error) std::rethrow_exception(call.error);
}

}  // namespace hs::detail
