// A list that keeps its first entries inline, for the reflection model's walks.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "hs/th/internal/work_stack.hpp"

namespace hs::th::detail {

// A list that keeps its first entries inline.
template <class T, std::size_t N = 8>
class SmallList {
 public:
  std::size_t size() const noexcept { return size_; }
  void push_back(T x) {
    if (size_ < N)
      inline_[size_] = std::move(x);
    else
      more_.push_back(std::move(x));
    ++size_;
  }
  const T& operator[](std::size_t i) const noexcept { return i < N ? inline_[i] : more_[i - N]; }

 private:
  std::array<T, N> inline_{};
  std::vector<T> more_;
  std::size_t size_ = 0;
};

}  // namespace hs::th::detail
