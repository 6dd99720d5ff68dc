// Salted hashes of maps. Inner nodes follow from the keys' hashes, so only leaves and collisions
// are mixed in, in trie order; a collision's records are hashed one by one and mixed in sorted,
// so the hash does not depend on the order in which colliding keys were inserted.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "hs/call.hpp"
#include "hs/hashable.hpp"
#include "vantrel/map/internal/compare.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

namespace detail {

// The collision hash: s1 = saltedWordHash(salt, stored hash); each record hashed as
// hv(hk(s1, key), value) in array order; the record hashes sorted as signed numbers and folded
// into s1.
template <class HK, class HV, class K, class V>
std::int64_t collisionHash(HK& hk, HV& hv, std::int64_t salt, const HashMap<K, V>& node) {
  const Entries<K, V>& a = internal::entriesOf(node);
  const std::int64_t s1 = hs::saltedWordHash(salt, internal::wordOf(node));
  auto fold = [&](std::int64_t* hashes) {
    for (std::uint32_t i = 0; i < a.size(); ++i)
      hashes[i] = hs::call(hv, hs::call(hk, s1, a[i].key), a[i].value);
    std::sort(hashes, hashes + a.size());
    std::int64_t acc = s1;
    for (std::uint32_t i = 0; i < a.size(); ++i)
      acc = hs::saltedWordHash(acc, static_cast<std::uint64_t>(hashes[i]));
    return acc;
  };
  // Collision arrays are small: no allocation for the common ones.
  if (a.size() <= 8) {
    std::array<std::int64_t, 8> hashes;
    return fold(hashes.data());
  }
  std::vector<std::int64_t> hashes(a.size());
  return fold(hashes.data());
}

// The key and value types' own hashes; the value's cell is forced by hs::call.
struct OwnHash {
  template <class A>
  std::int64_t operator()(std::int64_t salt, const A& x) const {
    return hs::hashWithSalt(salt, x);
  }
};

template <class K, class V>
std::int64_t hashWalk(std::int64_t salt, const Ref<K, V>& c) {
  switch (c.kind()) {
    case Kind::Empty:
      return salt;
    case Kind::Leaf:
      // The stored hash stands for the key.
      return hs::hashWithSalt(hs::saltedWordHash(salt, c.hash()), c.force());
    case Kind::Collision: {
      OwnHash own;
      return detail::collisionHash(own, own, salt, *c.node);
    }
    default:
      internal::forEachChild(internal::branchOf(*c.node), [&](ChildBitmap, const Ref<K, V>& d) {
        salt = detail::hashWalk(salt, d);
        return true;
      });
      return salt;
  }
}

template <class HK, class HV, class K, class V>
std::int64_t liftHashWalk(HK& hk, HV& hv, std::int64_t salt, const Ref<K, V>& c) {
  switch (c.kind()) {
    case Kind::Empty:
      return salt;
    case Kind::Leaf:
      // The key is hashed with the running salt; the stored hash is not used.
      return internal::withEntry(c, [&](const Entry<K, V>& r) {
        return hs::call(hv, hs::call(hk, salt, r.key), r.value);
      });
    case Kind::Collision:
      return detail::collisionHash(hk, hv, salt, *c.node);
    default:
      internal::forEachChild(internal::branchOf(*c.node), [&](ChildBitmap, const Ref<K, V>& d) {
        salt = detail::liftHashWalk(hk, hv, salt, d);
        return true;
      });
      return salt;
  }
}

}  // namespace detail

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// The map's hash from a salt: each leaf's stored hash mixed into the running salt and the value
/// hashed with the result; each collision by its collision hash; inner nodes add nothing.
/// Forces every value (each is hashed with its own hs::Hashable); hashes no key, the stored hashes
/// stand for them. O(n); allocates only to sort the record hashes of a collision of more than a few
/// keys.
template <class K, class V>
[[nodiscard]] std::int64_t hashWithSalt(std::int64_t salt, const HashMap<K, V>& m) {
  return detail::hashWalk(salt, Ref<K, V>::of(m));
}
/// @}
/// @}
template <class K, class V>
[[nodiscard]] std::int64_t hash(const HashMap<K, V>& m) {
  return internal::hashWithSalt(hs::defaultSalt, m);
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// The hash with the caller's hashers hk(salt, key) and hv(salt, value): a leaf becomes
/// hv(hk(salt, key), value), a collision its collision hash with hk and hv. Differs from
/// hashWithSalt on leaves by design (the key is hashed instead of its stored hash mixed in).
/// hk and hv receive keys and forced values (cells under hs::onCells). O(n); allocates only for the
/// record hashes of a large collision.
template <class HK, class HV, class K, class V>
[[nodiscard]] std::int64_t liftHashWithSalt2(HK&& hk, HV&& hv, std::int64_t salt, const HashMap<K, V>& m) {
  return detail::liftHashWalk(hk, hv, salt, Ref<K, V>::of(m));
}
/// liftHashWithSalt2 with the key type's own hash for hk.
template <class HV, class K, class V>
[[nodiscard]] std::int64_t liftHashWithSalt(HV&& hv, std::int64_t salt, const HashMap<K, V>& m) {
  detail::OwnHash hk;
  return detail::liftHashWalk(hk, hv, salt, Ref<K, V>::of(m));
}
/// @}
/// @}

}  // namespace vantrel::internal

/// \addtogroup vantrel_map_lazy
/// @{

/// Hashing: hashWithSalt and hash of the map (see vantrel::lazy::hashWithSalt).
template <class K, class V>
struct hs::Hashable<vantrel::HashMap<K, V>> {
  /// \privatesection
  static std::int64_t hashWithSalt(std::int64_t salt, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::hashWithSalt(salt, m);
  }
  static std::int64_t hash(const vantrel::HashMap<K, V>& m) { return vantrel::internal::hash(m); }
};
/// Lifted hashing: the map's liftHashWithSalt.
template <class K, class V>
struct hs::Hashable1<vantrel::HashMap<K, V>> {
  /// \privatesection
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::liftHashWithSalt(h, salt, m);
  }
};
/// Two-sided lifted hashing: the map's liftHashWithSalt2.
template <class K, class V>
struct hs::Hashable2<vantrel::HashMap<K, V>> {
  /// \privatesection
  template <class H1, class H2>
  static std::int64_t liftHashWithSalt2(H1&& hk, H2&& hv, std::int64_t salt,
                                        const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::liftHashWithSalt2(hk, hv, salt, m);
  }
};

/// std::unordered_map and friends hash maps with the map's own hash.
/// O(n), forcing every value.
template <class K, class V>
struct std::hash<vantrel::HashMap<K, V>> {
  /// \privatesection
  std::size_t operator()(const vantrel::HashMap<K, V>& m) const {
    return static_cast<std::size_t>(vantrel::internal::hash(m));
  }
};
/// @}
