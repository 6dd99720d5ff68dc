// The serialised form of inclusive-or values.
#pragma once

#include <cstdint>
#include <utility>

#include "ambrel/ambrel/type.hpp"
#include "hs/binary.hpp"
#include "hs/lazy.hpp"

/// \addtogroup ambrel_ambrel
/// @{

namespace ambrel::internal {
// Fails the decoding with "Invalid Ambrel index" (the index itself already read).
[[noreturn]] void invalidIndex(const hs::binary::Input& in);
}  // namespace ambrel::internal

/// The tagged serialised form: the constructor index as an 8-byte big-endian Int (0 This, 1 That,
/// 2 Ambrel), then the present values' own forms, the first before the second, with nothing in
/// between. A list is its count as the same Int, then its elements. Writing forces the value and
/// its present fields; reading any other index fails with "Invalid Ambrel index".
template <class A, class B>
struct hs::Binary<ambrel::Ambrel<A, B>> {
  /// \privatesection
  static void put(const ambrel::Ambrel<A, B>& t, hs::binary::Output& out) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    out.putInt64be(n.index);
    if (n.index != 1) hs::put(n.here.template get<A>().force(), out);
    if (n.index != 0) hs::put(n.there.template get<B>().force(), out);
  }
  static ambrel::Ambrel<A, B> get(hs::binary::Input& in) {
    namespace I = ambrel::internal;
    const std::int64_t index = in.getInt64be();
    if (index == 0) return I::makeThis<A, B>(hs::Lazy<A>(hs::get<A>(in)));
    if (index == 1) return I::makeThat<A, B>(hs::Lazy<B>(hs::get<B>(in)));
    if (index != 2) I::invalidIndex(in);
    hs::Lazy<A> a(hs::get<A>(in));
    return ambrel::Ambrel<A, B>(std::move(a), hs::Lazy<B>(hs::get<B>(in)));
  }
};

/// @}
