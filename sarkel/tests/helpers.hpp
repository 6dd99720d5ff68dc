// Small builders of reflection types for the datatype tests.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "hs/th/q.hpp"
#include "hs/th/syntax.hpp"
#include "testing/stacks.hpp"

namespace sarkel_test {

namespace th = hs::th;
using th::Name;
using th::Type;

inline Name n(const std::string& s) { return th::mkName(s); }
inline Type v(const std::string& s) { return th::VarT{n(s)}; }
inline Type con(const std::string& s) { return th::ConT{n(s)}; }
inline Type app(Type f, Type x) { return th::AppT{std::move(f), std::move(x)}; }
inline Type app(Type f, Type x, Type y) {
  return app(app(std::move(f), std::move(x)), std::move(y));
}
inline Type arrow(Type a, Type r) { return app(th::ArrowT{}, std::move(a), std::move(r)); }
inline Type sig(Type t, Type k) { return th::SigT{std::move(t), std::move(k)}; }
inline Type star() { return th::StarT{}; }
inline Type eq(Type a, Type b) { return app(th::EqualityT{}, std::move(a), std::move(b)); }

inline th::TyVarBndrSpec specified(const std::string& s) {
  return th::PlainTV<th::Specificity>{n(s), th::SpecifiedSpec};
}
inline th::TyVarBndrSpec specified(const std::string& s, Type k) {
  return th::KindedTV<th::Specificity>{n(s), th::SpecifiedSpec, std::move(k)};
}
inline th::TyVarBndrUnit unit(const std::string& s) {
  return th::PlainTV<hs::Unit>{n(s), hs::unit};
}
inline th::TyVarBndrUnit unit(const std::string& s, Type k) {
  return th::KindedTV<hs::Unit>{n(s), hs::unit, std::move(k)};
}
inline Type forall(std::vector<th::TyVarBndrSpec> bs, th::Cxt c, Type body) {
  return th::ForallT{std::move(bs), std::move(c), std::move(body)};
}

// A fresh name as the test environment makes them.
inline Name fresh(const std::string& base, th::Uniq u) { return th::mkNameU(base, u); }
inline Type fv(const std::string& base, th::Uniq u) { return th::VarT{fresh(base, u)}; }

// Field annotations.
inline th::Bang lazyBang() { return th::Bang{}; }
inline th::Bang strictBang() {
  return th::Bang{th::SourceUnpackedness::NoSourceUnpackedness, th::SourceStrictness::SourceStrict};
}
inline th::Bang unpackBang() {
  return th::Bang{th::SourceUnpackedness::SourceUnpack, th::SourceStrictness::SourceStrict};
}
inline th::BangType field(Type t, th::Bang b = lazyBang()) { return {b, std::move(t)}; }
inline th::VarBangType recField(const std::string& sel, Type t, th::Bang b = lazyBang()) {
  return {n(sel), b, std::move(t)};
}

// The message of the reflection failure f raises; "" when it succeeds.
template <class F>
std::string qFailure(F&& f) {
  try {
    f();
  } catch (const th::QFailure& e) {
    return e.message();
  }
  return "";
}

inline std::vector<Name> names(std::initializer_list<const char*> xs) {
  std::vector<Name> out;
  for (const char* x : xs) out.push_back(n(x));
  return out;
}

// Runs f on a thread with a small native stack (256 KiB), so that a walk recursing per level of
// a deep type fails there; f's exception is rethrown.
template <class F>
void onSmallStack(F&& f) {
  testing_support::onThreadStack(std::size_t{1} << 18, std::forward<F>(f));
}

// The depth of the deep types of the tests.
inline constexpr int kDeep = 10000;

}  // namespace sarkel_test
