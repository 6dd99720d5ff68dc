// UUIDs: parsing and printing the 36-character form, comparing, hashing, serialising and random
// generation, against util-linux libuuid and Boost.Uuid through their public interfaces.
#include <benchmark/benchmark.h>
#include <uuid/uuid.h>

#include <array>
#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hs/binary.hpp"
#include "hs/random.hpp"
#include "quendle/uuid.hpp"

namespace {

constexpr std::size_t batch = 1024;

const std::vector<quendle::UUID>& uuids() {
  static const std::vector<quendle::UUID> v = [] {
    std::mt19937_64 e(42);
    std::vector<quendle::UUID> out;
    for (std::size_t i = 0; i < batch; ++i) out.emplace_back(e(), e());
    return out;
  }();
  return v;
}
const std::vector<std::string>& texts() {
  static const std::vector<std::string> v = [] {
    std::vector<std::string> out;
    for (quendle::UUID u : uuids()) out.push_back(quendle::toString(u));
    return out;
  }();
  return v;
}
const std::vector<hs::ByteString>& byteTexts() {
  static const std::vector<hs::ByteString> v = [] {
    std::vector<hs::ByteString> out;
    for (const std::string& s : texts()) out.emplace_back(std::string_view(s));
    return out;
  }();
  return v;
}
const std::vector<boost::uuids::uuid>& boostUuids() {
  static const std::vector<boost::uuids::uuid> v = [] {
    std::vector<boost::uuids::uuid> out(batch);
    for (std::size_t i = 0; i < batch; ++i) {
      const auto bytes = quendle::toList(uuids()[i]);
      std::memcpy(out[i].data, bytes.data(), 16);
    }
    return out;
  }();
  return v;
}

void perUUID(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(batch));
}

// ---------------------------------------------------------------------------------------------
// Parsing

void BM_ParseQuendleByteString(benchmark::State& state) {
  for (auto _ : state)
    for (const hs::ByteString& s : byteTexts()) benchmark::DoNotOptimize(quendle::fromASCIIBytes(s));
  perUUID(state);
}
void BM_ParseQuendleString(benchmark::State& state) {
  for (auto _ : state)
    for (const std::string& s : texts()) benchmark::DoNotOptimize(quendle::fromString(s));
  perUUID(state);
}
void BM_ParseLibuuid(benchmark::State& state) {
  uuid_t out;
  for (auto _ : state)
    for (const std::string& s : texts()) {
      benchmark::DoNotOptimize(uuid_parse(s.c_str(), out));
      benchmark::DoNotOptimize(out);
    }
  perUUID(state);
}
void BM_ParseBoost(benchmark::State& state) {
  boost::uuids::string_generator gen;
  for (auto _ : state)
    for (const std::string& s : texts()) benchmark::DoNotOptimize(gen(s));
  perUUID(state);
}

// ---------------------------------------------------------------------------------------------
// Printing

void BM_PrintQuendleByteString(benchmark::State& state) {
  for (auto _ : state)
    for (quendle::UUID u : uuids()) benchmark::DoNotOptimize(quendle::toASCIIBytes(u));
  perUUID(state);
}
void BM_PrintQuendleString(benchmark::State& state) {
  for (auto _ : state)
    for (quendle::UUID u : uuids()) benchmark::DoNotOptimize(quendle::toString(u));
  perUUID(state);
}
void BM_PrintLibuuid(benchmark::State& state) {
  std::vector<std::array<unsigned char, 16>> raw(batch);
  for (std::size_t i = 0; i < batch; ++i) std::memcpy(raw[i].data(), boostUuids()[i].data, 16);
  char out[37];
  for (auto _ : state)
    for (const auto& r : raw) {
      uuid_unparse_lower(r.data(), out);
      benchmark::DoNotOptimize(out);
    }
  perUUID(state);
}
void BM_PrintBoost(benchmark::State& state) {
  for (auto _ : state)
    for (const boost::uuids::uuid& u : boostUuids()) benchmark::DoNotOptimize(boost::uuids::to_string(u));
  perUUID(state);
}

// ---------------------------------------------------------------------------------------------
// Comparing and hashing

void BM_HashQuendle(benchmark::State& state) {
  for (auto _ : state)
    for (quendle::UUID u : uuids()) benchmark::DoNotOptimize(quendle::hash(u));
  perUUID(state);
}
void BM_HashBoost(benchmark::State& state) {
  for (auto _ : state)
    for (const boost::uuids::uuid& u : boostUuids()) benchmark::DoNotOptimize(boost::uuids::hash_value(u));
  perUUID(state);
}
void BM_CompareQuendle(benchmark::State& state) {
  const auto& v = uuids();
  for (auto _ : state)
    for (std::size_t i = 1; i < batch; ++i) {
      benchmark::DoNotOptimize(quendle::compare(v[i - 1], v[i]));
      benchmark::DoNotOptimize(v[i - 1] == v[i]);
    }
  perUUID(state);
}
void BM_CompareBoost(benchmark::State& state) {
  const auto& v = boostUuids();
  for (auto _ : state)
    for (std::size_t i = 1; i < batch; ++i) {
      benchmark::DoNotOptimize(v[i - 1] < v[i]);
      benchmark::DoNotOptimize(v[i - 1] == v[i]);
    }
  perUUID(state);
}
void BM_CompareLibuuid(benchmark::State& state) {
  const auto& v = boostUuids();
  for (auto _ : state)
    for (std::size_t i = 1; i < batch; ++i) benchmark::DoNotOptimize(uuid_compare(v[i - 1].data, v[i].data));
  perUUID(state);
}

// ---------------------------------------------------------------------------------------------
// The serialised form, into and out of one buffer

struct NeverFull : hs::binary::BufferSink {
  hs::binary::BufferRange bufferFull(std::size_t, std::uint8_t*) override { std::abort(); }
};

void BM_PutQuendle(benchmark::State& state) {
  std::vector<std::uint8_t> buf(16 * batch);
  NeverFull sink;
  for (auto _ : state) {
    hs::binary::Output out({buf.data(), buf.data() + buf.size()}, sink);
    for (quendle::UUID u : uuids()) hs::put(u, out);
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  perUUID(state);
}
void BM_GetQuendle(benchmark::State& state) {
  const hs::ByteString bytes = hs::ByteString::create(16 * batch, [](std::uint8_t* p) {
    for (quendle::UUID u : uuids()) {
      hs::binary::detail::storeBE64(p, u.hiWord());
      hs::binary::detail::storeBE64(p + 8, u.loWord());
      p += 16;
    }
  });
  for (auto _ : state) {
    hs::binary::Input in(bytes);
    for (std::size_t i = 0; i < batch; ++i) benchmark::DoNotOptimize(hs::get<quendle::UUID>(in));
  }
  perUUID(state);
}

// ---------------------------------------------------------------------------------------------
// Random version-4 UUIDs from one engine

// The split-mix generator as a standard bit generator, for Boost's generator.
struct SplitMixEngine {
  using result_type = std::uint64_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return ~result_type{0}; }
  result_type operator()() { return hs::uniformWord64(gen); }
  hs::StateGen<hs::SMGen> gen{hs::mkSMGen(7)};
};

void BM_RandomQuendleSplitMix(benchmark::State& state) {
  SplitMixEngine engine;
  for (auto _ : state)
    for (std::size_t i = 0; i < batch; ++i) benchmark::DoNotOptimize(hs::uniformM<quendle::UUID>(engine.gen));
  perUUID(state);
}
void BM_RandomBoostSplitMix(benchmark::State& state) {
  SplitMixEngine engine;
  boost::uuids::basic_random_generator<SplitMixEngine> gen(engine);
  for (auto _ : state)
    for (std::size_t i = 0; i < batch; ++i) benchmark::DoNotOptimize(gen());
  perUUID(state);
}
void BM_RandomQuendleMt19937(benchmark::State& state) {
  std::mt19937_64 engine(7);
  for (auto _ : state)
    for (std::size_t i = 0; i < batch; ++i) benchmark::DoNotOptimize(hs::uniformM<quendle::UUID>(engine));
  perUUID(state);
}
void BM_RandomBoostMt19937(benchmark::State& state) {
  std::mt19937_64 engine(7);
  boost::uuids::basic_random_generator<std::mt19937_64> gen(engine);
  for (auto _ : state)
    for (std::size_t i = 0; i < batch; ++i) benchmark::DoNotOptimize(gen());
  perUUID(state);
}

// Rows are named "<operation>/<implementation>" (quendle, a variant in brackets, libuuid or
// Boost.Uuid), so that the main job's summary sets each beside its peers.
BENCHMARK(BM_ParseQuendleByteString)->Name("Parse/quendle(ByteString)");
BENCHMARK(BM_ParseQuendleString)->Name("Parse/quendle(std::string)");
BENCHMARK(BM_ParseLibuuid)->Name("Parse/libuuid");
BENCHMARK(BM_ParseBoost)->Name("Parse/Boost.Uuid");
BENCHMARK(BM_PrintQuendleByteString)->Name("Print/quendle(ByteString)");
BENCHMARK(BM_PrintQuendleString)->Name("Print/quendle(std::string)");
BENCHMARK(BM_PrintLibuuid)->Name("Print/libuuid");
BENCHMARK(BM_PrintBoost)->Name("Print/Boost.Uuid");
BENCHMARK(BM_HashQuendle)->Name("Hash/quendle");
BENCHMARK(BM_HashBoost)->Name("Hash/Boost.Uuid");
BENCHMARK(BM_CompareQuendle)->Name("Compare/quendle");
BENCHMARK(BM_CompareBoost)->Name("Compare/Boost.Uuid");
BENCHMARK(BM_CompareLibuuid)->Name("Compare/libuuid");
BENCHMARK(BM_PutQuendle)->Name("Serialise/quendle");
BENCHMARK(BM_GetQuendle)->Name("Deserialise/quendle");
BENCHMARK(BM_RandomQuendleSplitMix)->Name("Random SplitMix/quendle");
BENCHMARK(BM_RandomBoostSplitMix)->Name("Random SplitMix/Boost.Uuid");
BENCHMARK(BM_RandomQuendleMt19937)->Name("Random mt19937_64/quendle");
BENCHMARK(BM_RandomBoostMt19937)->Name("Random mt19937_64/Boost.Uuid");

}  // namespace
