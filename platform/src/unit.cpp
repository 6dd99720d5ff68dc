#include "hs/unit.hpp"

namespace hs {

const Lazy<Unit>& unitCell() noexcept {
  static const Lazy<Unit> cell = Lazy<Unit>::immortal(unit);
  return cell;
}

}  // namespace hs
