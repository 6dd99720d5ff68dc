#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/show.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
namespace D = vantrel::internal::debug;
namespace T = testing_support::trie;
using Map = vantrel::HashMap<Key, int>;
using E = D::Error<Key>;

Map leaf(std::uint64_t h, std::int64_t id) { return T::leaf<Key, int>(h, key(id, h), 0); }

TEST(Validity, LibraryBuiltMapsAreValid) {
  EXPECT_TRUE(D::valid(Map()).isValid());
  EXPECT_TRUE(D::valid(leaf(0xDEADBEEF, 1)).isValid()) << "a root leaf passes whatever its hash";
}

// A key need not equal itself: two NaN keys are two entries, and no duplicate.
TEST(Validity, KeysUnequalToThemselvesAreNoDuplicates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto m = vantrel::lazy::insert(nan, 1, vantrel::lazy::insert(nan, 2, vantrel::HashMap<double, int>()));
  ASSERT_EQ(vantrel::lazy::size(m), 2);
  EXPECT_TRUE(D::valid(m).isValid());
  const auto twice = T::collision<double, int>(vantrel::internal::hash(1.5), {{1.5, 1}, {1.5, 3}});
  ASSERT_FALSE(D::valid(twice).isValid());
  EXPECT_EQ(D::valid(twice).error().tag, D::Error<double>::Tag::INV10_Collision_duplicate_key);
}

// Each broken trie gives its error at its path.
TEST(Validity, EachInvariantReportsItsErrorAndPath) {
  std::vector<Map> thirtyTwo;
  for (std::uint64_t c = 0; c < 32; ++c) thirtyTwo.push_back(leaf(c, static_cast<std::int64_t>(c)));
  std::vector<Map> thirtyOne(thirtyTwo.begin(), thirtyTwo.end() - 1);
  struct Case {
    const char* what;
    Map m;
    E error;
    D::SubHashPath path;
  };
  const Case cases[] = {
      {"Empty below the root", T::bitmapIndexed<Key, int>(0b11, {Map(), leaf(1, 1)}),
       E::INV1_internal_Empty(), {0, 5}},
      {"bitmap bit 32, size also wrong", T::bitmapIndexed<Key, int>((1ULL << 32) | 1, {leaf(0, 0)}),
       E::INV2_Bitmap_unexpected_1_bits((1ULL << 32) | 1), {0, 0}},
      {"32 children in a BitmapIndexed", T::bitmapIndexed<Key, int>(0xFFFFFFFF, thirtyTwo),
       E::INV3_bad_BitmapIndexed_size(32), {0, 0}},
      {"no children", T::bitmapIndexed<Key, int>(0, {}), E::INV3_bad_BitmapIndexed_size(0), {0, 0}},
      {"bitmap 0b101 with three children",
       T::bitmapIndexed<Key, int>(0b101, {leaf(0, 0), leaf(2, 2), leaf(2, 3)}),
       E::INV4_bitmap_array_size_mismatch(5, 3), {0, 0}},
      {"a lone leaf child", T::bitmapIndexed<Key, int>(0b10000, {leaf(4, 4)}),
       E::INV5_BitmapIndexed_invalid_single_subtree(), {0, 0}},
      {"a lone leaf below a one-child branch",
       T::bitmapIndexed<Key, int>(0b1, {T::bitmapIndexed<Key, int>(0b10, {leaf(32, 1)})}),
       E::INV5_BitmapIndexed_invalid_single_subtree(), {0, 5}},
      {"a leaf below the wrong chunk", T::bitmapIndexed<Key, int>(0b100001, {leaf(0, 0), leaf(36, 36)}),
       E::INV6_misplaced_hash(36), {5, 5}},
      {"a key whose hash is not the stored one",
       T::bitmapIndexed<Key, int>(0b11, {leaf(0, 0), T::leaf<Key, int>(1, key(7, 33), 0)}),
       E::INV7_key_hash_mismatch(key(7, 33), 1), {1, 5}},
      {"a Full node of 31 children", T::full<Key, int>(thirtyOne), E::INV8_bad_Full_size(31), {0, 0}},
      {"a collision of one pair", T::collision<Key, int>(3, {{key(1, 3), 0}}), E::INV9_Collision_size(1),
       {0, 0}},
      {"a collision holding one key twice",
       T::collision<Key, int>(3, {{key(1, 3), 0}, {key(2, 3), 0}, {key(1, 3), 1}}),
       E::INV10_Collision_duplicate_key(key(1, 3), 3), {0, 0}},
      {"collision keys hashes are checked before duplicates",
       T::collision<Key, int>(3, {{key(1, 3), 0}, {key(1, 3), 0}, {key(2, 4), 1}}),
       E::INV7_key_hash_mismatch(key(2, 4), 3), {0, 0}},
      {"the lower chunk is reported first",
       T::bitmapIndexed<Key, int>(0b1010, {leaf(9, 1), leaf(11, 3)}), E::INV6_misplaced_hash(9), {1, 5}},
  };
  for (const Case& c : cases) {
    const D::Validity<Key> v = D::valid(c.m);
    ASSERT_FALSE(v.isValid()) << c.what;
    EXPECT_EQ(v, D::Validity<Key>::Invalid(c.error, c.path)) << c.what << ": tag "
                                                             << static_cast<int>(v.error().tag)
                                                             << " path " << v.path().partialHash
                                                             << "/" << v.path().lengthInBits;
  }
}

// Below shift 60 the path is 65 bits long: the mask covers the whole word and the child's chunk
// bits fall outside it.
TEST(Validity, PathsOfSixtyFourBitsAndMore) {
  EXPECT_EQ(D::lowBits(64), ~0ULL);
  EXPECT_EQ(D::lowBits(65), ~0ULL);
  EXPECT_EQ(D::lowBits(5), 31ULL);
  EXPECT_EQ(D::chunkAt(3, 65), 0ULL);
  EXPECT_EQ(D::chunkAt(3, 60), 3ULL << 60);
  // Two leaves whose hashes differ only in bit 63 sit below a node at shift 60.
  const std::uint64_t h = 0x0FEDCBA987654321ULL;
  const Map m = vantrel::lazy::insert(key(2, h | (1ULL << 63)), 0,
                                      vantrel::lazy::insert(key(1, h), 0, Map()));
  EXPECT_TRUE(D::valid(m).isValid());
  // A collision below the shift-60 node has a path of 65 bits: it must match the whole hash.
  const Map withCollision = vantrel::lazy::insert(key(3, h), 0, m);
  EXPECT_TRUE(D::valid(withCollision).isValid());
}

TEST(Validity, MappendKeepsTheFirstInvalid) {
  const auto ok = D::Validity<Key>::Valid();
  const auto bad = D::Validity<Key>::Invalid(E::INV9_Collision_size(1), {0, 0});
  const auto bad2 = D::Validity<Key>::Invalid(E::INV8_bad_Full_size(3), {0, 0});
  EXPECT_EQ(D::mappend(ok, bad), bad);
  EXPECT_EQ(D::mappend(bad, bad2), bad);
  EXPECT_EQ(D::mappend(ok, ok), ok);
}

}  // namespace

namespace {

TEST(Validity, TextForms) {
  const D::SubHashPath path{5, 5};
  struct Case {
    D::Validity<std::int64_t> v;
    int prec;
    const char* text;
  };
  using EI = D::Error<std::int64_t>;
  using VI = D::Validity<std::int64_t>;
  const Case cases[] = {
      {VI::Valid(), 11, "Valid"},
      {VI::Invalid(EI::INV6_misplaced_hash(36), path), 0,
       "Invalid (INV6_misplaced_hash 36) (SubHashPath {partialHash = 5, lengthInBits = 5})"},
      {VI::Invalid(EI::INV1_internal_Empty(), {0, 0}), 11,
       "(Invalid INV1_internal_Empty (SubHashPath {partialHash = 0, lengthInBits = 0}))"},
      {VI::Invalid(EI::INV4_bitmap_array_size_mismatch(5, 3), {0, 0}), 0,
       "Invalid (INV4_bitmap_array_size_mismatch 5 3) (SubHashPath {partialHash = 0, lengthInBits = 0})"},
      {VI::Invalid(EI::INV7_key_hash_mismatch(-7, 18446744073709551615ULL), {1, 5}), 0,
       "Invalid (INV7_key_hash_mismatch (-7) 18446744073709551615) (SubHashPath {partialHash = 1, "
       "lengthInBits = 5})"},
      {VI::Invalid(EI::INV3_bad_BitmapIndexed_size(-1), {0, 0}), 0,
       "Invalid (INV3_bad_BitmapIndexed_size (-1)) (SubHashPath {partialHash = 0, lengthInBits = 0})"},
      {VI::Invalid(EI::INV5_BitmapIndexed_invalid_single_subtree(), {0, 0}), 0,
       "Invalid INV5_BitmapIndexed_invalid_single_subtree (SubHashPath {partialHash = 0, lengthInBits = 0})"},
  };
  for (const Case& c : cases) {
    std::string out;
    hs::showsPrec(c.prec, c.v, out);
    EXPECT_EQ(out, c.text);
  }
  EXPECT_EQ(hs::show(D::SubHashPath{3, 10}), "SubHashPath {partialHash = 3, lengthInBits = 10}");
  std::string wrapped;
  hs::showsPrec(11, D::SubHashPath{3, 10}, wrapped);
  EXPECT_EQ(wrapped, "(SubHashPath {partialHash = 3, lengthInBits = 10})");
  EXPECT_EQ(hs::show(std::vector<D::SubHashPath>{{1, 5}}), "[SubHashPath {partialHash = 1, lengthInBits = 5}]");
}

}  // namespace

namespace {

TEST(Validity, CombinesAsAMonoid) {
  using VI = D::Validity<std::int64_t>;
  using EI = D::Error<std::int64_t>;
  const VI ok = VI::Valid(), a = VI::Invalid(EI::INV9_Collision_size(1), {0, 0}),
           b = VI::Invalid(EI::INV8_bad_Full_size(2), {0, 0});
  EXPECT_EQ(hs::mappend(ok, a), a);
  EXPECT_EQ(hs::mappend(b, a), b);
  EXPECT_EQ(hs::mempty<VI>(), ok);
  EXPECT_EQ(hs::mconcat(std::vector<VI>{ok, b, a}), b);
  EXPECT_EQ(hs::mconcat(std::vector<VI>{}), ok);
  EXPECT_EQ(hs::sconcat(hs::NonEmpty<VI>{ok, {ok, a, b}}), a);
  EXPECT_EQ(hs::sconcat(hs::NonEmpty<VI>{ok, {ok}}), ok);
  EXPECT_EQ(hs::stimes(3, a), a);
  EXPECT_THROW((void)hs::stimes(0, a), hs::ProgramError);
}

}  // namespace
