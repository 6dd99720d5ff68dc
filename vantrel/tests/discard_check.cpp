// Compiled, not run: with DISCARD set to a case, that case drops the result of a call whose
// result is the whole point of the call, which must be diagnosed. With no case it compiles clean.
#include <cstdint>
#include <string>
#include <vector>

#include "vantrel/map/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/set.hpp"

#define CASE(name, ...)              \
  if constexpr (DISCARD == (name)) { \
    __VA_ARGS__;                     \
  }

#ifndef DISCARD
#define DISCARD 0
#endif

int main() {
  namespace L = vantrel::lazy;
  namespace S = vantrel::strict;
  namespace St = vantrel::set;
  const auto m = L::fromList(std::vector<std::pair<int, int>>{{1, 2}});
  const auto s = St::fromList(std::vector<int>{1, 2});
  CASE(1, L::insert(1, 2, m))
  CASE(2, L::lookup(1, m))
  CASE(3, L::size(m))
  CASE(4, L::union_(m, m))
  CASE(5, L::foldr([](int v, int z) { return v + z; }, 0, m))
  CASE(6, L::toList(m))
  CASE(7, S::insert(1, 2, m))
  CASE(8, St::insert(3, s))
  CASE(9, St::member(1, s))
  CASE(10, L::hash(m))
  CASE(11, vantrel::debug::valid(m))
  return static_cast<int>(L::size(m) + St::size(s)) - 3;
}
