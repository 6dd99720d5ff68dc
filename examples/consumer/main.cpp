// One call into each library; exits non-zero if any answer is wrong.
#include <cstdint>
#include <iostream>
#include <string>

#include "ambrel/ambrel.hpp"
#include "ambrel/package.hpp"
#include "hs/show.hpp"
#include "morvet/morvet.hpp"
#include "morvet/package.hpp"
#include "quendle/package.hpp"
#include "quendle/uuid.hpp"
#include "sarkel/datatype.hpp"
#include "sarkel/package.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/package.hpp"

int main() {
  using Int = std::int64_t;
  int failures = 0;
  auto check = [&failures](bool ok, const std::string& what) {
    std::cout << (ok ? "ok: " : "FAILED: ") << what << "\n";
    if (!ok) ++failures;
  };

  const auto m = vantrel::lazy::insert(std::string("one"), Int{1}, vantrel::HashMap<std::string, Int>{});
  check(*vantrel::lazy::at(m, "one") == 1, "vantrel map " + hs::show(m));

  const hs::th::Name a = hs::th::mkName("a");
  const hs::th::Type fa = hs::th::AppT{hs::th::ConT{hs::th::mkName("Maybe")}, hs::th::VarT{a}};
  const auto free = sarkel::freeVariables(fa);
  check(free.size() == 1 && free[0] == a, "sarkel free variables of Maybe a");

  const ambrel::Ambrel<std::string, Int> both(std::string("x"), Int{2});
  check(hs::show(both) == "Ambrel \"x\" 2", "ambrel " + hs::show(both));

  const auto u = quendle::fromString("01234567-89ab-cdef-fedc-ba9876543210");
  check(u && quendle::toString(*u) == "01234567-89ab-cdef-fedc-ba9876543210", "quendle round trip");

  using Layer = morvet::ListF<Int, Int>;
  const auto range = [](const Int& n) { return n == 0 ? Layer::Nil() : Layer::Cons(n, n - 1); };
  const auto sum = [](const Layer& l) -> Int { return l.isNil() ? 0 : l.head() + l.rest(); };
  check(morvet::refold(sum, range, Int{10}) == 55, "morvet sum of 1..10");

  std::cout << vantrel::packageId() << " " << sarkel::packageId() << " " << ambrel::packageId() << " "
            << quendle::packageId() << " " << morvet::packageId() << "\n";
  return failures == 0 ? 0 : 1;
}
