// Reading maps: the text form `fromList` applied to a pair list, read back through the bulk
// builder, so a later pair of an equal key wins.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hs/read.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/nodes.hpp"

/// \addtogroup vantrel_map_read
/// @{

/// Reading: any number of brackets, `fromList` (at most precedence 10 outside them) and a pair
/// list, built with fromList (a later pair of an equal key wins). Linear in the input, plus one
/// hash per pair.
template <class K, class V>
struct hs::Read<vantrel::HashMap<K, V>> {
  /// \privatesection
  // Any number of enclosing brackets; outside them at most precedence 10; the identifier
  // "fromList", then the pair list.
  [[nodiscard]] static hs::ReadPrec<vantrel::HashMap<K, V>> readPrec() {
    namespace rp = hs::readprec;
    return rp::parens(rp::prec(10, rp::then(rp::expectP(hs::Lexeme::Ident("fromList")),
                                            rp::fmap(
                                                [](std::vector<std::pair<K, V>>&& pairs) {
                                                  return vantrel::internal::fromList(pairs);
                                                },
                                                rp::list(hs::readPrec<std::pair<K, V>>())))));
  }
};

/// Lifted reading: brackets required above precedence 10, the token `fromList`, then the pair list
/// with keys read by the key type's reader and values by the caller's reader.
template <class K, class V>
struct hs::Read1<vantrel::HashMap<K, V>> {
  /// \privatesection
  // Brackets required above precedence 10, then the one token "fromList", then the list of pairs
  // with keys read by the key type's reader and values by rp.
  [[nodiscard]] static hs::ReadPrec<vantrel::HashMap<K, V>> liftReadPrec(
      hs::ReadPrec<V> rp, hs::ReadPrec<std::vector<V>> rl) {
    using Map = vantrel::HashMap<K, V>;
    using Pairs = std::vector<std::pair<K, V>>;
    const hs::ReadPrec<Pairs> pairs = hs::liftReadPrec<Pairs>(
        hs::liftReadPrec<std::pair<K, V>>(rp, rl), hs::liftReadListPrec<std::pair<K, V>>(rp, rl));
    auto reader = [pairs](const std::string& token, std::string_view rest) {
      hs::ReadResult<Map> out;
      if (token != "fromList") return out;
      for (auto& [xs, after] : pairs(11, rest))
        out.emplace_back(vantrel::internal::fromList(xs), after);
      return out;
    };
    return hs::ReadPrec<Map>(
        [reader](int d, std::string_view s) { return hs::readsData(reader, d)(s); });
  }
};
/// @}
