// Compiled, not run: with DISCARD set to a case, that case drops the result of a call whose
// result is the whole point of the call, which must be diagnosed. With no case it compiles clean.
#include <cstdint>
#include <string>
#include <vector>

#include "vantrel/map/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/read.hpp"

#ifndef DISCARD
#define DISCARD 0
#endif

int main() {
  namespace L = vantrel::lazy;
  namespace S = vantrel::strict;
  namespace St = vantrel::set;
  const auto m = L::fromList(std::vector<std::pair<int, int>>{{1, 2}});
  const auto s = St::fromList(std::vector<int>{1, 2});
#if DISCARD == 1
  L::insert(1, 2, m);
#endif
#if DISCARD == 2
  L::lookup(1, m);
#endif
#if DISCARD == 3
  L::size(m);
#endif
#if DISCARD == 4
  L::union_(m, m);
#endif
#if DISCARD == 5
  L::foldr([](int v, int z) { return v + z; }, 0, m);
#endif
#if DISCARD == 6
  L::toList(m);
#endif
#if DISCARD == 7
  S::insert(1, 2, m);
#endif
#if DISCARD == 8
  St::insert(3, s);
#endif
#if DISCARD == 9
  St::member(1, s);
#endif
#if DISCARD == 10
  L::hash(m);
#endif
#if DISCARD == 11
  vantrel::debug::valid(m);
#endif
#if DISCARD == 12
  m.size();
#endif
#if DISCARD == 13
  s.empty();
#endif
#if DISCARD == 14
  hs::Read<vantrel::HashMap<int, int>>::readPrec();
#endif
#if DISCARD == 15
  hs::Read<vantrel::HashSet<int>>::readPrec();
#endif
  return static_cast<int>(L::size(m) + St::size(s)) - 3;
}
