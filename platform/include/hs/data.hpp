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
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "hs/error.hpp"
#include "hs/lazy.hpp"

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

namespace detail {
const DataType& intDataType();
const DataType& listDataType();
const DataType& tuple2DataType();
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
