// Calls whose results are dropped. Each line marked `discarded` must draw the compiler's
// unused-result diagnostic and no other line may draw any: see check.cmake.
#include <cstdint>
#include <string>
#include <tuple>

#include "ambrel/combinators.hpp"
#include "hs/bytes.hpp"
#include "hs/list.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "morvet/fix.hpp"
#include "morvet/list_f.hpp"
#include "morvet/package.hpp"
#include "quendle/uuid.hpp"
#include "sarkel/datatype.hpp"

namespace {

using Int = std::int64_t;
using Layer = morvet::ListF<Int, Int>;

void drops() {
  const hs::List<Int> xs = hs::List<Int>::cons(1, hs::List<Int>());
  hs::List<Int>::cons(2, xs);  // discarded
  xs.tail();                   // discarded
  hs::take(1, xs);             // discarded
  hs::show(xs);                // discarded
  hs::read<Int>("3");          // discarded
  const hs::ReadPrec<Int> readInt = hs::readPrec<Int>();
  readInt(0, "4");                               // discarded
  hs::readprec::step(readInt);                   // discarded
  hs::Read<std::tuple<Int, Int>>::readPrec();    // discarded
  hs::th::mkName("a");         // discarded

  const hs::ByteString bytes("abc", 3);
  bytes.take(1);  // discarded
  bytes.drop(1);  // discarded

  const quendle::UUID u = quendle::fromWords64(1, 2);
  quendle::fromWords64(3, 4);                                     // discarded
  quendle::toString(u);                                           // discarded
  quendle::fromString("01234567-89ab-cdef-fedc-ba9876543210");  // discarded
  quendle::null(u);                                               // discarded

  const ambrel::Ambrel<std::string, Int> both(std::string("x"), Int{2});
  ambrel::isThis(both);                                        // discarded
  ambrel::swapAmbrel(both);                                    // discarded
  ambrel::mapThis([](const std::string& s) { return s; }, both);  // discarded

  const auto range = [](const Int& n) { return n == 0 ? Layer::Nil() : Layer::Cons(n, n - 1); };
  const auto sum = [](const Layer& l) -> Int { return l.isNil() ? 0 : l.head() + l.rest(); };
  morvet::refold(sum, range, Int{3});  // discarded
  morvet::packageId();                 // discarded

  const hs::th::Type a = hs::th::VarT{hs::th::mkName("a")};
  sarkel::freeVariables(a);  // discarded
}

}  // namespace

int main() {
  drops();
  return 0;
}
