// The shared node behind an expression, a constructor, a declaration or information. Freeing one
// is a loop, not a recursion: a node whose last handle goes while another node is being freed on
// the same thread waits in that outer free's queue, so trees of any depth are freed.
#pragma once

#include <memory>
#include <utility>

namespace hs::th::detail {

// Frees the node of the last handle to it, and the nodes only it kept alive, in a loop.
void releaseLastHandle(std::shared_ptr<const void>&& node) noexcept;

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
  ~NodeRef() { release(p_); }

  [[nodiscard]] const V* get() const noexcept { return p_.get(); }
  [[nodiscard]] const V& operator*() const noexcept { return *p_; }

 private:
  // A node others still hold is only unreferenced. Should the other holders drop it at the same
  // moment, it is freed here by recursion, but its children start loops of their own.
  static void release(std::shared_ptr<const V>& p) noexcept {
    if (p.use_count() == 1)
      detail::releaseLastHandle(std::move(p));
    else
      p.reset();
  }

  std::shared_ptr<const V> p_;
};

}  // namespace hs::th::detail
