// The shared node behind an expression, a constructor, a declaration or information. Trees of any
// depth are freed: frees nest by recursion only a few levels deep; below that, one free runs a
// loop, and every node whose last handle goes while it runs (on the same thread) waits in its
// queue instead of being freed at once.
#pragma once

#include <memory>
#include <utility>

#include "hs/th/internal/work_stack.hpp"

namespace hs::th::detail {

// The frees running on this thread: how many are nested in one another by recursion, and the
// queue of the loop that runs the deeper ones, if any.
using FreeQueue = WorkStack<std::shared_ptr<const void>, 16>;
struct Frees {
  unsigned nested;
  FreeQueue* queue;
};
[[gnu::tls_model("initial-exec")]] extern constinit thread_local Frees frees;
// Shallow trees are freed by plain recursion (a few frames a level, no queue to set up); the free
// this deep takes the rest over in a loop.
inline constexpr unsigned maxNestedFrees = 16;

// Frees the node of the last handle to it, and the nodes only it kept alive, queued when a loop
// runs or else in a loop of its own.
void releaseDeep(std::shared_ptr<const void>&& node) noexcept;

template <class V>
class NodeRef {
 public:
  template <class... A>
  explicit NodeRef(std::in_place_t, A&&... a)
      : p_(std::make_shared<const V>(std::forward<A>(a)...)) {}
  NodeRef(const NodeRef&) noexcept = default;
  NodeRef(NodeRef&&) noexcept = default;
  NodeRef& operator=(const NodeRef& o) noexcept {
    std::shared_ptr<const V> old = std::exchange(p_, o.p_);
    release(old);
    return *this;
  }
  NodeRef& operator=(NodeRef&& o) noexcept {
    if (this != &o) {
      std::shared_ptr<const V> old = std::exchange(p_, std::move(o.p_));
      release(old);
    }
    return *this;
  }
  ~NodeRef() {
    if (p_) release(p_);
  }

  [[nodiscard]] const V* get() const noexcept { return p_.get(); }
  [[nodiscard]] const V& operator*() const noexcept { return *p_; }

 private:
  // A node others still hold is only unreferenced. Should the other holders drop it at the same
  // moment, it is freed here by recursion, but its children start loops of their own. Out of
  // line: handles are destroyed in many places, and code inlined at each would crowd out the
  // inlining of hotter code.
  [[gnu::noinline]] static void release(std::shared_ptr<const V>& p) noexcept {
    Frees& t = frees;
    if (p.use_count() != 1) {
      p.reset();
    } else if (t.queue == nullptr && t.nested < maxNestedFrees) {
      ++t.nested;
      p.reset();
      --t.nested;
    } else {
      detail::releaseDeep(std::move(p));
    }
  }

  std::shared_ptr<const V> p_;
};

}  // namespace hs::th::detail
