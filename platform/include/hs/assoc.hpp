/// \defgroup hs_assoc hs/assoc.hpp
/// \ingroup hsplatform
/// Swapping the two sides of a two-parameter structure, and re-associating a nested one:
/// ((a, b), c) to (a, (b, c)) and back. Keyed on two-parameter tags (see hs/bifunctor.hpp).
#pragma once

#include <utility>

#include "hs/bifunctor.hpp"
#include "hs/either.hpp"

namespace hs {
/// \addtogroup hs_assoc
/// @{

/// Swapping, per two-parameter tag: specialise with `swap(p)`.
template <class Tag2>
struct Swap;
/// Re-association, per two-parameter tag: specialise with `assoc(p)` and `unassoc(p)`.
template <class Tag2>
struct Assoc;

/// `P<a, b>` to `P<b, a>`, by the tag's Swap instance.
template <Tagged2 P>
[[nodiscard]] auto swap(const P& p) {
  return Swap<TagOf2T<P>>::swap(p);
}
/// `P<P<a, b>, c>` to `P<a, P<b, c>>`, by the tag's Assoc instance.
template <Tagged2 P>
[[nodiscard]] auto assoc(const P& p) {
  return Assoc<TagOf2T<P>>::assoc(p);
}
/// `P<a, P<b, c>>` to `P<P<a, b>, c>`, by the tag's Assoc instance.
template <Tagged2 P>
[[nodiscard]] auto unassoc(const P& p) {
  return Assoc<TagOf2T<P>>::unassoc(p);
}

/// The pair's components exchanged (copies both).
template <>
struct Swap<PairTag2> {
  /// \privatesection
  template <class A, class B>
  [[nodiscard]] static std::pair<B, A> swap(const std::pair<A, B>& p) {
    return {p.second, p.first};
  }
};
/// The pair's components regrouped (copies all three).
template <>
struct Assoc<PairTag2> {
  /// \privatesection
  template <class A, class B, class C>
  [[nodiscard]] static std::pair<A, std::pair<B, C>> assoc(const std::pair<std::pair<A, B>, C>& p) {
    return {p.first.first, {p.first.second, p.second}};
  }
  template <class A, class B, class C>
  [[nodiscard]] static std::pair<std::pair<A, B>, C> unassoc(const std::pair<A, std::pair<B, C>>& p) {
    return {{p.first, p.second.first}, p.second.second};
  }
};

/// A Left becomes a Right and a Right a Left (copies the payload).
template <>
struct Swap<EitherTag2> {
  /// \privatesection
  template <class A, class B>
  [[nodiscard]] static Either<B, A> swap(const Either<A, B>& e) {
    if (e.isLeft()) return hs::Right(e.left());
    return hs::Left(e.right());
  }
};
/// The one payload moved to the side of the same alternative in the other nesting: Left (Left a)
/// to Left a, Left (Right b) to Right (Left b), Right c to Right (Right c), and back.
template <>
struct Assoc<EitherTag2> {
  /// \privatesection
  template <class A, class B, class C>
  [[nodiscard]] static Either<A, Either<B, C>> assoc(const Either<Either<A, B>, C>& e) {
    using R = Either<B, C>;
    if (e.isRight()) return hs::Right(R(hs::Right(e.right())));
    const Either<A, B>& inner = e.left();
    if (inner.isLeft()) return hs::Left(inner.left());
    return hs::Right(R(hs::Left(inner.right())));
  }
  template <class A, class B, class C>
  [[nodiscard]] static Either<Either<A, B>, C> unassoc(const Either<A, Either<B, C>>& e) {
    using L = Either<A, B>;
    if (e.isLeft()) return hs::Left(L(hs::Left(e.left())));
    const Either<B, C>& inner = e.right();
    if (inner.isLeft()) return hs::Left(L(hs::Right(inner.left())));
    return hs::Right(inner.right());
  }
};

/// @}
}  // namespace hs
