// The map and set readers over arbitrary text: every map or set read is valid, and reads back
// from its shown form as an equal one.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/read.hpp"
#include "vantrel/map/show.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/read.hpp"
#include "vantrel/set/show.hpp"

namespace {

template <class K, class V>
void checkValid(const vantrel::HashMap<K, V>& m) {
  fuzz::check(vantrel::internal::debug::valid(m).isValid(), "an invalid map was read");
}
template <class T>
void checkValid(const vantrel::HashSet<T>& s) {
  checkValid(s.asMap());
}
template <class C>
void checkValid(const std::vector<C>& cs) {
  for (const C& c : cs) checkValid(c);
}

// Equal is left out for keys that need not equal themselves (a NaN).
template <class C, bool compareEqual = true>
void checkCollection(std::string_view text) {
  for (const auto& [c, rest] : hs::reads<C>(text)) checkValid(c);
  if (const std::optional<C> c = fuzz::checkReader<C>(text)) {
    if constexpr (compareEqual)
      fuzz::check(hs::read<C>(hs::show(*c)) == *c, "a collection reads back unequal");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkCollection<vantrel::HashMap<std::int64_t, std::int64_t>>(text);
  checkCollection<vantrel::HashMap<std::string, std::optional<std::int64_t>>>(text);
  checkCollection<vantrel::HashMap<double, std::vector<std::string>>, false>(text);
  checkCollection<vantrel::HashSet<std::int64_t>>(text);
  checkCollection<vantrel::HashSet<std::string>>(text);
  checkCollection<vantrel::HashSet<char32_t>>(text);
  checkCollection<std::vector<vantrel::HashSet<std::int64_t>>>(text);

  // The lifted reader, over the lexer's tokens.
  using Map = vantrel::HashMap<std::int64_t, std::int64_t>;
  const hs::ReadPrec<Map> lifted =
      hs::liftReadPrec<Map>(hs::readPrec<std::int64_t>(), hs::readListPrec<std::int64_t>());
  for (int d : {0, 11})
    for (const auto& [m, rest] : lifted(d, text)) {
      checkValid(m);
      fuzz::check(rest.data() + rest.size() == text.data() + text.size(), "a rest past the input");
    }
  return 0;
}
