#include "hs/unit.hpp"

#include <new>

namespace hs {

namespace {
// Static, never-destroyed storage for the shared unit cell and its handle: the first use
// allocates nothing (so it cannot fail), and handles released during process exit still find
// the cell alive.
struct UnitStorage {
  alignas(detail::Cell<Unit>) unsigned char cell[sizeof(detail::Cell<Unit>)];
  alignas(Lazy<Unit>) unsigned char handle[sizeof(Lazy<Unit>)];
};
}  // namespace

const Lazy<Unit>& unitCell() noexcept {
  static UnitStorage storage;
  static const Lazy<Unit>* const handle = [] {
    auto* c = ::new (static_cast<void*>(storage.cell)) detail::Cell<Unit>(std::in_place, true, unit);
    return ::new (static_cast<void*>(storage.handle)) Lazy<Unit>(detail::adoptCell<Unit>(c));
  }();
  return *handle;
}

}  // namespace hs
