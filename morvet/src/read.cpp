#include "morvet/classes.hpp"

namespace morvet::internal {

int& readNesting() noexcept {
  thread_local int depth = 0;
  return depth;
}

}  // namespace morvet::internal
