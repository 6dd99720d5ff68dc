// Text forms of maps: a map is written as the call of `fromList` on its pairs in trie order.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hs/show.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal::detail {

// "[(k,v),...]" straight from the trie, each key by spk(0, key) and each value by spv(0, value);
// no list of pairs is built first.
template <class SPK, class SPV, class K, class V>
void showPairs(SPK& spk, SPV& spv, const HashMap<K, V>& m, std::string& out) {
  hs::showListWith(
      [&](const auto& r, std::string& o) {
        o.push_back('(');
        spk(0, r.key, o);
        o.push_back(',');
        spv(0, r.value.force(), o);
        o.push_back(')');
      },
      m, out);
}

}  // namespace vantrel::internal::detail

/// \addtogroup vantrel_map_show
/// @{

/// The text form: `fromList [(k,v),...]` with the pairs in trie order, in brackets above precedence
/// 10. Forces every value; O(n), streamed from the map (no list of pairs is built).
template <class K, class V>
struct hs::Show<vantrel::HashMap<K, V>> {
  /// \privatesection
  static void showsPrec(int d, const vantrel::HashMap<K, V>& m, std::string& out) {
    hs::showParen(
        d > 10,
        [&](std::string& o) {
          o.append("fromList ");
          hs::ShowsPrec own;
          vantrel::internal::detail::showPairs(own, own, m, o);
        },
        out);
  }
};

/// The lifted text form with the caller's key and value writers, as `fromList [(k,v),...]`.
template <class K, class V>
struct hs::Show2<vantrel::HashMap<K, V>> {
  /// \privatesection
  // The list writers slk and slv are never called.
  template <class SPK, class SLK, class SPV, class SLV>
  static void liftShowsPrec2(SPK&& spk, SLK&&, SPV&& spv, SLV&&, int d,
                             const vantrel::HashMap<K, V>& m, std::string& out) {
    hs::showsUnaryWith(
        [&](int, const vantrel::HashMap<K, V>& x, std::string& o) {
          vantrel::internal::detail::showPairs(spk, spv, x, o);
        },
        "fromList", d, m, out);
  }
};

/// The lifted text form with the caller's value writer and the key type's own.
template <class K, class V>
struct hs::Show1<vantrel::HashMap<K, V>> {
  /// \privatesection
  template <class SP, class SL>
  static void liftShowsPrec(SP&& sp, SL&& sl, int d, const vantrel::HashMap<K, V>& m,
                            std::string& out) {
    hs::Show2<vantrel::HashMap<K, V>>::liftShowsPrec2(hs::ShowsPrec{}, hs::ShowList{}, sp, sl, d, m,
                                                      out);
  }
};
/// @}
