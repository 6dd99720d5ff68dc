// The validity checker: tests any map against the structural invariants of the trie and reports
// the first broken one, with the hash bits of the path that leads to the offending node.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <optional>
#include <utility>

#include "hs/semigroup.hpp"
#include "hs/show.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal::debug {
/// \addtogroup vantrel_map_debug
/// @{

/// The hash bits fixed by the path from the root to a node, low bits first.
struct SubHashPath {
  /// The hash bits the path fixes.
  std::uint64_t partialHash = 0;
  /// How many low bits of partialHash the path fixes.
  std::int64_t lengthInBits = 0;
  /// Equal bits and equal length.
  friend bool operator==(const SubHashPath&, const SubHashPath&) = default;
};
/// The path's hash bits.
[[nodiscard]] inline std::uint64_t partialHash(const SubHashPath& p) noexcept { return p.partialHash; }
/// The path's length in bits.
[[nodiscard]] inline std::int64_t lengthInBits(const SubHashPath& p) noexcept { return p.lengthInBits; }

/// The broken invariant, constructors in declared order.
/// The tag names the invariant; the fields the constructor carries are filled, the others empty.
template <class K>
struct Error {
  /// The invariant broken: one per constructor below.
  enum class Tag : std::uint8_t {
    INV1_internal_Empty,
    INV2_Bitmap_unexpected_1_bits,
    INV3_bad_BitmapIndexed_size,
    INV4_bitmap_array_size_mismatch,
    INV5_BitmapIndexed_invalid_single_subtree,
    INV6_misplaced_hash,
    INV7_key_hash_mismatch,
    INV8_bad_Full_size,
    INV9_Collision_size,
    INV10_Collision_duplicate_key,
  };
  /// Which invariant is broken.
  Tag tag;
  /// The key, for INV7 and INV10.
  std::optional<K> key;    // INV7, INV10
  /// The bitmap (INV2, INV4) or the stored hash (INV6, INV7, INV10).
  std::uint64_t word = 0;  // the bitmap (INV2, INV4) or the stored hash (INV6, INV7, INV10)
  /// An array length (INV3, INV4, INV8, INV9).
  std::int64_t count = 0;  // an array length (INV3, INV4, INV8, INV9)

  /// @{
  /// One constructor per invariant, with its fields: the bitmap (b), an array length (n), the
  /// stored hash (h), the key (k).
  static Error INV1_internal_Empty() { return {Tag::INV1_internal_Empty, {}, 0, 0}; }
  static Error INV2_Bitmap_unexpected_1_bits(std::uint64_t b) {
    return {Tag::INV2_Bitmap_unexpected_1_bits, {}, b, 0};
  }
  static Error INV3_bad_BitmapIndexed_size(std::int64_t n) {
    return {Tag::INV3_bad_BitmapIndexed_size, {}, 0, n};
  }
  static Error INV4_bitmap_array_size_mismatch(std::uint64_t b, std::int64_t n) {
    return {Tag::INV4_bitmap_array_size_mismatch, {}, b, n};
  }
  static Error INV5_BitmapIndexed_invalid_single_subtree() {
    return {Tag::INV5_BitmapIndexed_invalid_single_subtree, {}, 0, 0};
  }
  static Error INV6_misplaced_hash(std::uint64_t h) { return {Tag::INV6_misplaced_hash, {}, h, 0}; }
  static Error INV7_key_hash_mismatch(K k, std::uint64_t h) {
    return {Tag::INV7_key_hash_mismatch, std::move(k), h, 0};
  }
  static Error INV8_bad_Full_size(std::int64_t n) { return {Tag::INV8_bad_Full_size, {}, 0, n}; }
  static Error INV9_Collision_size(std::int64_t n) { return {Tag::INV9_Collision_size, {}, 0, n}; }
  static Error INV10_Collision_duplicate_key(K k, std::uint64_t h) {
    return {Tag::INV10_Collision_duplicate_key, std::move(k), h, 0};
  }
/// @}

  /// Same constructor and equal fields, compared left to right (keys with the key type's ==).
  friend bool operator==(const Error& a, const Error& b) {
    if (a.tag != b.tag) return false;
    switch (a.tag) {
      case Tag::INV7_key_hash_mismatch:
      case Tag::INV10_Collision_duplicate_key:
        return *a.key == *b.key && a.word == b.word;
      default:
        return a.word == b.word && a.count == b.count;
    }
  }
};

/// The checker's result: `Invalid` with the error and the path of the node, or `Valid`.
template <class K>
class Validity {
 public:
  /// The map passed every check.
  static Validity Valid() { return Validity(); }
  /// The first broken invariant e, at the node that path p leads to.
  static Validity Invalid(Error<K> e, SubHashPath p) { return Validity(std::move(e), p); }

  /// Whether no invariant is broken.
  bool isValid() const noexcept { return !error_.has_value(); }
  /// The broken invariant; only for an Invalid result.
  const Error<K>& error() const { return *error_; }
  /// The path to the offending node; only meaningful for an Invalid result.
  const SubHashPath& path() const noexcept { return path_; }

  /// Both Valid, or both Invalid with equal errors and paths.
  friend bool operator==(const Validity& a, const Validity& b) {
    if (a.isValid() || b.isValid()) return a.isValid() == b.isValid();
    return *a.error_ == *b.error_ && a.path_ == b.path_;
  }

 private:
  Validity() = default;
  Validity(Error<K> e, SubHashPath p) : error_(std::move(e)), path_(p) {}
  std::optional<Error<K>> error_;
  SubHashPath path_;
};
/// @}

// The left operand when it is `Invalid`, else the right one.
template <class K>
const Validity<K>& mappend(const Validity<K>& a, const Validity<K>& b) {
  return a.isValid() ? b : a;
}

// The low l bits of a word; all 64 bits for l of 64 or more.
constexpr std::uint64_t lowBits(std::int64_t l) noexcept {
  return l >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << l) - 1;
}
// c placed at bit l of a 64-bit word; bits beyond the word are dropped.
constexpr std::uint64_t chunkAt(std::uint64_t c, std::int64_t l) noexcept {
  return l >= 64 ? 0 : c << l;
}

template <class K, class V>
Validity<K> checkSubtree(const Ref<K, V>& t, SubHashPath path);

// Whether every record's tag is the one of its stored hash and the tag run's padding is zero (the
// layout's own invariants: the walks would miss a record of another tag, and the padding is read
// with the tags). No error of the model names them, so the checker asserts them.
template <class K, class V>
bool tagsSound(const Branch<K, V>& a) noexcept {
  using B = Branch<K, V>;
  const std::uint32_t n = a.nrec();
  for (std::uint32_t i = 0; i < n; ++i)
    if ((a.tags()[i] & B::tagMask) != B::tagOf(a.recs()[i].hash)) return false;
  for (std::size_t i = n; i < B::subsFor(n) - B::tagsAt; ++i)
    if (a.tags()[i] != 0) return false;
  return true;
}

template <class K, class V>
Validity<K> checkChildren(const Branch<K, V>& a, SubHashPath path) {
  assert(debug::tagsSound(a) && "a record's tag differs from its hash's");
  if (a.size() == 1) {
    bool lone = false;
    internal::forEachChild(a, [&](ChildBitmap, const Ref<K, V>& c) {
      lone = c.kind() == Kind::Leaf || c.kind() == Kind::Collision;
      return false;
    });
    if (lone) return Validity<K>::Invalid(Error<K>::INV5_BitmapIndexed_invalid_single_subtree(), path);
  }
  Validity<K> r = Validity<K>::Valid();
  internal::forEachChild(a, [&](ChildBitmap bit, const Ref<K, V>& c) {
    const auto chunk = static_cast<std::uint64_t>(std::countr_zero(bit));
    r = debug::checkSubtree(c, SubHashPath{path.partialHash | chunkAt(chunk, path.lengthInBits),
                                           path.lengthInBits + bitsPerSubkey});
    return r.isValid();
  });
  return r;
}

template <class K, class V>
Validity<K> checkSubtree(const Ref<K, V>& t, SubHashPath path) {
  using E = Error<K>;
  auto invalid = [&](E e) { return Validity<K>::Invalid(std::move(e), path); };
  auto inPlace = [&](std::uint64_t h) {
    return (h & lowBits(path.lengthInBits)) == path.partialHash;
  };
  switch (t.kind()) {
    case Kind::Empty:
      return invalid(E::INV1_internal_Empty());
    case Kind::Leaf: {
      const std::uint64_t h = t.hash();
      if (!inPlace(h)) return invalid(E::INV6_misplaced_hash(h));
      const K& k = t.key();
      if (internal::hash(k) != h) return invalid(E::INV7_key_hash_mismatch(k, h));
      return Validity<K>::Valid();
    }
    case Kind::Collision: {
      const std::uint64_t h = t.hash();
      const Entries<K, V>& a = internal::entriesOf(*t.node);
      if (!inPlace(h)) return invalid(E::INV6_misplaced_hash(h));
      if (a.size() < 2) return invalid(E::INV9_Collision_size(a.size()));
      for (const L<K, V>& e : a)
        if (internal::hash(e.key) != h) return invalid(E::INV7_key_hash_mismatch(e.key, h));
      // A duplicate is another entry whose key equals this one's; a key need not equal itself
      // (a NaN does not).
      for (std::uint32_t i = 0; i < a.size(); ++i)
        for (std::uint32_t j = 0; j < a.size(); ++j)
          if (j != i && a[j].key == a[i].key)
            return invalid(E::INV10_Collision_duplicate_key(a[i].key, h));
      return Validity<K>::Valid();
    }
    case Kind::BitmapIndexed: {
      const Branch<K, V>& a = internal::branchOf(*t.node);
      const std::uint64_t b = a.word;
      const std::int64_t n = a.size();
      if ((b & ~fullBitmap) != 0) return invalid(E::INV2_Bitmap_unexpected_1_bits(b));
      if (n < 1 || n >= 32) return invalid(E::INV3_bad_BitmapIndexed_size(n));
      if (std::popcount(b) != n) return invalid(E::INV4_bitmap_array_size_mismatch(b, n));
      return debug::checkChildren(a, path);
    }
    case Kind::Full: {
      const Branch<K, V>& a = internal::branchOf(*t.node);
      const std::int64_t n = a.size();
      if (n != maxChildren) return invalid(E::INV8_bad_Full_size(n));
      return debug::checkChildren(a, path);
    }
    default:
      return Validity<K>::Valid();
  }
}

/// \addtogroup vantrel_map_debug
/// @{

/// The map's validity: `Valid`, or `Invalid` with the first broken invariant in check order.
/// O(n): one hash of every key and, in a collision of c keys, c * c key comparisons; allocates
/// nothing; forces no value.
template <class K, class V>
[[nodiscard]] Validity<K> valid(const HashMap<K, V>& m) {
  if (internal::kindOf(m) == Kind::Empty) return Validity<K>::Valid();
  return debug::checkSubtree(Ref<K, V>::of(m), SubHashPath{0, 0});
}
/// @}

}  // namespace vantrel::internal::debug

/// \addtogroup vantrel_map_debug
/// @{

// ---- Combination: the first Invalid wins ---------------------------------------------------

/// Combination of results: the first Invalid wins, and sconcat and mconcat stop at it.
template <class K>
struct hs::Semigroup<vantrel::internal::debug::Validity<K>> {
  /// \privatesection
  using Val = vantrel::internal::debug::Validity<K>;
  static Val mappend(const Val& a, const Val& b) { return vantrel::internal::debug::mappend(a, b); }
  // The first Invalid element, else the last element.
  static Val sconcat(const hs::NonEmpty<Val>& xs) {
    if (!xs.head.isValid()) return xs.head;
    const Val* last = &xs.head;
    for (const Val& v : xs.tail) {
      if (!v.isValid()) return v;
      last = &v;
    }
    return *last;
  }
  template <std::integral N>
  static Val stimes(N n, const Val& x) {
    return hs::stimesDefault(n, x);
  }
};
/// The monoid of results: Valid is the identity.
template <class K>
struct hs::Monoid<vantrel::internal::debug::Validity<K>> {
  /// \privatesection
  using Val = vantrel::internal::debug::Validity<K>;
  static Val mempty() { return Val::Valid(); }
  // The first Invalid element, else Valid.
  static Val mconcat(const std::vector<Val>& xs) {
    for (const Val& v : xs)
      if (!v.isValid()) return v;
    return Val::Valid();
  }
};

// ---- Text forms ----------------------------------------------------------------------------

/// The text form `SubHashPath {partialHash = .., lengthInBits = ..}`.
template <>
struct hs::Show<vantrel::internal::debug::SubHashPath> {
  /// \privatesection
  static void showsPrec(int d, const vantrel::internal::debug::SubHashPath& p, std::string& out) {
    hs::showParen(
        d >= 11,
        [&](std::string& o) {
          o += "SubHashPath {partialHash = ";
          hs::showsPrec(0, p.partialHash, o);
          o += ", lengthInBits = ";
          hs::showsPrec(0, p.lengthInBits, o);
          o += "}";
        },
        out);
  }
};

/// The text form: the constructor's name and its fields, as a record of the invariant.
template <class K>
struct hs::Show<vantrel::internal::debug::Error<K>> {
  /// \privatesection
  using E = vantrel::internal::debug::Error<K>;
  using Tag = typename E::Tag;
  static void showsPrec(int d, const E& e, std::string& out) {
    auto withFields = [&](const char* name, auto&&... fields) {
      hs::showParen(
          d >= 11,
          [&](std::string& o) {
            o += name;
            ((o += ' ', hs::showsPrec(11, fields, o)), ...);
          },
          out);
    };
    switch (e.tag) {
      case Tag::INV1_internal_Empty:
        out += "INV1_internal_Empty";
        break;
      case Tag::INV2_Bitmap_unexpected_1_bits:
        withFields("INV2_Bitmap_unexpected_1_bits", e.word);
        break;
      case Tag::INV3_bad_BitmapIndexed_size:
        withFields("INV3_bad_BitmapIndexed_size", e.count);
        break;
      case Tag::INV4_bitmap_array_size_mismatch:
        withFields("INV4_bitmap_array_size_mismatch", e.word, e.count);
        break;
      case Tag::INV5_BitmapIndexed_invalid_single_subtree:
        out += "INV5_BitmapIndexed_invalid_single_subtree";
        break;
      case Tag::INV6_misplaced_hash:
        withFields("INV6_misplaced_hash", e.word);
        break;
      case Tag::INV7_key_hash_mismatch:
        withFields("INV7_key_hash_mismatch", *e.key, e.word);
        break;
      case Tag::INV8_bad_Full_size:
        withFields("INV8_bad_Full_size", e.count);
        break;
      case Tag::INV9_Collision_size:
        withFields("INV9_Collision_size", e.count);
        break;
      case Tag::INV10_Collision_duplicate_key:
        withFields("INV10_Collision_duplicate_key", *e.key, e.word);
        break;
    }
  }
};

/// The text form: `Valid`, or `Invalid` with the error and the path.
template <class K>
struct hs::Show<vantrel::internal::debug::Validity<K>> {
  /// \privatesection
  static void showsPrec(int d, const vantrel::internal::debug::Validity<K>& v, std::string& out) {
    if (v.isValid()) {
      out += "Valid";
      return;
    }
    hs::showParen(
        d >= 11,
        [&](std::string& o) {
          o += "Invalid ";
          hs::showsPrec(11, v.error(), o);
          o += ' ';
          hs::showsPrec(11, v.path(), o);
        },
        out);
  }
};
/// @}
