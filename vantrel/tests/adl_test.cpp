// A user's functions that share names with the library's internal helpers, in the namespace of the
// key and value types, so argument-dependent lookup sees them from inside every template. They must
// change nothing: the deleted ones would make this file fail to compile, the defined one would make
// lookups answer wrongly.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hs/assoc.hpp"
#include "hs/bifunctor.hpp"
#include "hs/either.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "vantrel/map/classes.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/classes.hpp"
#include "vantrel/set/read.hpp"
#include "vantrel/set/show.hpp"

namespace user {

struct Id {
  std::int64_t v = 0;
  friend bool operator==(const Id&, const Id&) = default;
};
struct Val {
  std::int64_t v = 0;
  friend bool operator==(const Val&, const Val&) = default;
};

using Map = vantrel::HashMap<Id, Val>;

// Claims every branch node is empty: a lookup that took it would miss every key.
std::uint64_t wordOf(const Map&) { return 0; }

template <class V>
void kindOf(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void childrenOf(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void entriesOf(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void leafOf(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void isLeafOrCollision(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void ptrEq(const vantrel::HashMap<Id, V>&, const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void null(const vantrel::HashMap<Id, V>&) = delete;
template <class V>
void indexOf(const Id&, const vantrel::internal::Entries<Id, V>&) = delete;
template <class V>
void checkSubtree(const vantrel::HashMap<Id, V>&, vantrel::internal::debug::SubHashPath) = delete;
void forceSlow(hs::detail::Cell<Val>*) = delete;
void cellOf(const hs::Lazy<Val>&) = delete;
void showListWith(...) = delete;
void saltedWordHash(std::int64_t, const Id&) = delete;
// Namesakes of the platform's Either constructors: taken by any bare call on a user payload.
template <class T>
void Left(T&&) = delete;
template <class T>
void Right(T&&) = delete;

}  // namespace user

template <>
struct hs::Hashable<user::Id> {
  // A tiny hash space, so collisions and every node kind occur.
  static std::int64_t hash(const user::Id& k) { return k.v % 3 == 0 ? 7 : k.v; }
  static std::int64_t hashWithSalt(std::int64_t s, const user::Id& k) {
    return hs::saltedWordHash(s, static_cast<std::uint64_t>(hash(k)));
  }
};
template <>
struct hs::Hashable<user::Val> {
  static std::int64_t hashWithSalt(std::int64_t s, const user::Val& x) {
    return hs::saltedWordHash(s, static_cast<std::uint64_t>(x.v));
  }
};
template <>
struct hs::Show<user::Id> {
  static void showsPrec(int d, const user::Id& k, std::string& out) { hs::showsPrec(d, k.v, out); }
};
template <>
struct hs::Show<user::Val> {
  static void showsPrec(int d, const user::Val& x, std::string& out) { hs::showsPrec(d, x.v, out); }
};
template <>
struct hs::Read<user::Id> {
  static hs::ReadPrec<user::Id> readPrec() {
    return hs::readprec::fmap([](std::int64_t v) { return user::Id{v}; }, hs::readPrec<std::int64_t>());
  }
};
template <>
struct hs::Read<user::Val> {
  static hs::ReadPrec<user::Val> readPrec() {
    return hs::readprec::fmap([](std::int64_t v) { return user::Val{v}; },
                              hs::readPrec<std::int64_t>());
  }
};

namespace {

using user::Id;
using user::Map;
using user::Val;
namespace L = vantrel::lazy;
namespace S = vantrel::strict;
namespace Set = vantrel::set;

std::vector<std::pair<Id, hs::Lazy<Val>>> pairs(std::int64_t n) {
  std::vector<std::pair<Id, hs::Lazy<Val>>> out;
  for (std::int64_t i = 0; i < n; ++i) out.emplace_back(Id{i}, Val{i * 10});
  return out;
}

TEST(Namesakes, ChangeNoLookup) {
  const Map m = L::fromList(pairs(40));
  for (std::int64_t i = 0; i < 40; ++i) {
    EXPECT_TRUE(L::member(Id{i}, m)) << i;
    EXPECT_EQ(L::lookup(Id{i}, m)->force(), Val{i * 10});
  }
  EXPECT_FALSE(L::member(Id{40}, m));
  EXPECT_TRUE(vantrel::internal::debug::valid(m).isValid());
}

TEST(Namesakes, ChangeNoOperation) {
  Map m = L::fromList(pairs(30));
  m = L::insert(Id{99}, Val{1}, std::move(m));
  m = L::insertWith([](const Val& a, const Val& b) { return Val{a.v + b.v}; }, Id{3}, Val{1}, m);
  m = L::adjust([](const Val& x) { return Val{x.v + 1}; }, Id{6}, m);
  m = L::erase(Id{9}, m);
  EXPECT_EQ(L::size(m), 30);
  EXPECT_EQ(L::lookup(Id{3}, m)->force(), Val{31});
  EXPECT_EQ(L::lookup(Id{6}, m)->force(), Val{61});

  const Map doubled = L::map([](const Val& x) { return Val{x.v * 2}; }, m);
  const Map evens = L::filter([](const Val& x) { return x.v % 20 == 0; }, doubled);
  EXPECT_EQ(L::lookup(Id{4}, evens)->force(), Val{80});
  EXPECT_FALSE(L::member(Id{4}, L::difference(m, evens)));
  EXPECT_EQ(L::size(L::intersection(m, evens)), L::size(evens));
  EXPECT_TRUE(L::union_(m, evens) == m);
  EXPECT_EQ(L::foldl_([](std::int64_t acc, const Val& x) { return acc + x.v; }, std::int64_t{0},
                      L::filter([](const Val& x) { return x.v < 30; }, m)),
            0 + 10 + 20 + 1);  // keys 0, 1, 2 and 99

  const Map s = S::fromListWith([](const Val& a, const Val& b) { return Val{a.v + b.v}; },
                                std::vector<std::pair<Id, Val>>{{Id{1}, Val{1}}, {Id{1}, Val{2}}});
  EXPECT_EQ(S::lookup(Id{1}, s)->force(), Val{3});
  EXPECT_EQ(S::size(S::insert(Id{2}, Val{0}, s)), 2);

  const std::string text = hs::show(L::fromList(pairs(4)));
  EXPECT_TRUE(hs::read<Map>(text) == L::fromList(pairs(4)));
  EXPECT_EQ(L::hash(m), L::hash(Map(m)));

  const vantrel::HashSet<Id> ids = Set::fromList(std::vector<Id>{Id{1}, Id{4}, Id{7}, Id{3}});
  EXPECT_TRUE(Set::member(Id{7}, ids));
  EXPECT_EQ(Set::size(Set::filter([](const Id& k) { return k.v > 3; }, ids)), 2);
  EXPECT_TRUE(hs::read<vantrel::HashSet<Id>>(hs::show(ids)) == ids);
}

}  // namespace

TEST(Namesakes, ChangeNoEitherOperation) {
  using E = hs::Either<user::Id, user::Val>;
  const E l = hs::Left(user::Id{1});
  const E r = hs::Right(user::Val{2});
  EXPECT_EQ(hs::swap(l).right(), user::Id{1});
  EXPECT_EQ(hs::swap(r).left(), user::Val{2});
  const hs::Either<E, user::Val> nested = hs::Left(r);
  EXPECT_EQ(hs::assoc(nested).right().left(), user::Val{2});
  EXPECT_EQ(hs::unassoc(hs::assoc(nested)).left().right(), user::Val{2});
  const auto same = [](const auto& x) { return x; };
  EXPECT_EQ(hs::bimap(same, same, l).left(), user::Id{1});
  EXPECT_EQ(hs::fmap(same, r).right(), user::Val{2});
  EXPECT_EQ(hs::bind(r, [](const user::Val& v) { return E(hs::Right(v)); }).right(), user::Val{2});
}
