// Generic programming: descriptions of constructors and data types, and the Data capability,
// which folds a value over its immediate fields and builds a value from a constructor
// description.
//
// The shape of the callables (the C++ form of the rank-2 arguments):
//
//   gfoldl(k, z, x)  z(g) wraps g, either a finished value (a constructor without fields) or a
//                    curried constructor function that takes one field and returns the next
//                    curried function or the finished value; k(acc, field) applies the wrapped
//                    function in acc to one field (a `const D&` of a type D with a Data
//                    instance) and returns the new wrapped value. The instance calls z once and
//                    k once per field, first field first:
//                      k(k(z(curriedPair), p.first), p.second)
//   gunfold(k, z, c) the same, but k(acc, std::type_identity<D>{}) is told the field's type
//                    and must produce the field itself:
//                      k(k(z(curriedPair), std::type_identity<A>{}), std::type_identity<B>{})
//
// Both return ContextOf<Z, T>, the type z gives for a finished T: the caller's context must give
// that same type at the end of every constructor's chain.
#pragma once

#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/error.hpp"
#include "hs/lazy.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"

namespace hs::data {

enum class Fixity : std::uint8_t { Prefix, Infix };
inline constexpr Fixity Prefix = Fixity::Prefix;
inline constexpr Fixity Infix = Fixity::Infix;

// Constructor indices count from 1 in declaration order.
using ConIndex = std::int64_t;

// What a constructor is: an algebraic constructor by its index, or a primitive value.
struct AlgConstr {
  ConIndex index;
  friend bool operator==(const AlgConstr&, const AlgConstr&) = default;
};
struct IntConstr {
  std::int64_t value;
  friend bool operator==(const IntConstr&, const IntConstr&) = default;
};
struct FloatConstr {
  double value;
  friend bool operator==(const FloatConstr&, const FloatConstr&) = default;
};
struct CharConstr {
  char32_t value;
  friend bool operator==(const CharConstr&, const CharConstr&) = default;
};
using ConstrRep = std::variant<AlgConstr, IntConstr, FloatConstr, CharConstr>;

namespace detail {

// Every part is deferred: a description may be built from parts that are computed on demand, or
// that fail when they are inspected, and building it or reading one part never forces the others.
struct ConstrNode {
  Lazy<ConstrRep> rep;
  Lazy<std::string> name;
  Lazy<std::vector<std::string>> fields;
  Lazy<Fixity> fixity;
};

enum class RepKind : std::uint8_t { Alg, Int, Float, Char, No };

// An algebraic data type holds its constructors inline; their descriptions point back at the
// data type through an aliasing handle, so the two never form a reference cycle.
struct DataTypeNode {
  std::string name;
  RepKind kind;
  std::vector<ConstrNode> constrs;
};

}  // namespace detail

// The description of a data type: its name and its representation. Copies share one node.
class DataType {
 private:
  explicit DataType(std::shared_ptr<const detail::DataTypeNode> n) : node_(std::move(n)) {}
  std::shared_ptr<const detail::DataTypeNode> node_;

  friend class Constr;
  friend struct DataTypeAccess;
};

// The description of a constructor: its representation, name, field names, fixity and data type.
class Constr {
 public:
  // Equal when they belong to data types of the same name and have the same representation.
  friend bool operator==(const Constr& a, const Constr& b);

 private:
  Constr(std::shared_ptr<const detail::ConstrNode> n, DataType dt)
      : node_(std::move(n)), type_(std::move(dt)) {}
  std::shared_ptr<const detail::ConstrNode> node_;
  DataType type_;

  friend struct DataTypeAccess;
};

// The representations of a data type.
struct AlgRep {
  std::vector<Constr> constrs;
  friend bool operator==(const AlgRep&, const AlgRep&) = default;
};
struct IntRep {
  friend bool operator==(IntRep, IntRep) = default;
};
struct FloatRep {
  friend bool operator==(FloatRep, FloatRep) = default;
};
struct CharRep {
  friend bool operator==(CharRep, CharRep) = default;
};
struct NoRep {
  friend bool operator==(NoRep, NoRep) = default;
};
using DataRep = std::variant<AlgRep, IntRep, FloatRep, CharRep, NoRep>;

// One constructor of an algebraic data type as mkDataType takes it.
struct ConstrSpec {
  ConstrSpec(const char* n) : name(n) {}  // NOLINT: {"A", "B"} lists constructors
  ConstrSpec(std::string n, std::vector<std::string> fs = {}, Fixity fx = Prefix)  // NOLINT
      : name(std::move(n)), fields(std::move(fs)), fixity(fx) {}
  std::string name;
  std::vector<std::string> fields;
  Fixity fixity = Prefix;
};

// An algebraic data type whose constructors are numbered from 1 in the given order.
DataType mkDataType(std::string name, std::vector<ConstrSpec> constrs);
// Data types of primitive values, and one without any representation.
DataType mkIntType(std::string name);
DataType mkFloatType(std::string name);
DataType mkCharType(std::string name);
DataType mkNoRepType(std::string name);

// A constructor of dt with the given parts. Its index is that of dt's constructor with the same
// name, looked up on demand: inspecting the index of a constructor of a type that is not
// algebraic, or of a name that dt does not list, raises a program error.
Constr mkConstr(const DataType& dt, Lazy<std::string> name, Lazy<std::vector<std::string>> fields,
                Lazy<Fixity> fixity);
// The constructor of an integer value of an integral data type; its name is the number's text.
// Its field names and fixity raise a program error when they are inspected.
Constr mkIntegralConstr(const DataType& dt, std::int64_t value);
// The constructor of a character of a character data type; its name is the character's literal
// ("'a'"). Its field names and fixity raise a program error when they are inspected.
Constr mkCharConstr(const DataType& dt, char32_t value);

const std::string& dataTypeName(const DataType& dt) noexcept;
DataRep dataTypeRep(const DataType& dt);
// The constructors of an algebraic data type; a program error for any other.
std::vector<Constr> dataTypeConstrs(const DataType& dt);
// The constructor with the given index (from 1); a program error for a type that is not
// algebraic or an index that it does not have.
Constr indexConstr(const DataType& dt, ConIndex index);

const ConstrRep& constrRep(const Constr& c);
// The index of an algebraic constructor; a program error for any other.
ConIndex constrIndex(const Constr& c);
const std::string& showConstr(const Constr& c);
const std::vector<std::string>& constrFields(const Constr& c);
Fixity constrFixity(const Constr& c);
DataType constrType(const Constr& c);

// Writes showConstr, as the constructor's text form does.
std::ostream& operator<<(std::ostream& os, const Constr& c);

// The context type of a fold or unfold: what z gives for a finished T.
template <class Z, class T>
using ContextOf = std::invoke_result_t<Z&, T>;

// The type constructor checks behind dataCast1/dataCast2. Tag is the caller's type constructor,
// a tag type with `template <class X> using apply` (two parameters for gcast2). When Tag applied
// to the instance's last type argument(s) is T itself, f is used at those arguments (f receives a
// std::type_identity of each) and its result is given as present; otherwise the result is absent
// and f is not even instantiated.
template <class T, class A, class Tag, class R, class F>
std::optional<R> gcast1(F& f) {
  if constexpr (requires { typename Tag::template apply<A>; }) {
    if constexpr (std::is_same_v<typename Tag::template apply<A>, T>)
      return std::optional<R>(std::in_place, f(std::type_identity<A>{}));
    else
      return std::nullopt;
  } else {
    return std::nullopt;
  }
}
template <class T, class A, class B, class Tag, class R, class F>
std::optional<R> gcast2(F& f) {
  if constexpr (requires { typename Tag::template apply<A, B>; }) {
    if constexpr (std::is_same_v<typename Tag::template apply<A, B>, T>)
      return std::optional<R>(std::in_place, f(std::type_identity<A>{}, std::type_identity<B>{}));
    else
      return std::nullopt;
  } else {
    return std::nullopt;
  }
}

// Helpers for writing instances. curried<A, B>(f) takes the fields one at a time:
// curried<A, B>(f)(a)(b) is f(a, b) (and curried<>(f) is f()). foldFields(k, acc, a, b) is
// k(k(acc, a), b); unfoldFields<A, B>(k, acc) is k(k(acc, type_identity<A>), type_identity<B>).
template <class First, class... Rest, class F>
auto curried(F f) {
  return [f = std::move(f)](First x) {
    if constexpr (sizeof...(Rest) == 0)
      return f(std::move(x));
    else
      return hs::data::curried<Rest...>(
          [f, x = std::move(x)](Rest... rest) { return f(x, std::move(rest)...); });
  };
}
template <class F>
auto curried(F f) {
  return f();
}
template <class K, class Acc>
Acc foldFields(K&, Acc acc) {
  return acc;
}
template <class K, class Acc, class F1, class... Fs>
auto foldFields(K& k, Acc acc, const F1& f1, const Fs&... fs) {
  return hs::data::foldFields(k, k(std::move(acc), f1), fs...);
}
template <class... Fs, class K, class Acc>
auto unfoldFields(K& k, Acc acc) {
  if constexpr (sizeof...(Fs) == 0) {
    return acc;
  } else {
    return [&]<class F1, class... Rest>(std::type_identity<F1>, std::type_identity<Rest>...) {
      return hs::data::unfoldFields<Rest...>(k, k(std::move(acc), std::type_identity<F1>{}));
    }(std::type_identity<Fs>{}...);
  }
}

// Instances over constructor views. ConstructorView<F> describes one constructor F (a struct):
//   using Fields = std::tuple<...>;      the fields' types as the generic view has them
//   static Fields fields(const F&);      the fields, first first
//   static F make(Fields' types...);     the constructor applied to them
// AggregateView<F, N> is that view for an aggregate of N members taken as they are. The
// functions below fold a value over the view's fields, build one from the view (the value type T
// built from F), and pick the alternative of a variant that a constructor's index names (any
// index beyond the others names the last, as derived instances read it).
template <class F, class Enable = void>
struct ConstructorView;

template <class F, std::size_t N>
struct AggregateView {
  static auto fields(const F& x) {
    if constexpr (N == 0) {
      return std::tuple<>();
    } else if constexpr (N == 1) {
      const auto& [a] = x;
      return std::tuple<std::decay_t<decltype(a)>>(a);
    } else if constexpr (N == 2) {
      const auto& [a, b] = x;
      return std::tuple<std::decay_t<decltype(a)>, std::decay_t<decltype(b)>>(a, b);
    } else {
      static_assert(N == 3, "AggregateView takes up to three members");
      const auto& [a, b, c] = x;
      return std::tuple<std::decay_t<decltype(a)>, std::decay_t<decltype(b)>,
                        std::decay_t<decltype(c)>>(a, b, c);
    }
  }
  using Fields = decltype(fields(std::declval<const F&>()));
  template <class... A>
  static F make(A&&... a) {
    return F{std::forward<A>(a)...};
  }
};

template <class T, class F>
auto curriedView() {
  return []<class... Fs>(std::type_identity<std::tuple<Fs...>>) {
    return hs::data::curried<Fs...>(
        [](Fs... fs) { return T(ConstructorView<F>::make(std::move(fs)...)); });
  }(std::type_identity<typename ConstructorView<F>::Fields>{});
}
template <class T, class K, class Z, class F>
ContextOf<Z, T> foldView(K& k, Z& z, const F& x) {
  return std::apply(
      [&](const auto&... fs) -> ContextOf<Z, T> {
        return hs::data::foldFields(k, z(hs::data::curriedView<T, F>()), fs...);
      },
      ConstructorView<F>::fields(x));
}
template <class T, class F, class K, class Z>
ContextOf<Z, T> unfoldView(K& k, Z& z) {
  return [&]<class... Fs>(std::type_identity<std::tuple<Fs...>>) -> ContextOf<Z, T> {
    return hs::data::unfoldFields<Fs...>(k, z(hs::data::curriedView<T, F>()));
  }(std::type_identity<typename ConstructorView<F>::Fields>{});
}
// The fold of a variant's present alternative.
template <class T, class K, class Z, class V>
ContextOf<Z, T> foldAlternative(K& k, Z& z, const V& node) {
  return std::visit(
      [&](const auto& x) -> ContextOf<Z, T> { return hs::data::foldView<T>(k, z, x); }, node);
}
template <class T, class V, class K, class Z>
ContextOf<Z, T> unfoldAlternative(K& k, Z& z, const Constr& c) {
  constexpr std::size_t n = std::variant_size_v<V>;
  const ConIndex index = hs::data::constrIndex(c);
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    std::optional<ContextOf<Z, T>> out;
    const auto pick = [&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
      if (!out && (static_cast<ConIndex>(J + 1) == index || J + 1 == n))
        out.emplace(hs::data::unfoldView<T, std::variant_alternative_t<J, V>>(k, z));
    };
    (pick(std::integral_constant<std::size_t, I>{}), ...);
    return std::move(*out);
  }(std::make_index_sequence<n>{});
}

// Data over an enumeration whose constructors are numbered from 0.
template <class E, const DataType& (*Type)(), std::size_t N>
struct EnumData {
  static DataType dataTypeOf() { return Type(); }
  static Constr toConstr(E e) {
    return hs::data::indexConstr(Type(), static_cast<ConIndex>(e) + 1);
  }
  template <class K, class Z>
  static ContextOf<Z, E> gunfold(K&&, Z&& z, const Constr& c) {
    const ConIndex i = hs::data::constrIndex(c);
    return z(static_cast<E>(i >= 1 && i < static_cast<ConIndex>(N) ? i - 1 : N - 1));
  }
};

// Data over a single-constructor record.
template <class T, const DataType& (*Type)()>
struct RecordData {
  static DataType dataTypeOf() { return Type(); }
  static Constr toConstr(const T&) { return hs::data::indexConstr(Type(), 1); }
  template <class K, class Z>
  static ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
    return hs::data::foldView<T>(k, z, x);
  }
  template <class K, class Z>
  static ContextOf<Z, T> gunfold(K&& k, Z&& z, const Constr&) {
    return hs::data::unfoldView<T, T>(k, z);
  }
};

// Data over a value whose forms are the alternatives of a variant.
template <class T, class V, const DataType& (*Type)(), const V& (*NodeOf)(const T&)>
struct VariantData {
  static DataType dataTypeOf() { return Type(); }
  static Constr toConstr(const T& x) {
    return hs::data::indexConstr(Type(), static_cast<ConIndex>(NodeOf(x).index()) + 1);
  }
  template <class K, class Z>
  static ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
    return hs::data::foldAlternative<T>(k, z, NodeOf(x));
  }
  template <class K, class Z>
  static ContextOf<Z, T> gunfold(K&& k, Z&& z, const Constr& c) {
    return hs::data::unfoldAlternative<T, V>(k, z, c);
  }
};

namespace detail {
const DataType& intDataType();
const DataType& charDataType();
const DataType& listDataType();
const DataType& tuple2DataType();
const DataType& unitDataType();
}  // namespace detail

}  // namespace hs::data

namespace hs {

// The Data capability. A specialisation provides
//   static data::Constr toConstr(const T&);
//   static data::DataType dataTypeOf();
//   template <class K, class Z> static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T&);
//   template <class K, class Z> static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr&);
// and, where T is a type constructor applied to type arguments,
//   template <class Tag, class R, class F> static std::optional<R> dataCast1(F& f);
//   template <class Tag, class R, class F> static std::optional<R> dataCast2(F& f);
// (usually data::gcast1 / data::gcast2). Without gfoldl the value has no fields (z(x)); without
// dataCast1/dataCast2 the casts are absent.
template <class T, class Enable = void>
struct Data;

template <class T>
concept HasData = requires(const T& x) {
  { Data<T>::toConstr(x) } -> std::convertible_to<data::Constr>;
  { Data<T>::dataTypeOf() } -> std::convertible_to<data::DataType>;
};

template <class T>
data::Constr toConstr(const T& x) {
  return Data<T>::toConstr(x);
}
template <class T>
data::DataType dataTypeOf() {
  return Data<T>::dataTypeOf();
}
template <class T>
data::DataType dataTypeOf(const T&) {
  return Data<T>::dataTypeOf();
}

template <class K, class Z, class T>
data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
  if constexpr (requires { Data<T>::gfoldl(k, z, x); })
    return Data<T>::gfoldl(k, z, x);
  else
    return z(T(x));
}

template <class T, class K, class Z>
data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
  return Data<T>::gunfold(k, z, c);
}

// dataCast1<T, Tag, R>(f): f used at T's type argument when T is Tag applied to it; R is the
// caller's context type for T.
template <class T, class Tag, class R, class F>
std::optional<R> dataCast1(F&& f) {
  if constexpr (requires { Data<T>::template dataCast1<Tag, R>(f); })
    return Data<T>::template dataCast1<Tag, R>(f);
  else
    return std::nullopt;
}
template <class T, class Tag, class R, class F>
std::optional<R> dataCast2(F&& f) {
  if constexpr (requires { Data<T>::template dataCast2<Tag, R>(f); })
    return Data<T>::template dataCast2<Tag, R>(f);
  else
    return std::nullopt;
}

// One-layer traversals built on gfoldl: gmapT applies f (which keeps each field's type) to every
// immediate field; gmapQ collects q of every immediate field, first field first.
template <class F, class T>
T gmapT(F&& f, const T& x) {
  auto z = [](auto g) { return g; };
  auto k = [&f](auto c, const auto& d) { return c(f(d)); };
  return hs::gfoldl(k, z, x);
}
template <class R, class Q, class T>
std::vector<R> gmapQ(Q&& q, const T& x) {
  auto z = [](auto&&) { return std::vector<R>{}; };
  auto k = [&q](std::vector<R> acc, const auto& d) {
    acc.push_back(q(d));
    return acc;
  };
  return hs::gfoldl(k, z, x);
}

// Machine integers: an integral data type whose constructors are the numbers themselves.
template <>
struct Data<std::int64_t> {
  static data::DataType dataTypeOf() { return data::detail::intDataType(); }
  static data::Constr toConstr(std::int64_t x) {
    return data::mkIntegralConstr(data::detail::intDataType(), x);
  }
  template <class K, class Z>
  static data::ContextOf<Z, std::int64_t> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* i = std::get_if<data::IntConstr>(&data::constrRep(c))) return z(i->value);
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Int.");
  }
};

// Characters: a character data type whose constructors are the characters themselves.
template <>
struct Data<char32_t> {
  static data::DataType dataTypeOf() { return data::detail::charDataType(); }
  static data::Constr toConstr(char32_t c) {
    return data::mkCharConstr(data::detail::charDataType(), c);
  }
  template <class K, class Z>
  static data::ContextOf<Z, char32_t> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* ch = std::get_if<data::CharConstr>(&data::constrRep(c))) return z(ch->value);
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Char.");
  }
};

// The unit: one constructor "()".
template <>
struct Data<Unit> {
  static data::DataType dataTypeOf() { return data::detail::unitDataType(); }
  static data::Constr toConstr(Unit) { return data::indexConstr(data::detail::unitDataType(), 1); }
  template <class K, class Z>
  static data::ContextOf<Z, Unit> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (data::constrIndex(c) != 1) errorWithoutStackTrace("Data.Data.gunfold(unit)");
    return z(unit);
  }
};

// Lists: the empty list "[]" (index 1) and "(:)" (index 2) with the head and the rest as fields.
template <class A>
struct Data<std::vector<A>> {
  using T = std::vector<A>;
  static auto cons() {
    return [](A x) {
      return [x = std::move(x)](T xs) {
        xs.insert(xs.begin(), x);
        return xs;
      };
    };
  }
  static data::DataType dataTypeOf() { return data::detail::listDataType(); }
  static data::Constr toConstr(const T& xs) {
    return data::indexConstr(data::detail::listDataType(), xs.empty() ? 1 : 2);
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& xs) {
    if (xs.empty()) return z(T{});
    return k(k(z(cons()), xs.front()), T(xs.begin() + 1, xs.end()));
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
    switch (data::constrIndex(c)) {
      case 1:
        return z(T{});
      case 2:
        return k(k(z(cons()), std::type_identity<A>{}), std::type_identity<T>{});
      default:
        errorWithoutStackTrace("Data.Data.gunfold(List)");
    }
  }
  template <class Tag, class R, class F>
  static std::optional<R> dataCast1(F& f) {
    return data::gcast1<T, A, Tag, R>(f);
  }
};

// Strings are lists of characters: the head is the first code point of the UTF-8 text (a byte
// that starts no well-formed sequence is a code point of its own, which encodes back to the
// byte) and the rest is the remaining text.
template <>
struct Data<std::string> {
  using T = std::string;
  static auto cons() {
    return [](char32_t c) {
      return [c](T rest) {
        T out;
        out.reserve(rest.size() + 4);
        hs::appendUtf8(c, out);
        out += rest;
        return out;
      };
    };
  }
  static data::DataType dataTypeOf() { return data::detail::listDataType(); }
  static data::Constr toConstr(const T& s) {
    return data::indexConstr(data::detail::listDataType(), s.empty() ? 1 : 2);
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& s) {
    if (s.empty()) return z(T{});
    char32_t c = 0;
    const std::size_t n = hs::detail::decodeUtf8At(s, 0, c);
    return k(k(z(cons()), c), T(s, n));
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
    switch (data::constrIndex(c)) {
      case 1:
        return z(T{});
      case 2:
        return k(k(z(cons()), std::type_identity<char32_t>{}), std::type_identity<T>{});
      default:
        errorWithoutStackTrace("Data.Data.gunfold(List)");
    }
  }
};

// Pairs: the one constructor "(,)" with both components as fields.
template <class A, class B>
struct Data<std::pair<A, B>> {
  using T = std::pair<A, B>;
  static auto pairUp() {
    return [](A a) { return [a = std::move(a)](B b) { return T(a, std::move(b)); }; };
  }
  static data::DataType dataTypeOf() { return data::detail::tuple2DataType(); }
  static data::Constr toConstr(const T&) {
    return data::indexConstr(data::detail::tuple2DataType(), 1);
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& p) {
    return k(k(z(pairUp()), p.first), p.second);
  }
  template <class K, class Z>
  static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
    if (data::constrIndex(c) != 1) errorWithoutStackTrace("Data.Data.gunfold(tup2)");
    return k(k(z(pairUp()), std::type_identity<A>{}), std::type_identity<B>{});
  }
  template <class Tag, class R, class F>
  static std::optional<R> dataCast2(F& f) {
    return data::gcast2<T, A, B, Tag, R>(f);
  }
};

}  // namespace hs
