/// \defgroup hs_stack hs/stack.hpp
/// \ingroup hsplatform
/// Native stack for the libraries' own recursion: a recursive point calls hs::withStack, which
/// runs the rest on a fresh heap segment when the stack it is on is nearly used up, so the depth
/// of a walk is bounded by memory rather than by the thread's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace hs {
/// \addtogroup hs_stack
/// @{

/// The stack a call through withStack is guaranteed to start with (32 KiB).
inline constexpr std::size_t stackRedZone = 32 * 1024;
/// The usable size of one heap segment (1 MiB; a guard page lies below it).
inline constexpr std::size_t stackSegmentSize = 1024 * 1024;

namespace detail {

// The stack the thread is known to run on, as a window: an address a is inside with room to spare
// when a - limit <= span (limit is the stack's low end plus the red zone). A zero window (the
// thread's start, or after a switch to a stack nobody told us of) sends every check to the slow
// path, which finds out where the thread is.
struct StackWindow {
  std::uintptr_t limit;
  std::uintptr_t span;
};
[[gnu::tls_model("initial-exec")]] extern constinit thread_local StackWindow stackWindow;

// Whether the stack at `here` has the red zone left, once the window is brought up to date; false
// on a stack of unknown bounds (one made with makecontext, say).
[[nodiscard]] bool stackRoomSlow(std::uintptr_t here) noexcept;

// The stack pointer, read without making the caller set up a frame pointer.
[[nodiscard, gnu::always_inline]] inline std::uintptr_t stackPointer() noexcept {
#if defined(__x86_64__)
  std::uintptr_t sp;
  asm volatile("mov %%rsp, %0" : "=r"(sp));
  return sp;
#elif defined(__aarch64__)
  std::uintptr_t sp;
  asm volatile("mov %0, sp" : "=r"(sp));
  return sp;
#else
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
#endif
}

[[nodiscard, gnu::always_inline]] inline bool stackRoom() noexcept {
  const std::uintptr_t here = detail::stackPointer();
  const StackWindow& w = stackWindow;
  if (here - w.limit <= w.span) [[likely]]
    return true;
  return detail::stackRoomSlow(here);
}

// Whether sp, the stack pointer of a frame of this thread that has not returned, belongs to a
// caller of the code running here rather than to another coroutine of the thread: it lies above
// the stack pointer on the stack the thread runs on, or above the point a segment of the calls
// that led here was entered from. Frames on a stack of unknown bounds (a makecontext stack) are
// never found: the libraries' recursive points run on segments there. Costs a look-up among the
// segments in use per segment on the way.
[[nodiscard]] bool callerFrame(std::uintptr_t sp) noexcept;

// Runs fn(ctx) on a stack segment of this thread and returns when it does; an exception it ends
// with is rethrown here, and a forced unwind ending the thread goes on from here. Throws
// std::bad_alloc, without running fn, when no segment can be had.
void runOnSegment(void (*fn)(void*), void* ctx);

template <class F>
[[gnu::noinline]] std::invoke_result_t<F> onSegment(F&& f) {
  using R = std::invoke_result_t<F>;
  if constexpr (std::is_void_v<R>) {
    detail::runOnSegment([](void* p) { (*static_cast<std::remove_reference_t<F>*>(p))(); }, &f);
  } else if constexpr (std::is_reference_v<R>) {
    std::remove_reference_t<R>* result = nullptr;
    auto run = [&] { result = &f(); };
    detail::runOnSegment([](void* p) { (*static_cast<decltype(run)*>(p))(); }, &run);
    return static_cast<R>(*result);
  } else {
    std::optional<R> result;
    auto run = [&] { result.emplace(f()); };
    detail::runOnSegment([](void* p) { (*static_cast<decltype(run)*>(p))(); }, &run);
    return std::move(*result);
  }
}

}  // namespace detail

/// Whether values of T may nest values of their own kind (through the library's frames), so that
/// a walk over them is a recursive point; scalars and strings do not.
template <class T>
inline constexpr bool mayNest = !std::is_scalar_v<T> && !std::is_same_v<T, std::string>;

/// f(), on the current stack when at least stackRedZone of it is left, otherwise on a fresh
/// segment of stackSegmentSize taken from the heap (two are kept for reuse by the thread, freed
/// when it exits). Every recursive point of the libraries calls it before it recurses, so a walk
/// of any depth runs while memory lasts, on any thread and on stacks made with makecontext (an
/// unknown stack is taken as one without room); walks of coroutines of one thread may interleave,
/// switching from inside f, and the thread may end inside f (pthread_exit, cancellation), every
/// frame's destructor run. The check is a compare of the stack pointer with a thread-local
/// window; a switch costs a call and, for a segment not cached, an mmap. Throws
/// std::bad_alloc when a segment is needed and none can be had; f's exceptions pass through. A
/// recursion f makes on its own, without coming back through here, has only the room f started
/// with.
template <class F>
[[gnu::always_inline]] inline decltype(auto) withStack(F&& f) {
  if (detail::stackRoom()) [[likely]]
    return std::forward<F>(f)();
  return detail::onSegment(std::forward<F>(f));
}

/// @}
}  // namespace hs
