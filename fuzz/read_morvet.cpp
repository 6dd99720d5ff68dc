// The fixed-point readers over arbitrary text, deep nesting included (see fuzz::deepText): Fix
// over optional values, lists (rose trees) and the list layer, Mu and Nu. What reads shows and
// reads back equal; the Mu and Nu readers accept exactly the Fix texts they wrap, and read what
// the Fix reader reads.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz.hpp"
#include "morvet/morvet.hpp"

namespace {

template <class T>
std::optional<T> readsBackEqual(std::string_view text) {
  std::optional<T> v = fuzz::checkReader<T>(text);
  if (v) fuzz::checkReadsBackEqual(*v);
  return v;
}

// Fix<F> from the text, and the Mu and Nu of F from the text wrapped in their words: the three
// agree.
template <class F>
void checkFixedPoints(std::string_view text) {
  const std::optional<morvet::Fix<F>> fix = readsBackEqual<morvet::Fix<F>>(text);
  const std::string wrapped = std::string(" (") + std::string(text) + ")";
  const fuzz::ExactText muText("unfoldMu unFix" + wrapped), nuText("unfoldNu unFix" + wrapped);
  const std::optional<morvet::Mu<F>> mu = readsBackEqual<morvet::Mu<F>>(muText.view());
  const std::optional<morvet::Nu<F>> nu = readsBackEqual<morvet::Nu<F>>(nuText.view());
  if (mu) fuzz::check(fix && morvet::muToFix(*mu) == *fix, "a Mu reads another value than its Fix");
  if (nu) fuzz::check(fix && morvet::nuToFix(*nu) == *fix, "a Nu reads another value than its Fix");
  if (fix) fuzz::check(mu && nu, "a Fix text wrapped as Mu or Nu does not read:", text);
  readsBackEqual<morvet::Mu<F>>(text);
  readsBackEqual<morvet::Nu<F>>(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ExactText buffer;
  const std::string_view text = fuzz::deepText(std::span(data, size), buffer);
  using IntList = morvet::Fix<morvet::ListFTag<std::int64_t>>;
  checkFixedPoints<hs::MaybeTag>(text);
  checkFixedPoints<hs::ListTag>(text);
  checkFixedPoints<morvet::ListFTag<std::int64_t>>(text);
  readsBackEqual<std::vector<IntList>>(text);
  readsBackEqual<std::optional<morvet::Fix<hs::MaybeTag>>>(text);
  return 0;
}
