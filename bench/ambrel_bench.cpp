// Inclusive-or values: building, mapping with a forced result, combining, the serialised form and
// the text form, against a plain std::variant of the three shapes (eager, unshared fields) as the
// baseline of what the lazy, shared representation costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "hs/binary.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"

namespace {

using Int = std::int64_t;
using II = ambrel::Ambrel<Int, Int>;
using Plain = std::variant<Int, Int, std::pair<Int, Int>>;
constexpr Int batch = 1024;

std::vector<II> values() {
  std::vector<II> out;
  for (Int i = 0; i < batch; ++i)
    out.push_back(i % 3 == 0 ? II(ambrel::This(i)) : (i % 3 == 1 ? II(ambrel::That(i)) : II(i, i)));
  return out;
}
std::vector<Plain> plainValues() {
  std::vector<Plain> out;
  for (Int i = 0; i < batch; ++i)
    out.push_back(i % 3 == 0 ? Plain(std::in_place_index<0>, i)
                             : (i % 3 == 1 ? Plain(std::in_place_index<1>, i) : Plain(std::pair<Int, Int>(i, i))));
  return out;
}

void BuildBoth(benchmark::State& state) {
  for (auto _ : state)
    for (Int i = 0; i < batch; ++i) benchmark::DoNotOptimize(II(i, i + 1));
  state.SetItemsProcessed(state.iterations() * batch);
}
void BuildBothVariant(benchmark::State& state) {
  for (auto _ : state)
    for (Int i = 0; i < batch; ++i) benchmark::DoNotOptimize(Plain(std::pair<Int, Int>(i, i + 1)));
  state.SetItemsProcessed(state.iterations() * batch);
}

// fmap, then the mapped second value forced.
void MapAndForce(benchmark::State& state) {
  const auto vs = values();
  for (auto _ : state) {
    Int sum = 0;
    for (const II& v : vs) {
      const II r = hs::fmap([](Int x) { return x + 1; }, v);
      if (r.index() != 0) sum += r.there().force();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * batch);
}
void MapAndForceVariant(benchmark::State& state) {
  const auto vs = plainValues();
  for (auto _ : state) {
    Int sum = 0;
    for (const Plain& v : vs) {
      Plain r = v;
      if (r.index() == 1) sum += ++std::get<1>(r);
      if (r.index() == 2) sum += ++std::get<2>(r).second;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * batch);
}

void Compare(benchmark::State& state) {
  const auto vs = values();
  for (auto _ : state) {
    int less = 0;
    for (std::size_t i = 1; i < vs.size(); ++i) less += vs[i - 1] < vs[i];
    benchmark::DoNotOptimize(less);
  }
  state.SetItemsProcessed(state.iterations() * (batch - 1));
}

void EncodeDecode(benchmark::State& state) {
  const auto vs = values();
  for (auto _ : state) {
    const auto bytes = hs::binary::encode(vs);
    benchmark::DoNotOptimize(hs::binary::decode<std::vector<II>>(bytes));
  }
  state.SetItemsProcessed(state.iterations() * batch);
}

void ShowRead(benchmark::State& state) {
  const auto vs = values();
  for (auto _ : state) {
    const std::string text = hs::show(vs);
    benchmark::DoNotOptimize(hs::readMaybe<std::vector<II>>(text));
  }
  state.SetItemsProcessed(state.iterations() * batch);
}

}  // namespace

// Rows are named "<operation>/<implementation>" (ambrel or std::variant), so that the main job's
// summary sets each beside its peer.
BENCHMARK(BuildBoth)->Name("BuildBoth/ambrel");
BENCHMARK(BuildBothVariant)->Name("BuildBoth/std::variant");
BENCHMARK(MapAndForce)->Name("MapAndForce/ambrel");
BENCHMARK(MapAndForceVariant)->Name("MapAndForce/std::variant");
BENCHMARK(Compare)->Name("Compare/ambrel");
BENCHMARK(EncodeDecode)->Name("EncodeDecode/ambrel");
BENCHMARK(ShowRead)->Name("ShowRead/ambrel");
