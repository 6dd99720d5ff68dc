/// \defgroup hs_lazy hs/lazy.hpp
/// \ingroup hsplatform
/// Deferred values: a shared, reference-counted cell that is either evaluated or holds a
/// computation. The computation runs at most once, on first demand, also when several threads
/// demand the cell at once; the cell then keeps the value (or the exception the computation threw)
/// and drops the computation.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hs/internal/count.hpp"

namespace hs {
/// \addtogroup hs_lazy
/// @{

template <class T>
class Lazy;

namespace detail {

class CellBase {
 public:
  enum State : std::uint8_t { Pending = 0, Running = 1, Done = 2, Failed = 3 };

  CellBase(State s, bool immortal) noexcept : state_(s), immortal_(immortal) {}
  CellBase(const CellBase&) = delete;
  CellBase& operator=(const CellBase&) = delete;
  virtual ~CellBase() = default;

  std::atomic<std::uint32_t> refs_{1};
  std::atomic<std::uint8_t> state_;
  const bool immortal_;

  [[nodiscard]] bool settled() const noexcept { return state_.load(std::memory_order_acquire) >= Done; }

  // The first dependency (a cell the computation needs forced) that is not settled yet, or null.
  // Only called by the thread that claimed the cell, while the computation is still held.
  [[nodiscard]] virtual CellBase* unsettledDependency() noexcept { return nullptr; }
  // Runs the computation: stores the value, drops the computation, settles. An exception the
  // computation (or the value's constructor) throws passes, the cell left claimed with its
  // computation: the forcing decides whether it is the cell's answer.
  virtual void run() {}
  // Settles the cell as failed without running its computation.
  virtual void fail(std::exception_ptr) noexcept {}
  [[noreturn]] virtual void rethrow() const;
};

inline void retain(CellBase* c) noexcept {
  if (c != nullptr && !c->immortal_) hs::internal::countUp(c->refs_);
}
// Frees a cell whose count drops to zero; cells freed while another is being freed are queued,
// so a long chain of cells that hold each other is freed without deep recursion.
void releaseSlow(CellBase* c) noexcept;
inline void release(CellBase* c) noexcept {
  if (c != nullptr && !c->immortal_ && hs::internal::countDown(c->refs_))
    releaseSlow(c);
}
// Forces a cell that is not settled: dependencies first, with an explicit stack. When forcing
// itself fails (memory runs out), every cell it claimed is given back unrun, so a later demand
// tries again, and the failure, a ForceOutOfMemory, propagates.
void forceSlow(CellBase* c);

// The failure of a forcing that ran out of memory; a computation that lets it pass is not settled
// by it.
struct ForceOutOfMemory : std::bad_alloc {
  [[nodiscard]] const char* what() const noexcept override;
};

template <class T>
class Cell : public CellBase {
 public:
  template <class... A>
  explicit Cell(std::in_place_t, bool immortal, A&&... a) : CellBase(Done, immortal) {
    ::new (static_cast<void*>(&value_)) T(std::forward<A>(a)...);
  }
  Cell() noexcept : CellBase(Pending, false) {}
  ~Cell() override {
    if (state_.load(std::memory_order_relaxed) == Done) value_.~T();
  }

  const T& get() const {
    if (state_.load(std::memory_order_acquire) != Done) {
      detail::forceSlow(const_cast<Cell*>(this));
      if (state_.load(std::memory_order_acquire) != Done) rethrow();
    }
    return value_;
  }

  // The value, when the cell is evaluated, freeable and held by one handle only, so that its
  // holder may move the value elsewhere without anyone seeing it change; null otherwise.
  [[nodiscard]] T* soleValue() noexcept {
    if (immortal_ || refs_.load(std::memory_order_acquire) != 1 ||
        state_.load(std::memory_order_acquire) != Done)
      return nullptr;
    return &value_;
  }

 protected:
  union {
    T value_;
  };
};

// Values a handle may hold itself, evaluated, with no cell: numbers, enumerations and pointers of
// at most a word. The test must not need T complete: cells of recursive types name their own type.
template <class T>
struct FitsWord : std::bool_constant<sizeof(T) <= sizeof(void*) && alignof(T) <= alignof(void*)> {};
template <class T>
inline constexpr bool unboxable = std::conjunction_v<
    std::disjunction<std::is_arithmetic<T>, std::is_enum<T>, std::is_pointer<T>>, FitsWord<T>>;
// The largest handle: a cell pointer beside a value held in the handle.
inline constexpr std::size_t maxHandleBytes = 2 * sizeof(void*);
template <class T, bool = unboxable<T>>
struct InlineValue {};
template <class T>
struct InlineValue<T, true> {
  T value{};
};

// The handle's cell; null for a value held in the handle itself.
template <class T>
[[nodiscard]] Cell<T>* cellOf(const Lazy<T>& l) noexcept;
// A handle that takes over a cell built elsewhere, its count already holding the handle's
// reference (a cell placed inside a larger block of its owner's).
template <class T>
[[nodiscard]] Lazy<T> adoptCell(Cell<T>* c) noexcept;

// A computation with declared dependencies: the dependencies are forced (iteratively) before
// the computation runs, and the computation receives their values.
template <class T, class F, class... D>
class ThunkCell final : public Cell<T> {
 public:
  ThunkCell(F f, Lazy<D>... deps) : job_(std::in_place, std::move(f), std::move(deps)...) {}
  ~ThunkCell() override = default;

  [[nodiscard]] CellBase* unsettledDependency() noexcept override {
    if (!job_) return nullptr;
    CellBase* found = nullptr;
    std::apply(
        [&](const F&, const Lazy<D>&... d) {
          ((found == nullptr && !d.settled() ? (found = detail::cellOf(d), 0) : 0), ...);
        },
        *job_);
    return found;
  }
  void run() override {
    ::new (static_cast<void*>(&this->value_)) T(std::apply(
        [](F& f, const Lazy<D>&... d) -> T { return std::invoke(f, d.force()...); }, *job_));
    this->state_.store(CellBase::Done, std::memory_order_release);
    job_.reset();
    this->state_.notify_all();
  }
  void fail(std::exception_ptr e) noexcept override {
    error_ = std::move(e);
    this->state_.store(CellBase::Failed, std::memory_order_release);
    job_.reset();
    this->state_.notify_all();
  }
  [[noreturn]] void rethrow() const override { std::rethrow_exception(error_); }

 private:
  std::optional<std::tuple<F, Lazy<D>...>> job_;
  std::exception_ptr error_;
};

}  // namespace detail

/// A handle to a shared deferred value. Copying a handle shares the cell.
/// Copying a handle adds one atomic count and allocates nothing; moving one touches no count.
template <class T>
class Lazy {
 public:
  /// The value's type.
  using value_type = T;

  /// @{
  /// An evaluated cell holding the value.
  /// One allocation: the cell, with the value copied (or moved, or converted) into it.
  Lazy(const T& v) : cell_(new detail::Cell<T>(std::in_place, false, v)) {}  // NOLINT
  Lazy(T&& v) : cell_(new detail::Cell<T>(std::in_place, false, std::move(v))) {}  // NOLINT
  template <class U>
    requires(!std::is_same_v<std::remove_cvref_t<U>, Lazy> &&
             !std::is_same_v<std::remove_cvref_t<U>, T> && std::is_constructible_v<T, U &&> &&
             std::is_convertible_v<U &&, T>)
  Lazy(U&& u) : cell_(new detail::Cell<T>(std::in_place, false, std::forward<U>(u))) {}  // NOLINT
  /// @}

  /// Shares o's cell (one atomic count, no allocation), or copies its value held in the handle.
  Lazy(const Lazy& o) noexcept : cell_(o.cell_), inline_(o.inline_) { detail::retain(cell_); }
  /// Takes o's cell; o is left without one and may only be assigned or destroyed.
  Lazy(Lazy&& o) noexcept : cell_(o.cell_), inline_(o.inline_) { o.cell_ = nullptr; }
  /// Shares o's cell, dropping this handle's own.
  Lazy& operator=(const Lazy& o) noexcept {
    detail::retain(o.cell_);
    detail::release(cell_);
    cell_ = o.cell_;
    inline_ = o.inline_;
    return *this;
  }
  /// Takes o's cell, dropping this handle's own; o is left without one.
  Lazy& operator=(Lazy&& o) noexcept {
    if (this != &o) {
      detail::release(cell_);
      cell_ = o.cell_;
      inline_ = o.inline_;
      o.cell_ = nullptr;
    }
    return *this;
  }
  /// Drops the handle; the last one frees the cell (a chain of cells that hold each other is freed
  /// without deep recursion).
  ~Lazy() { detail::release(cell_); }

  /// An evaluated value held in the handle itself, for small plain values: no cell, no count and
  /// no identity (it is never the same object as another handle's value). Only the containers make
  /// such handles; a plain value converts into a cell of its own. Allocates nothing.
  [[nodiscard]] static Lazy unboxed(T v) noexcept
    requires detail::unboxable<T>
  {
    Lazy l(Adopt{}, nullptr);
    l.inline_.value = v;
    return l;
  }
  /// Whether the value is held in the handle itself; forces nothing.
  [[nodiscard]] bool isUnboxed() const noexcept {
    if constexpr (detail::unboxable<T>)
      return cell_ == nullptr;
    else
      return false;
  }

  /// A deferred computation f() of no dependencies.
  /// One allocation, holding f; nothing runs until the value is first demanded.
  template <class F>
  [[nodiscard]] static Lazy defer(F f) {
    return Lazy(Adopt{}, new detail::ThunkCell<T, F>(std::move(f)));
  }
  /// A deferred application of f to the values of the given cells; the cells are forced first,
  /// without recursion, so long chains of such applications force in constant stack.
  /// One allocation, holding f and the handles; nothing runs until the value is first demanded.
  template <class F, class... D>
  [[nodiscard]] static Lazy apply(F f, Lazy<D>... deps) {
    return Lazy(Adopt{}, new detail::ThunkCell<T, F, D...>(std::move(f), std::move(deps)...));
  }
  /// A cell that is never freed (shared constants).
  /// One allocation, with v moved into it; its handles are not counted.
  [[nodiscard]] static Lazy immortal(T v) {
    return Lazy(Adopt{}, new detail::Cell<T>(std::in_place, true, std::move(v)));
  }

  /// The value; runs the computation on first demand, re-throws a stored exception.
  /// Later demands return the stored value (or throw the stored exception) without running
  /// anything; a thread that demands a cell another thread is evaluating waits for it. A
  /// computation that demands its own cell fails with the program error "<<loop>>", stored.
  /// A coroutine (makecontext/swapcontext) that demands a cell another coroutine of its thread
  /// is evaluating, switched away from inside the computation, cannot wait (the thread would
  /// block for good): the demand throws hs::ProgramError at once and settles nothing — every cell
  /// it claimed is given back unrun, and a computation that lets the error pass is not settled
  /// by it — so the same demand succeeds once the other coroutine is done. Running out of memory
  /// while forcing (std::bad_alloc) settles nothing either. A thread that ends inside a
  /// computation (pthread_exit, cancellation) gives back, unrun, every cell it was evaluating: a
  /// later demand, or a thread waiting for one, runs the computation again. Allocates nothing
  /// beyond what the computation does and an explicit stack for a long chain of cells.
  const T& force() const {
    if constexpr (detail::unboxable<T>)
      if (cell_ == nullptr) return inline_.value;
    return cell_->get();
  }
  /// force().
  const T& operator*() const { return force(); }
  /// &force().
  const T* operator->() const { return &force(); }

  /// True once the cell holds a value (not a computation, not an exception); forces nothing.
  [[nodiscard]] bool evaluated() const noexcept {
    return isUnboxed() || cell_->state_.load(std::memory_order_acquire) == detail::CellBase::Done;
  }
  /// True once the cell is settled, with a value or with an exception; forces nothing.
  [[nodiscard]] bool settled() const noexcept { return isUnboxed() || cell_->settled(); }

  /// The cell's address: handles that share a cell have the same identity; null for a value held
  /// in the handle itself, which has no identity.
  [[nodiscard]] const void* identity() const noexcept { return cell_; }

 private:
  // Takes over a new cell. The tag keeps the converting constructor out: a T that can be made
  // from a pointer (bool, std::any) would otherwise take the cell as its value.
  struct Adopt {};
  Lazy(Adopt, detail::Cell<T>* c) noexcept : cell_(c) {}
  friend detail::Cell<T>* detail::cellOf<T>(const Lazy<T>&) noexcept;
  friend Lazy detail::adoptCell<T>(detail::Cell<T>*) noexcept;
  detail::Cell<T>* cell_;
  [[no_unique_address]] detail::InlineValue<T> inline_;
};

/// \cond
template <class T>
[[nodiscard]] detail::Cell<T>* detail::cellOf(const Lazy<T>& l) noexcept {
  return l.cell_;
}
template <class T>
[[nodiscard]] Lazy<T> detail::adoptCell(Cell<T>* c) noexcept {
  return Lazy<T>(typename Lazy<T>::Adopt{}, c);
}
/// \endcond

/// A deferred computation, its type deduced from f.
/// One allocation, holding f; nothing runs until the value is first demanded.
template <class F>
[[nodiscard]] auto delay(F f) -> Lazy<std::remove_cvref_t<std::invoke_result_t<F&>>> {
  return Lazy<std::remove_cvref_t<std::invoke_result_t<F&>>>::defer(std::move(f));
}
/// A deferred application of f to the values of cells.
/// The cells are forced first, without recursion. One allocation, holding f and the handles;
/// nothing runs until the value is first demanded.
template <class F, class... D>
[[nodiscard]] auto applyLazy(F f, Lazy<D>... deps)
    -> Lazy<std::remove_cvref_t<std::invoke_result_t<F&, const D&...>>> {
  return Lazy<std::remove_cvref_t<std::invoke_result_t<F&, const D&...>>>::apply(std::move(f),
                                                                                 std::move(deps)...);
}

/// Pointer identity of cells: whether a and b share one cell (a value held in a handle has
/// none); forces nothing.
template <class T>
[[nodiscard]] bool ptrEq(const Lazy<T>& a, const Lazy<T>& b) noexcept {
  return a.identity() == b.identity() && a.identity() != nullptr;
}

/// Whether T is a deferred value's handle, `Lazy<U>`.
template <class T>
struct IsLazy : std::false_type {};
/// A deferred value's handle: true.
template <class T>
struct IsLazy<Lazy<T>> : std::true_type {};

/// @}
}  // namespace hs
