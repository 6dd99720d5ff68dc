#include "hs/th/internal/node_ref.hpp"

#include <new>

namespace hs::th::detail {

constinit thread_local Frees frees{0, nullptr};

void releaseDeep(std::shared_ptr<const void>&& node) noexcept {
  std::shared_ptr<const void> n = std::move(node);
  Frees& t = frees;
  if (t.queue != nullptr) {
    try {
      t.queue->push(std::move(n));
    } catch (const std::bad_alloc&) {
      // No memory for the queue: the node went with the failed push, freed by recursion.
    }
    return;
  }
  FreeQueue queue;
  t.queue = &queue;
  n.reset();
  while (!queue.empty()) queue.pop().reset();
  t.queue = nullptr;
}

}  // namespace hs::th::detail
