// Compiled, not run: what a user's types ask of the class vocabulary. Built as it is, it must
// compile clean: a fixed point whose layer has only a text form and a reader shows and reads back,
// and the comparison concepts are false for it (true for a layer with every instance). Built with
// MISSING=<case>, it uses one capability a type lacks, and its first error must be the one message
// naming that trait (see testing/CMakeLists.txt for the cases and the messages they expect).
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/binary.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/hashable.hpp"
#include "hs/monad.hpp"
#include "hs/nfdata.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "morvet/classes.hpp"
#include "morvet/fix.hpp"
#include "morvet/list_f.hpp"
#include "morvet/mu.hpp"
#include "morvet/nu.hpp"

#define MISSING_Show1 1
#define MISSING_Read1 2
#define MISSING_Eq1 3
#define MISSING_EqOperator 4
#define MISSING_Ord1 5
#define MISSING_Hashable1 6
#define MISSING_NFData1 7
#define MISSING_TagOf 8
#define MISSING_Functor 9
#define MISSING_Foldable 10
#define MISSING_Traversable 11
#define MISSING_Show 12
#define MISSING_Read 13
#define MISSING_Binary 14
#define CASE_(name) MISSING_##name
#define CASE(name) CASE_(name)

// A layer of a tree: a label and the children, with a list of named children besides (a pair
// around a hole: the readers must not compare parses of it either). It has a tag, a mapping and
// a text form, nothing else.
template <class R>
struct NodeF {
  std::int64_t label;
  std::vector<R> kids;
  std::vector<std::pair<std::string, R>> named;
};
struct NodeTag {
  template <class R>
  using apply = NodeF<R>;
};
#if !defined(MISSING) || CASE(MISSING) != MISSING_TagOf
template <class R>
struct hs::TagOf<NodeF<R>> {
  using type = NodeTag;
  using value_type = R;
};
#endif
#if !defined(MISSING) || CASE(MISSING) != MISSING_Functor
template <>
struct hs::Functor<NodeTag> {
  template <class F, class R>
  static auto fmap(F&& f, const NodeF<R>& n) {
    using S = std::remove_cvref_t<std::invoke_result_t<F&, const R&>>;
    NodeF<S> out{n.label, {}, {}};
    for (const R& r : n.kids) out.kids.push_back(f(r));
    for (const auto& [name, r] : n.named) out.named.emplace_back(name, f(r));
    return out;
  }
};
#endif
#if !defined(MISSING) || CASE(MISSING) != MISSING_Show1
template <class R>
struct hs::Show1<NodeF<R>> {
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const NodeF<R>& n, std::string& out) {
    hs::showParen(d > 10, [&](std::string& o) {
      o.append("Node ");
      hs::showsPrec(11, n.label, o);
      o.push_back(' ');
      sl(n.kids, o);
      o.push_back(' ');
      hs::showListWith(
          [&](const std::pair<std::string, R>& p, std::string& o2) {
            o2.push_back('(');
            hs::showsPrec(0, p.first, o2);
            o2.push_back(',');
            sp(0, p.second, o2);
            o2.push_back(')');
          },
          n.named, o);
    }, out);
  }
};
#endif
#if !defined(MISSING) || CASE(MISSING) != MISSING_Read1
template <class R>
struct hs::Read1<NodeF<R>> {
  static hs::ReadPrec<NodeF<R>> liftReadPrec(hs::ReadPrec<R> rp, hs::ReadPrec<std::vector<R>> rl) {
    namespace P = hs::readprec;
    using Named = std::vector<std::pair<std::string, R>>;
    const hs::ReadPrec<Named> named = P::list(hs::Read2<std::pair<std::string, R>>::liftReadPrec2(
        hs::readPrec<std::string>(), hs::readListPrec<std::string>(), rp, rl));
    return P::readData(P::then(
        P::expectP(hs::Lexeme::Ident("Node")),
        P::bind(P::step(hs::readPrec<std::int64_t>()), [rl, named](std::int64_t label) {
          return P::bind(P::step(rl), [label, named](std::vector<R> kids) {
            return P::fmap([label, kids](Named ns) { return NodeF<R>{label, kids, std::move(ns)}; },
                           P::step(named));
          });
        })));
  }
};
#endif

using Node = morvet::Fix<NodeTag>;
using List = morvet::Fix<morvet::ListFTag<std::int64_t>>;

// Comparisons exist exactly where the layer can compare.
static_assert(!std::equality_comparable<Node> && !std::totally_ordered<Node>);
static_assert(!std::equality_comparable<morvet::Mu<NodeTag>> &&
              !std::totally_ordered<morvet::Mu<NodeTag>>);
static_assert(!std::equality_comparable<morvet::Nu<NodeTag>> &&
              !std::totally_ordered<morvet::Nu<NodeTag>>);
static_assert(std::totally_ordered<List> && std::totally_ordered<morvet::Mu<morvet::ListFTag<int>>> &&
              std::totally_ordered<morvet::Nu<morvet::ListFTag<int>>>);

// A plain type of one's own, with no instance at all.
struct Point {
  int x, y;
};

int main() {
  const Node leaf(NodeF<Node>{2, {}, {}});
  const Node tree(NodeF<Node>{1, {leaf}, {{"left", leaf}}});
  const std::optional<Node> back = hs::readMaybe<Node>(hs::show(tree));
  const auto mu = morvet::fixToMu(tree);
  const auto nu = morvet::fixToNu(tree);
  const std::optional<morvet::Mu<NodeTag>> muBack = hs::readMaybe<morvet::Mu<NodeTag>>(hs::show(mu));
  const std::optional<morvet::Nu<NodeTag>> nuBack = hs::readMaybe<morvet::Nu<NodeTag>>(hs::show(nu));
  [[maybe_unused]] const Point p{1, 2};
  [[maybe_unused]] const auto sum = [](const NodeF<std::int64_t>& n) {
    std::int64_t s = n.label;
    for (const std::int64_t k : n.kids) s += k;
    return s;
  };
#if !defined(MISSING)
  return back && muBack && nuBack && morvet::foldFix(sum, *back) == 5 ? 0 : 1;
#elif CASE(MISSING) == MISSING_Show1 || CASE(MISSING) == MISSING_Read1
  return back && muBack && nuBack ? 0 : 1;
#elif CASE(MISSING) == MISSING_Eq1
  return hs::liftEq(hs::Equal{}, tree.unFix(), leaf.unFix()) ? 0 : 1;
#elif CASE(MISSING) == MISSING_EqOperator
  return tree == leaf ? 0 : 1;
#elif CASE(MISSING) == MISSING_Ord1
  return morvet::compare(tree, leaf) == hs::LT ? 0 : 1;
#elif CASE(MISSING) == MISSING_Hashable1
  return static_cast<int>(hs::hash(tree) & 1);
#elif CASE(MISSING) == MISSING_NFData1
  hs::rnf(tree);
  return 0;
#elif CASE(MISSING) == MISSING_TagOf || CASE(MISSING) == MISSING_Functor
  return static_cast<int>(morvet::foldFix(sum, tree));
#elif CASE(MISSING) == MISSING_Foldable
  return static_cast<int>(hs::length(tree.unFix()));
#elif CASE(MISSING) == MISSING_Traversable
  const auto counted = [](const NodeF<std::int64_t>& n) { return std::optional<std::int64_t>(n.label); };
  return static_cast<int>(morvet::foldFixM(counted, tree).value_or(0));
#elif CASE(MISSING) == MISSING_Show
  return static_cast<int>(hs::show(p).size());
#elif CASE(MISSING) == MISSING_Read
  return hs::readMaybe<Point>("Point 1 2") ? 0 : 1;
#elif CASE(MISSING) == MISSING_Binary
  const hs::LazyByteString bytes = hs::binary::encode(p);
  return bytes.null() ? 0 : 1;
#endif
}
