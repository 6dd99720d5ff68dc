// The fixed-point readers over arbitrary text: Fix over optional values, lists (rose trees) and
// the list layer, Mu and Nu; what reads shows, and reads back equal.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz.hpp"
#include "morvet/morvet.hpp"

namespace {

template <class T>
void readsBackEqual(std::string_view text) {
  if (const std::optional<T> v = fuzz::checkReader<T>(text))
    fuzz::check(hs::read<T>(hs::show(*v)) == *v, "a value reads back unequal:", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using IntList = morvet::Fix<morvet::ListFTag<std::int64_t>>;
  readsBackEqual<morvet::Fix<hs::MaybeTag>>(text);
  readsBackEqual<morvet::Fix<hs::ListTag>>(text);
  readsBackEqual<IntList>(text);
  readsBackEqual<std::vector<IntList>>(text);
  readsBackEqual<morvet::Mu<hs::MaybeTag>>(text);
  readsBackEqual<morvet::Mu<hs::ListTag>>(text);
  readsBackEqual<morvet::Nu<hs::MaybeTag>>(text);
  readsBackEqual<morvet::Nu<morvet::ListFTag<std::int64_t>>>(text);
  return 0;
}
