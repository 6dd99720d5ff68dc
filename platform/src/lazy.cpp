#include "hs/lazy.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "forced_unwind.hpp"
#include "hs/error.hpp"
#include "hs/stack.hpp"

namespace hs::detail {

void CellBase::rethrow() const { throw ProgramError("hs::Lazy: no value"); }

const char* ForceOutOfMemory::what() const noexcept {
  return "hs::Lazy: out of memory while forcing";
}

namespace {

// The runtime's per-thread state is trivially destructible and constant-initialised: cells held
// by static or thread_local variables are freed while the thread's (or the process's) other
// objects are destroyed, in an order nobody controls, and freeing must work then too.

// Cells whose count dropped to zero while another cell was being freed. A few fit inline; more
// spill into a heap buffer that lives only while a release is running.
struct ReleaseQueue {
  static constexpr std::size_t inlineCapacity = 32;
  bool running;
  std::size_t size;
  std::size_t spillCapacity;
  CellBase** spill;
  CellBase* inlineSlots[inlineCapacity];

  // False when the spill buffer cannot grow.
  bool push(CellBase* c) noexcept {
    if (size < inlineCapacity) {
      inlineSlots[size++] = c;
      return true;
    }
    const std::size_t at = size - inlineCapacity;
    if (at == spillCapacity) {
      const std::size_t grown = spillCapacity == 0 ? 64 : spillCapacity * 2;
      auto* bigger =
          static_cast<CellBase**>(::operator new(grown * sizeof(CellBase*), std::nothrow));
      if (bigger == nullptr) return false;
      if (spill != nullptr) {
        std::memcpy(bigger, spill, spillCapacity * sizeof(CellBase*));
        ::operator delete(spill);
      }
      spill = bigger;
      spillCapacity = grown;
    }
    spill[at] = c;
    ++size;
    return true;
  }
  CellBase* pop() noexcept {
    --size;
    return size < inlineCapacity ? inlineSlots[size] : spill[size - inlineCapacity];
  }
  void dropSpill() noexcept {
    ::operator delete(spill);
    spill = nullptr;
    spillCapacity = 0;
  }
};
constinit thread_local ReleaseQueue releases{};

struct Frame {
  CellBase* cell;
  bool mine;  // claimed by this forcing
};

// The work stack of one forcing: a few frames inline, more on the heap.
class FrameStack {
 public:
  FrameStack() noexcept = default;
  FrameStack(const FrameStack&) = delete;
  FrameStack& operator=(const FrameStack&) = delete;
  ~FrameStack() {
    if (data_ != inline_) delete[] data_;
  }

  bool empty() const noexcept { return size_ == 0; }
  std::size_t size() const noexcept { return size_; }
  Frame& back() noexcept { return data_[size_ - 1]; }
  Frame& operator[](std::size_t i) noexcept { return data_[i]; }
  const Frame& operator[](std::size_t i) const noexcept { return data_[i]; }
  void pop() noexcept { --size_; }
  void push(Frame f) {
    if (size_ == capacity_) {
      auto* bigger = new Frame[capacity_ * 2];
      std::memcpy(static_cast<void*>(bigger), data_, size_ * sizeof(Frame));
      if (data_ != inline_) delete[] data_;
      data_ = bigger;
      capacity_ *= 2;
    }
    data_[size_++] = f;
  }

 private:
  static constexpr std::size_t inlineCapacity = 8;
  Frame inline_[inlineCapacity];
  Frame* data_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = inlineCapacity;
};

// The forcings running on this thread. Coroutines of the thread (makecontext/swapcontext) may
// each be inside forcings and switch to one another from inside a computation, so the forcings
// need not nest: they are a set, which each leaves when it ends, and whether one is a caller of the
// code running is asked of the stack helper.
struct Forcing {
  FrameStack frames;
  std::uintptr_t sp;  // the stack pointer of its frame
  Forcing* prev;
  Forcing* next;
};
// Initial-exec, as the stack helper's window is: each forcing joins and leaves the set.
[[gnu::tls_model("initial-exec")]] constinit thread_local Forcing* forcings = nullptr;

// Joins the set for the lifetime of a forcing.
class Joined {
 public:
  explicit Joined(Forcing& f) noexcept : f_(f) {
    f.prev = nullptr;
    f.next = forcings;
    if (forcings != nullptr) forcings->prev = &f;
    forcings = &f;
  }
  Joined(const Joined&) = delete;
  Joined& operator=(const Joined&) = delete;
  ~Joined() {
    (f_.prev != nullptr ? f_.prev->next : forcings) = f_.next;
    if (f_.next != nullptr) f_.next->prev = f_.prev;
  }

 private:
  Forcing& f_;
};

// Who on this thread claimed a cell that is not settled yet: no forcing of the thread (another
// thread did; waiting for it is sound), a forcing the code running was called from (a demand of
// the cell is a loop), or one of another coroutine of the thread, switched away from inside a
// computation (waiting would block the thread for good).
enum class Claimer { otherThread, caller, otherCoroutine };
Claimer claimerOf(const Forcing& self, const CellBase* c) noexcept {
  for (const Forcing* f = forcings; f != nullptr; f = f->next)
    for (std::size_t i = 0; i < f->frames.size(); ++i)
      if (f->frames[i].mine && f->frames[i].cell == c)
        return f == &self || callerFrame(f->sp) ? Claimer::caller : Claimer::otherCoroutine;
  return Claimer::otherThread;
}

// A demand of a cell another coroutine of the thread is evaluating. Like running out of memory, it
// is no cell's answer: a computation that lets it pass is not settled by it.
struct ForceConflict : ProgramError {
  ForceConflict() : ProgramError("hs::Lazy: demanded while another coroutine of this thread is evaluating it") {}
};

std::exception_ptr loopError() { return std::make_exception_ptr(ProgramError("<<loop>>")); }

// Gives back, unrun, every cell a failed forcing claimed; threads waiting on one of them retry.
void unclaimAll(FrameStack& stack) noexcept {
  for (std::size_t i = 0; i < stack.size(); ++i) {
    if (!stack[i].mine) continue;
    CellBase* c = stack[i].cell;
    c->state_.store(CellBase::Pending, std::memory_order_release);
    c->state_.notify_all();
  }
}

}  // namespace

void releaseSlow(CellBase* c) noexcept {
  ReleaseQueue& q = releases;
  if (q.running) {
    // Out of memory for the queue: free this one at once, one level deeper.
    if (!q.push(c)) delete c;
    return;
  }
  q.running = true;
  delete c;
  while (q.size > 0) delete q.pop();
  if (q.spill != nullptr) q.dropSpill();
  q.running = false;
}

namespace {
// Runs a claimed cell's computation; an exception it throws is the cell's answer, stored, unless it
// is a failure of forcing itself or the thread's end, which pass. (A handler of
// abi::__forced_unwind is bound to no object, which g++'s null check takes for a fault.)
__attribute__((no_sanitize("null"))) void runClaimed(CellBase* c) {
  try {
    c->run();
  } catch (const ForceOutOfMemory&) {
    throw;
  } catch (const ForceConflict&) {
    throw;
#ifdef HS_FORCED_UNWIND
  } catch (abi::__forced_unwind&) {
    throw;
#endif
  } catch (...) {
    c->fail(std::current_exception());
  }
}

void forceHere(CellBase* root) {
  Forcing self{{}, stackPointer(), nullptr, nullptr};
  const Joined joined{self};
  FrameStack& stack = self.frames;
  try {
    stack.push({root, false});
    while (!stack.empty()) {
      Frame& top = stack.back();
      CellBase* c = top.cell;
      if (!top.mine) {
        std::uint8_t s = c->state_.load(std::memory_order_acquire);
        if (s >= CellBase::Done) {
          stack.pop();
          continue;
        }
        if (s == CellBase::Running) {
          const Claimer claimer = claimerOf(self, c);
          if (claimer == Claimer::otherThread) {
            c->state_.wait(CellBase::Running, std::memory_order_acquire);
            continue;
          }
          if (claimer == Claimer::otherCoroutine) throw ForceConflict();
          // The cell's own computation demands it: it can never finish.
          if (stack.size() == 1) throw ProgramError("<<loop>>");
          stack.pop();
          stack.back().cell->fail(loopError());
          stack.pop();
          continue;
        }
        if (!c->state_.compare_exchange_strong(s, CellBase::Running, std::memory_order_acq_rel))
          continue;
        top.mine = true;
      }
      if (CellBase* dep = c->unsettledDependency()) {
        stack.push({dep, false});
        continue;
      }
      runClaimed(c);
      stack.pop();
    }
  } catch (const ForceOutOfMemory&) {
    unclaimAll(stack);
    throw;
  } catch (const std::bad_alloc&) {
    unclaimAll(stack);
    throw ForceOutOfMemory();
  } catch (...) {
    // A loop, a demand another coroutine holds up, or the thread's end.
    unclaimAll(stack);
    throw;
  }
}
}  // namespace

// A computation that demands another cell forces it from within its own run: the runtime's frames
// between the two computations go through the stack helper.
void forceSlow(CellBase* root) {
  if (stackRoom()) [[likely]]
    return forceHere(root);
  try {
    onSegment([root] { forceHere(root); });
  } catch (const ForceOutOfMemory&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw ForceOutOfMemory();  // no segment: nothing was claimed
  }
}

}  // namespace hs::detail
