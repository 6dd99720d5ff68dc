// Reifying and normalising one large declaration through the test environment: prefix record
// constructors (no queries per constructor) and GADT-style constructors (fresh names, synonym
// queries, result matching and a fixity query per constructor), at several sizes to show how the
// cost grows with the declaration. There is no other implementation to measure against.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <utility>
#include <vector>

#include "hs/th/testenv.hpp"
#include "sarkel/datatype.hpp"

namespace {

namespace th = hs::th;

constexpr int kFields = 10;

th::Type var(const char* s) { return th::VarT{th::mkName(s)}; }
th::Type con(const char* s) { return th::ConT{th::mkName(s)}; }

// The field types cycle through a few shapes.
th::Type fieldType(int i) {
  switch (i % 4) {
    case 0:
      return con("Int");
    case 1:
      return var("a");
    case 2:
      return th::AppT{con("Maybe"), var("b")};
    default:
      return th::AppT{th::AppT{th::ArrowT{}, var("a")}, con("Bool")};
  }
}
th::Bang bang(int i) {
  return i % 2 == 0 ? th::Bang{}
                    : th::Bang{th::SourceUnpackedness::NoSourceUnpackedness,
                               th::SourceStrictness::SourceStrict};
}

// data T a b = C0 { f0_0 :: Int, f0_1 :: !a, ... } | C1 { ... } | ...
th::Dec recordDecl(int cons) {
  std::vector<th::Con> cs;
  for (int c = 0; c < cons; ++c) {
    std::vector<th::VarBangType> fs;
    for (int f = 0; f < kFields; ++f)
      fs.emplace_back(th::mkName("f" + std::to_string(c) + "_" + std::to_string(f)), bang(f),
                      fieldType(f));
    cs.push_back(th::RecC{th::mkName("C" + std::to_string(c)), std::move(fs)});
  }
  return th::DataD{{},
                   th::mkName("T"),
                   {th::PlainTV{th::mkName("a"), hs::unit}, th::PlainTV{th::mkName("b"), hs::unit}},
                   std::nullopt,
                   std::move(cs),
                   {}};
}

// data T a b where Ci :: Int -> a -> Maybe b -> ... -> T a Int
th::Dec gadtDecl(int cons) {
  std::vector<th::Con> cs;
  const th::Type result = th::AppT{th::AppT{con("T"), var("a")}, con("Int")};
  for (int c = 0; c < cons; ++c) {
    std::vector<th::BangType> fs;
    for (int f = 0; f < kFields; ++f) fs.emplace_back(bang(f), fieldType(f));
    cs.push_back(th::GadtC{{th::mkName("C" + std::to_string(c))}, std::move(fs), result});
  }
  return th::DataD{{},
                   th::mkName("T"),
                   {th::PlainTV{th::mkName("a"), hs::unit}, th::PlainTV{th::mkName("b"), hs::unit}},
                   std::nullopt,
                   std::move(cs),
                   {}};
}

template <th::Dec (*Make)(int)>
void Reify(benchmark::State& state) {
  const int cons = static_cast<int>(state.range(0));
  th::TestEnv env;
  env.declare(Make(cons));
  const th::Name t = th::mkName("T");
  for (auto _ : state) {
    benchmark::DoNotOptimize(sarkel::reifyDatatype(env, t));
    env.clearLog();
  }
  state.SetComplexityN(cons * kFields);
  // The time per field: flat across the sizes while the cost grows in proportion to the declaration.
  state.counters["ns_per_field"] = benchmark::Counter(
      cons * kFields, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(Reify<recordDecl>)
    ->Name("Reify records/sarkel")
    ->Arg(50)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->Arg(250)
    ->Arg(300)
    ->Arg(400)
    ->Complexity();
BENCHMARK(Reify<gadtDecl>)
    ->Name("Reify GADT/sarkel")
    ->Arg(50)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->Arg(250)
    ->Arg(300)
    ->Arg(400)
    ->Complexity();

}  // namespace

// A description of a few hundred constructors frees over 128 KiB at the top of the heap each
// round; glibc would hand that back to the system and fault it in again on the next round, which
// swamps the figures from about 250 constructors on. The threshold is raised so that the
// figures show the library's own cost.
int main(int argc, char** argv) {
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
