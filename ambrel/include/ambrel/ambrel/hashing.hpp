// Hashing and deep evaluation of inclusive-or values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

#include "ambrel/ambrel/type.hpp"
#include "hs/hashable.hpp"
#include "hs/nfdata.hpp"

/// \addtogroup ambrel_ambrel
/// @{

namespace ambrel::internal {

template <class H1, class H2, class A, class B>
[[nodiscard]] std::int64_t hashWith(H1& h1, H2& h2, std::int64_t salt, const Ambrel<A, B>& t) {
  const Node& n = Access::node(t);
  const std::int64_t s1 = hs::saltedWordHash(salt, n.index);
  if (n.index == 0) return h1(s1, n.here.template get<A>().force());
  if (n.index == 1) return h2(s1, n.there.template get<B>().force());
  const std::int64_t s2 = h1(s1, n.here.template get<A>().force());
  return h2(s2, n.there.template get<B>().force());
}

template <class R1, class R2, class A, class B>
void rnfWith(R1& r1, R2& r2, const Ambrel<A, B>& t) {
  const Node& n = Access::node(t);
  if (n.index != 1) r1(n.here.template get<A>().force());
  if (n.index != 0) r2(n.there.template get<B>().force());
}

}  // namespace ambrel::internal

/// Hashing: the constructor index (0 This, 1 That, 2 Ambrel) mixed into the salt with
/// saltedWordHash, then the salt threaded through the first value and then the second. Forces
/// the value and its present fields; allocates nothing.
template <class A, class B>
struct hs::Hashable<ambrel::Ambrel<A, B>> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, const ambrel::Ambrel<A, B>& t) {
    hs::HashWithSalt own;
    return ambrel::internal::hashWith(own, own, salt, t);
  }
};
/// The first value by A's own hash, the second by h.
template <class A, class B>
struct hs::Hashable1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class H>
  [[nodiscard]] static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const ambrel::Ambrel<A, B>& t) {
    hs::HashWithSalt own;
    return ambrel::internal::hashWith(own, h, salt, t);
  }
};
/// The first value by h1, the second by h2.
template <class A, class B>
struct hs::Hashable2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class H1, class H2>
  [[nodiscard]] static std::int64_t liftHashWithSalt2(H1&& h1, H2&& h2, std::int64_t salt,
                                        const ambrel::Ambrel<A, B>& t) {
    return ambrel::internal::hashWith(h1, h2, salt, t);
  }
};

/// hs::hash, for the standard containers.
template <class A, class B>
struct std::hash<ambrel::Ambrel<A, B>> {
  /// \privatesection
  std::size_t operator()(const ambrel::Ambrel<A, B>& t) const {
    return static_cast<std::size_t>(hs::hash(t));
  }
};

/// Deep evaluation: the value, then its present fields deeply, the first before the second.
template <class A, class B>
struct hs::NFData<ambrel::Ambrel<A, B>> {
  /// \privatesection
  static void rnf(const ambrel::Ambrel<A, B>& t) {
    hs::Rnf own;
    ambrel::internal::rnfWith(own, own, t);
  }
};
/// The first value deeply by its own rnf, the second by r.
template <class A, class B>
struct hs::NFData1<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const ambrel::Ambrel<A, B>& t) {
    hs::Rnf own;
    ambrel::internal::rnfWith(own, r, t);
  }
};
/// The first value by r1, the second by r2.
template <class A, class B>
struct hs::NFData2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const ambrel::Ambrel<A, B>& t) {
    ambrel::internal::rnfWith(r1, r2, t);
  }
};

/// @}
