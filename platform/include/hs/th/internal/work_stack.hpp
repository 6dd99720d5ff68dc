// A stack for explicit-stack walks over types: the first entries live inline, so the walks of
// small types allocate nothing. Shared by the reflection model and the libraries that walk it.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace hs::th::detail {

template <class T, std::size_t N = 32>
class WorkStack {
 public:
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  // The i-th entry from the bottom: the stack also serves as a small list.
  const T& operator[](std::size_t i) const noexcept { return i < N ? inline_[i] : spill_[i - N]; }
  void push(T x) {
    if (size_ < N)
      inline_[size_] = std::move(x);
    else
      spill_.push_back(std::move(x));
    ++size_;
  }
  T pop() noexcept {
    --size_;
    if (size_ < N) return std::move(inline_[size_]);
    T x = std::move(spill_.back());
    spill_.pop_back();
    return x;
  }

 private:
  std::array<T, N> inline_{};
  std::vector<T> spill_;
  std::size_t size_ = 0;
};

}  // namespace hs::th::detail
