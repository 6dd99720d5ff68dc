/// \defgroup hs_either hs/either.hpp
/// \ingroup hsplatform
/// Either: a value that is Left a or Right b, with its comparisons, text forms and hash, the
/// functor, applicative and monad of `Either a` (a Left stops the computation), and the split of
/// a lazy list of them.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/functor.hpp"
#include "hs/hashable.hpp"
#include "hs/internal/nest.hpp"
#include "hs/list.hpp"
#include "hs/monad.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"

namespace hs {
/// \addtogroup hs_either
/// @{

/// A left payload waiting for the Either type it goes into: what hs::Left returns. It converts to
/// any Either whose left side can be built from it, so
/// `Either<std::int64_t, std::string> e = hs::Left(5);` works.
template <class A>
struct LeftValue {
  A value;  ///< The payload.
};
/// A right payload waiting for the Either type it goes into: what hs::Right returns.
template <class B>
struct RightValue {
  B value;  ///< The payload.
};
/// Left a, for conversion to an Either (a is copied or moved in).
template <class A>
[[nodiscard]] LeftValue<std::decay_t<A>> Left(A&& a) {
  return {std::forward<A>(a)};
}
/// Right b, for conversion to an Either (b is copied or moved in).
template <class B>
[[nodiscard]] RightValue<std::decay_t<B>> Right(B&& b) {
  return {std::forward<B>(b)};
}

/// A value that is either Left a or Right b, held in place (a std::variant; no allocation of its
/// own). Built from hs::Left(a) or hs::Right(b).
template <class A, class B>
class Either {
 public:
  using left_type = A;   ///< The type of a Left's payload.
  using right_type = B;  ///< The type of a Right's payload.

  /// @{
  /// Left a or Right b, the payload moved in (and converted to the side's type).
  template <class U>
    requires std::is_constructible_v<A, U&&>
  Either(LeftValue<U> l) : v_(std::in_place_index<0>, std::move(l.value)) {}  // NOLINT
  template <class U>
    requires std::is_constructible_v<B, U&&>
  Either(RightValue<U> r) : v_(std::in_place_index<1>, std::move(r.value)) {}  // NOLINT
  /// @}

  /// @{
  /// Which side the value is on.
  [[nodiscard]] bool isLeft() const noexcept { return v_.index() == 0; }
  [[nodiscard]] bool isRight() const noexcept { return v_.index() == 1; }
  /// @}
  /// @{
  /// The payload of the side the value is on (std::bad_variant_access on the other side).
  [[nodiscard]] const A& left() const { return std::get<0>(v_); }
  [[nodiscard]] const B& right() const { return std::get<1>(v_); }
  /// @}

  /// Equal when on the same side with equal payloads. Payloads that may nest values of their own
  /// kind are compared through the stack helper, so any depth of nesting compares.
  friend bool operator==(const Either& a, const Either& b)
    requires std::equality_comparable<A> && std::equality_comparable<B>
  {
    return hs::internal::nestedCall<A, B>([&]() -> bool { return a.v_ == b.v_; });
  }
  /// Ordered Left before Right, then by payload; nested payloads as for ==.
  friend auto operator<=>(const Either& a, const Either& b)
    requires std::three_way_comparable<A> && std::three_way_comparable<B>
  {
    return hs::internal::nestedCall<A, B>([&] { return a.v_ <=> b.v_; });
  }

 private:
  std::variant<A, B> v_;
};

/// Whether e is a Left.
template <class A, class B>
[[nodiscard]] bool isLeft(const Either<A, B>& e) noexcept {
  return e.isLeft();
}
/// Whether e is a Right.
template <class A, class B>
[[nodiscard]] bool isRight(const Either<A, B>& e) noexcept {
  return e.isRight();
}

/// "Left " or "Right " and the payload at precedence 11, in brackets above precedence 10, the
/// payload by the given functions.
template <class A, class B>
struct Show2<Either<A, B>> {
  /// \privatesection
  template <class SP1, class SL1, class SP2, class SL2>
  static void liftShowsPrec2(SP1&& sp1, SL1&&, SP2&& sp2, SL2&&, int d, const Either<A, B>& e,
                             std::string& out) {
    if (e.isLeft())
      hs::showsUnaryWith(sp1, "Left", d, e.left(), out);
    else
      hs::showsUnaryWith(sp2, "Right", d, e.right(), out);
  }
};
/// As Show2, the left payload by its own Show, the right one by the given functions.
template <class A, class B>
struct Show1<Either<A, B>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const Either<A, B>& e, std::string& out) {
    Show2<Either<A, B>>::liftShowsPrec2(ShowsPrec{}, ShowList{}, sp, sl, d, e, out);
  }
};
/// As Show2, both payloads by their own Show.
template <class A, class B>
struct Show<Either<A, B>> {
  /// \privatesection
  static void showsPrec(int d, const Either<A, B>& e, std::string& out) {
    Show2<Either<A, B>>::liftShowsPrec2(ShowsPrec{}, ShowList{}, ShowsPrec{}, ShowList{}, d, e,
                                        out);
  }
};

/// The text form Show writes: "Left " or "Right " and the payload at precedence 11, in any number
/// of round brackets (at least one above precedence 10); the payloads by the given readers.
template <class A, class B>
struct Read2<Either<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Either<A, B>> liftReadPrec2(ReadPrec<A> rp1, ReadPrec<std::vector<A>>,
                                              ReadPrec<B> rp2, ReadPrec<std::vector<B>>) {
    using E = Either<A, B>;
    return readprec::readData(
        readprec::alt(readprec::readUnaryWith(std::move(rp1), "Left",
                                              [](A&& a) { return E(hs::Left(std::move(a))); }),
                      readprec::readUnaryWith(std::move(rp2), "Right",
                                              [](B&& b) { return E(hs::Right(std::move(b))); })));
  }
};
/// As Read2, the left payload by its own Read, the right one by the given readers.
template <class A, class B>
struct Read1<Either<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Either<A, B>> liftReadPrec(ReadPrec<B> rp, ReadPrec<std::vector<B>> rl) {
    return Read2<Either<A, B>>::liftReadPrec2(hs::readPrec<A>(), hs::readListPrec<A>(),
                                              std::move(rp), std::move(rl));
  }
};
/// As Read2, both payloads by their own Read.
template <class A, class B>
struct Read<Either<A, B>> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<Either<A, B>> readPrec() {
    return Read2<Either<A, B>>::liftReadPrec2(hs::readPrec<A>(), hs::readListPrec<A>(),
                                              hs::readPrec<B>(), hs::readListPrec<B>());
  }
};

/// A tag word (0 for Left, 1 for Right) mixed into the salt, then the payload hashed with it.
template <class A, class B>
struct Hashable<Either<A, B>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const Either<A, B>& e) {
    if (e.isLeft()) return hs::hashWithSalt(saltedWordHash(salt, 0), e.left());
    return hs::hashWithSalt(saltedWordHash(salt, 1), e.right());
  }
};

/// `Either a` as a type constructor in its right type: a Left is the failure that stops a
/// computation.
template <class A>
struct EitherTag {
  /// `Either<A, X>`.
  template <class X>
  using apply = Either<A, X>;
};
/// `Either<A, B>` is EitherTag<A> applied to B.
template <class A, class B>
struct TagOf<Either<A, B>> {
  /// \privatesection
  using type = EitherTag<A>;
  using value_type = B;
};

/// f of a Right's payload; a Left is copied unchanged and f is not called.
template <class A>
struct Functor<EitherTag<A>> {
  /// \privatesection
  template <class F, class B>
  [[nodiscard]] static auto fmap(F&& f, const Either<A, B>& e) {
    using E = Either<A, std::remove_cvref_t<std::invoke_result_t<F&, const B&>>>;
    if (e.isLeft()) return E(hs::Left(e.left()));
    return E(hs::Right(f(e.right())));
  }
};
/// pure is Right; liftA2 gives the first Left it meets, and produces the rest only when the left
/// operand is a Right.
template <class A>
struct Applicative<EitherTag<A>> {
  /// \privatesection
  template <class B>
  [[nodiscard]] static Either<A, B> pure(B b) {
    return hs::Right(std::move(b));
  }
  template <class F, class B, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const Either<A, B>& x, Rest&& rest) {
    using FC = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using C = typename FC::right_type;
    using E = Either<A, std::remove_cvref_t<std::invoke_result_t<F&, const B&, const C&>>>;
    if (x.isLeft()) return E(hs::Left(x.left()));
    const FC y = rest();
    if (y.isLeft()) return E(hs::Left(y.left()));
    return E(hs::Right(f(x.right(), y.right())));
  }
};
/// A Left is passed on and the continuation not called; a Right's payload goes to it.
template <class A>
struct Monad<EitherTag<A>> {
  /// \privatesection
  template <class B, class K>
  [[nodiscard]] static auto bind(const Either<A, B>& m, K&& k) {
    using MC = std::remove_cvref_t<std::invoke_result_t<K&, const B&>>;
    if (m.isLeft()) return MC(hs::Left(m.left()));
    return MC(k(m.right()));
  }
};

/// The Left values and the Right values of a list, each in order and produced on demand: each
/// result list walks xs separately, and reaching its next element forces xs as far as the next
/// value of its side (forever, on an endless list without one).
template <class A, class B>
[[nodiscard]] std::pair<List<A>, List<B>> partitionEithers(const List<Either<A, B>>& xs) {
  return {hs::mapMaybe(
              [](const Either<A, B>& e) { return e.isLeft() ? std::optional<A>(e.left()) : std::nullopt; },
              xs),
          hs::mapMaybe(
              [](const Either<A, B>& e) { return e.isRight() ? std::optional<B>(e.right()) : std::nullopt; },
              xs)};
}

/// @}
}  // namespace hs
