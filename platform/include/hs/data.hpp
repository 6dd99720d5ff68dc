/// \defgroup hs_data hs/data.hpp
/// \ingroup hsplatform
/// Generic programming: descriptions of constructors and data types, and the Data capability,
/// which folds a value over its immediate fields and builds a value from a constructor
/// description.
///
/// The shape of the callables (the C++ form of the rank-2 arguments):
///
/// - `gfoldl(k, z, x)`: z(g) wraps g, either a finished value (a constructor without fields) or a
///   curried constructor function that takes one field and returns the next curried function or
///   the finished value; k(acc, field) applies the wrapped function in acc to one field (a
///   `const D&` of a type D with a Data instance) and returns the new wrapped value. The instance
///   calls z once and k once per field, first field first:
///   `k(k(z(curriedPair), p.first), p.second)`.
/// - `gunfold(k, z, c)`: the same, but k(acc, std::type_identity<D>{}) is told the field's type
///   and must produce the field itself:
///   `k(k(z(curriedPair), std::type_identity<A>{}), std::type_identity<B>{})`.
///
/// Both return `ContextOf<Z, T>`, the type z gives for a finished T: the caller's context must
/// give that same type at the end of every constructor's chain.
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
/// \addtogroup hs_data
/// @{

/// How a constructor is written: before its fields or between them.
enum class Fixity : std::uint8_t { Prefix, Infix };
/// Written before its fields.
inline constexpr Fixity Prefix = Fixity::Prefix;
/// Written between its fields.
inline constexpr Fixity Infix = Fixity::Infix;

/// Constructor indices count from 1 in declaration order.
using ConIndex = std::int64_t;

/// An algebraic constructor, by its index.
struct AlgConstr {
  ConIndex index;  ///< Its index, from 1.
  friend bool operator==(const AlgConstr&, const AlgConstr&) = default;
};
/// The constructor of an integer value.
struct IntConstr {
  std::int64_t value;  ///< The value.
  friend bool operator==(const IntConstr&, const IntConstr&) = default;
};
/// The constructor of a floating-point value.
struct FloatConstr {
  double value;  ///< The value.
  friend bool operator==(const FloatConstr&, const FloatConstr&) = default;
};
/// The constructor of a character.
struct CharConstr {
  char32_t value;  ///< The character.
  friend bool operator==(const CharConstr&, const CharConstr&) = default;
};
/// What a constructor is: an algebraic constructor by its index, or a primitive value.
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

/// The description of a data type: its name and its representation. Copies share one node, so
/// copying is a reference-count increment.
class DataType {
 private:
  explicit DataType(std::shared_ptr<const detail::DataTypeNode> n) : node_(std::move(n)) {}
  std::shared_ptr<const detail::DataTypeNode> node_;

  friend class Constr;
  friend struct DataTypeAccess;
};

/// The description of a constructor: its representation, name, field names, fixity and data type.
/// Its parts may be deferred (computed when first inspected); copies share one node.
class Constr {
 public:
  /// Equal when they belong to data types of the same name and have the same representation
  /// (forces both representations).
  friend bool operator==(const Constr& a, const Constr& b);

 private:
  Constr(std::shared_ptr<const detail::ConstrNode> n, DataType dt)
      : node_(std::move(n)), type_(std::move(dt)) {}
  std::shared_ptr<const detail::ConstrNode> node_;
  DataType type_;

  friend struct DataTypeAccess;
};

/// The representation of an algebraic data type: its constructors.
struct AlgRep {
  std::vector<Constr> constrs;  ///< The constructors, in index order.
  friend bool operator==(const AlgRep&, const AlgRep&) = default;
};
/// The representation of an integral data type.
struct IntRep {
  friend bool operator==(IntRep, IntRep) = default;
};
/// The representation of a floating-point data type.
struct FloatRep {
  friend bool operator==(FloatRep, FloatRep) = default;
};
/// The representation of a character data type.
struct CharRep {
  friend bool operator==(CharRep, CharRep) = default;
};
/// A data type without a representation.
struct NoRep {
  friend bool operator==(NoRep, NoRep) = default;
};
/// The representations of a data type.
using DataRep = std::variant<AlgRep, IntRep, FloatRep, CharRep, NoRep>;

/// One constructor of an algebraic data type as mkDataType takes it.
struct ConstrSpec {
  /// A constructor with no field names, written prefix (so `{"A", "B"}` lists constructors).
  ConstrSpec(const char* n) : name(n) {}  // NOLINT: {"A", "B"} lists constructors
  /// A constructor with its field names (none for positional fields) and fixity.
  ConstrSpec(std::string n, std::vector<std::string> fs = {}, Fixity fx = Prefix)  // NOLINT
      : name(std::move(n)), fields(std::move(fs)), fixity(fx) {}
  std::string name;                 ///< The constructor's name.
  std::vector<std::string> fields;  ///< Its record field names, in order.
  Fixity fixity = Prefix;           ///< How it is written.
};

/// An algebraic data type whose constructors are numbered from 1 in the given order; one node
/// holds the type and all its constructor descriptions.
[[nodiscard]] DataType mkDataType(std::string name, std::vector<ConstrSpec> constrs);
/// A data type of integers.
[[nodiscard]] DataType mkIntType(std::string name);
/// A data type of floating-point numbers.
[[nodiscard]] DataType mkFloatType(std::string name);
/// A data type of characters.
[[nodiscard]] DataType mkCharType(std::string name);
/// A data type without any representation.
[[nodiscard]] DataType mkNoRepType(std::string name);

/// A constructor of dt with the given parts (kept deferred as given). Its index is that of dt's
/// constructor with the same name, looked up on demand, once (a walk over dt's constructors that
/// forces the names): inspecting the index of a constructor of a type that is not algebraic, or
/// of a name that dt does not list, raises a program error.
[[nodiscard]] Constr mkConstr(const DataType& dt, Lazy<std::string> name, Lazy<std::vector<std::string>> fields,
                Lazy<Fixity> fixity);
/// The constructor of an integer value of an integral data type (a program error for any other);
/// its name is the number's text. Its field names and fixity raise a program error when they are
/// inspected.
[[nodiscard]] Constr mkIntegralConstr(const DataType& dt, std::int64_t value);
/// The constructor of a character of a character data type (a program error for any other); its
/// name is the character's literal ("'a'"). Its field names and fixity raise a program error when
/// they are inspected.
[[nodiscard]] Constr mkCharConstr(const DataType& dt, char32_t value);

/// The data type's name.
[[nodiscard]] const std::string& dataTypeName(const DataType& dt) noexcept;
/// The data type's representation; for an algebraic type, its constructors in a new vector.
[[nodiscard]] DataRep dataTypeRep(const DataType& dt);
/// The constructors of an algebraic data type, in a new vector (each shares the type's node); a
/// program error for any other.
[[nodiscard]] std::vector<Constr> dataTypeConstrs(const DataType& dt);
/// The constructor with the given index (from 1), in constant time, sharing the type's node; a
/// program error for a type that is not algebraic or an index that it does not have.
[[nodiscard]] Constr indexConstr(const DataType& dt, ConIndex index);

/// What the constructor is; forces its representation (see mkConstr).
[[nodiscard]] const ConstrRep& constrRep(const Constr& c);
/// The index of an algebraic constructor; a program error for any other.
[[nodiscard]] ConIndex constrIndex(const Constr& c);
/// The constructor's name; forces it.
[[nodiscard]] const std::string& showConstr(const Constr& c);
/// The constructor's record field names; forces them (a program error for a primitive value's
/// constructor).
[[nodiscard]] const std::vector<std::string>& constrFields(const Constr& c);
/// The constructor's fixity; forces it (a program error for a primitive value's constructor).
[[nodiscard]] Fixity constrFixity(const Constr& c);
/// The data type the constructor belongs to (shares its node).
[[nodiscard]] DataType constrType(const Constr& c);

/// Writes showConstr, as the constructor's text form does.
std::ostream& operator<<(std::ostream& os, const Constr& c);

/// The context type of a fold or unfold: what z gives for a finished T.
template <class Z, class T>
using ContextOf = std::invoke_result_t<Z&, T>;

/// The type constructor check behind dataCast1. Tag is the caller's type constructor, a tag type
/// with `template <class X> using apply`. When Tag applied to A (the instance's last type
/// argument) is T itself, f is used at A (f receives a std::type_identity of it) and its result
/// is given as present; otherwise the result is absent and f is not even instantiated. The check
/// is made at compile time.
template <class T, class A, class Tag, class R, class F>
[[nodiscard]] std::optional<R> gcast1(F& f) {
  if constexpr (requires { typename Tag::template apply<A>; }) {
    if constexpr (std::is_same_v<typename Tag::template apply<A>, T>)
      return std::optional<R>(std::in_place, f(std::type_identity<A>{}));
    else
      return std::nullopt;
  } else {
    return std::nullopt;
  }
}
/// The type constructor check behind dataCast2: as gcast1, with a two-parameter Tag applied to A
/// and B (the instance's last two type arguments); f receives a std::type_identity of each.
template <class T, class A, class B, class Tag, class R, class F>
[[nodiscard]] std::optional<R> gcast2(F& f) {
  if constexpr (requires { typename Tag::template apply<A, B>; }) {
    if constexpr (std::is_same_v<typename Tag::template apply<A, B>, T>)
      return std::optional<R>(std::in_place, f(std::type_identity<A>{}, std::type_identity<B>{}));
    else
      return std::nullopt;
  } else {
    return std::nullopt;
  }
}

// Helpers for writing instances.

/// f taking its fields one at a time: `curried<A, B>(f)(a)(b)` is `f(a, b)`. Each step copies f
/// and the fields so far into a new closure.
template <class First, class... Rest, class F>
[[nodiscard]] auto curried(F f) {
  return [f = std::move(f)](First x) {
    if constexpr (sizeof...(Rest) == 0)
      return f(std::move(x));
    else
      return hs::data::curried<Rest...>(
          [f, x = std::move(x)](Rest... rest) { return f(x, std::move(rest)...); });
  };
}
/// f of no fields: `curried<>(f)` is `f()`, called now.
template <class F>
[[nodiscard]] auto curried(F f) {
  return f();
}
/// acc itself: the fold over no fields.
template <class K, class Acc>
[[nodiscard]] Acc foldFields(K&, Acc acc) {
  return acc;
}
/// k applied once per field, first field first: `foldFields(k, acc, a, b)` is
/// `k(k(acc, a), b)`.
template <class K, class Acc, class F1, class... Fs>
[[nodiscard]] auto foldFields(K& k, Acc acc, const F1& f1, const Fs&... fs) {
  return hs::data::foldFields(k, k(std::move(acc), f1), fs...);
}
/// k told each field's type in order: `unfoldFields<A, B>(k, acc)` is
/// `k(k(acc, type_identity<A>), type_identity<B>)`.
template <class... Fs, class K, class Acc>
[[nodiscard]] auto unfoldFields(K& k, Acc acc) {
  if constexpr (sizeof...(Fs) == 0) {
    return acc;
  } else {
    return [&]<class F1, class... Rest>(std::type_identity<F1>, std::type_identity<Rest>...) {
      return hs::data::unfoldFields<Rest...>(k, k(std::move(acc), std::type_identity<F1>{}));
    }(std::type_identity<Fs>{}...);
  }
}

// Instances over constructor views. The functions below fold a value over the view's fields,
// build one from the view (the value type T built from F), and pick the alternative of a variant
// that a constructor's index names.

/// The generic view of one constructor F (a struct): specialise with
/// `using Fields = std::tuple<...>;` (the fields' types as the generic view has them),
/// `static Fields fields(const F&);` (the fields, first first) and
/// `static F make(...);` taking the fields in the types of Fields (the constructor applied to
/// them).
template <class F, class Enable = void>
struct ConstructorView;

/// The constructor view of an aggregate of N members (up to three) taken as they are.
template <class F, std::size_t N>
struct AggregateView {
  /// The members, copied into a tuple.
  [[nodiscard]] static auto fields(const F& x) {
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
  /// The members' types.
  using Fields = decltype(fields(std::declval<const F&>()));
  /// The aggregate of the members.
  template <class... A>
  [[nodiscard]] static F make(A&&... a) {
    return F{std::forward<A>(a)...};
  }
};

/// The curried constructor of F's view, giving a T.
template <class T, class F>
[[nodiscard]] auto curriedView() {
  return []<class... Fs>(std::type_identity<std::tuple<Fs...>>) {
    return hs::data::curried<Fs...>(
        [](Fs... fs) { return T(ConstructorView<F>::make(std::move(fs)...)); });
  }(std::type_identity<typename ConstructorView<F>::Fields>{});
}
/// gfoldl over F's view: z of the curried constructor, then k once per field of x (the fields
/// copied out by the view first).
template <class T, class K, class Z, class F>
[[nodiscard]] ContextOf<Z, T> foldView(K& k, Z& z, const F& x) {
  return std::apply(
      [&](const auto&... fs) -> ContextOf<Z, T> {
        return hs::data::foldFields(k, z(hs::data::curriedView<T, F>()), fs...);
      },
      ConstructorView<F>::fields(x));
}
/// gunfold over F's view: z of the curried constructor, then k told each field's type.
template <class T, class F, class K, class Z>
[[nodiscard]] ContextOf<Z, T> unfoldView(K& k, Z& z) {
  return [&]<class... Fs>(std::type_identity<std::tuple<Fs...>>) -> ContextOf<Z, T> {
    return hs::data::unfoldFields<Fs...>(k, z(hs::data::curriedView<T, F>()));
  }(std::type_identity<typename ConstructorView<F>::Fields>{});
}
/// gfoldl over the view of a variant's present alternative.
template <class T, class K, class Z, class V>
[[nodiscard]] ContextOf<Z, T> foldAlternative(K& k, Z& z, const V& node) {
  return std::visit(
      [&](const auto& x) -> ContextOf<Z, T> { return hs::data::foldView<T>(k, z, x); }, node);
}
/// gunfold over the view of the variant alternative that c's index names (from 1; any index
/// beyond the others names the last, as derived instances read it).
template <class T, class V, class K, class Z>
[[nodiscard]] ContextOf<Z, T> unfoldAlternative(K& k, Z& z, const Constr& c) {
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

/// Data over an enumeration of N constructors numbered from 0, described by Type(): no fields;
/// gunfold takes an index beyond the others as the last.
template <class E, const DataType& (*Type)(), std::size_t N>
struct EnumData {
  /// \privatesection
  [[nodiscard]] static DataType dataTypeOf() { return Type(); }
  [[nodiscard]] static Constr toConstr(E e) {
    return hs::data::indexConstr(Type(), static_cast<ConIndex>(e) + 1);
  }
  template <class K, class Z>
  [[nodiscard]] static ContextOf<Z, E> gunfold(K&&, Z&& z, const Constr& c) {
    const ConIndex i = hs::data::constrIndex(c);
    return z(static_cast<E>(i >= 1 && i < static_cast<ConIndex>(N) ? i - 1 : N - 1));
  }
};

/// Data over a single-constructor record, described by Type(), through its constructor view.
template <class T, const DataType& (*Type)()>
struct RecordData {
  /// \privatesection
  [[nodiscard]] static DataType dataTypeOf() { return Type(); }
  [[nodiscard]] static Constr toConstr(const T&) { return hs::data::indexConstr(Type(), 1); }
  template <class K, class Z>
  [[nodiscard]] static ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
    return hs::data::foldView<T>(k, z, x);
  }
  template <class K, class Z>
  [[nodiscard]] static ContextOf<Z, T> gunfold(K&& k, Z&& z, const Constr&) {
    return hs::data::unfoldView<T, T>(k, z);
  }
};

/// Data over a value whose forms are the alternatives of a variant (NodeOf gives it), described by
/// Type(), each alternative through its constructor view.
template <class T, class V, const DataType& (*Type)(), const V& (*NodeOf)(const T&)>
struct VariantData {
  /// \privatesection
  [[nodiscard]] static DataType dataTypeOf() { return Type(); }
  [[nodiscard]] static Constr toConstr(const T& x) {
    return hs::data::indexConstr(Type(), static_cast<ConIndex>(NodeOf(x).index()) + 1);
  }
  template <class K, class Z>
  [[nodiscard]] static ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
    return hs::data::foldAlternative<T>(k, z, NodeOf(x));
  }
  template <class K, class Z>
  [[nodiscard]] static ContextOf<Z, T> gunfold(K&& k, Z&& z, const Constr& c) {
    return hs::data::unfoldAlternative<T, V>(k, z, c);
  }
};

namespace detail {
[[nodiscard]] const DataType& intDataType();
[[nodiscard]] const DataType& charDataType();
[[nodiscard]] const DataType& listDataType();
[[nodiscard]] const DataType& tuple2DataType();
[[nodiscard]] const DataType& unitDataType();
}  // namespace detail

/// @}
}  // namespace hs::data

namespace hs {
/// \addtogroup hs_data
/// @{

/// The Data capability. A specialisation provides
/// `static data::Constr toConstr(const T&);`, `static data::DataType dataTypeOf();`,
/// `template <class K, class Z> static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T&);` and
/// `template <class K, class Z> static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr&);`,
/// and, where T is a type constructor applied to type arguments,
/// `template <class Tag, class R, class F> static std::optional<R> dataCast1(F& f);` and
/// `template <class Tag, class R, class F> static std::optional<R> dataCast2(F& f);`
/// (usually data::gcast1 / data::gcast2). Without gfoldl the value has no fields (z(x)); without
/// dataCast1/dataCast2 the casts are absent.
template <class T, class Enable = void>
struct Data;

/// A type with a Data instance (at least toConstr and dataTypeOf).
template <class T>
concept HasData = requires(const T& x) {
  { Data<T>::toConstr(x) } -> std::convertible_to<data::Constr>;
  { Data<T>::dataTypeOf() } -> std::convertible_to<data::DataType>;
};

/// The description of x's constructor.
template <class T>
[[nodiscard]] data::Constr toConstr(const T& x) {
  return Data<T>::toConstr(x);
}
/// The description of T.
template <class T>
[[nodiscard]] data::DataType dataTypeOf() {
  return Data<T>::dataTypeOf();
}
/// The description of T (the argument only names the type).
template <class T>
[[nodiscard]] data::DataType dataTypeOf(const T&) {
  return Data<T>::dataTypeOf();
}

/// x folded over its immediate fields (see the group's description); z(x) for a type without
/// gfoldl (no fields).
template <class K, class Z, class T>
[[nodiscard]] data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& x) {
  if constexpr (requires { Data<T>::gfoldl(k, z, x); })
    return Data<T>::gfoldl(k, z, x);
  else
    return z(T(x));
}

/// A T of constructor c built field by field (see the group's description).
template <class T, class K, class Z>
[[nodiscard]] data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
  return Data<T>::gunfold(k, z, c);
}

/// `dataCast1<T, Tag, R>(f)`: f used at T's type argument when T is Tag applied to it; R is the
/// caller's context type for T. Absent otherwise, and for a type without dataCast1.
template <class T, class Tag, class R, class F>
[[nodiscard]] std::optional<R> dataCast1(F&& f) {
  if constexpr (requires { Data<T>::template dataCast1<Tag, R>(f); })
    return Data<T>::template dataCast1<Tag, R>(f);
  else
    return std::nullopt;
}
/// `dataCast2<T, Tag, R>(f)`: f used at T's two type arguments when T is the two-parameter Tag
/// applied to them. Absent otherwise, and for a type without dataCast2.
template <class T, class Tag, class R, class F>
[[nodiscard]] std::optional<R> dataCast2(F&& f) {
  if constexpr (requires { Data<T>::template dataCast2<Tag, R>(f); })
    return Data<T>::template dataCast2<Tag, R>(f);
  else
    return std::nullopt;
}

/// f (which keeps each field's type) applied to every immediate field of x: a new value of the same
/// constructor, through gfoldl (so at its cost; the list instance copies the rest of the list).
template <class F, class T>
[[nodiscard]] T gmapT(F&& f, const T& x) {
  auto z = [](auto g) { return g; };
  auto k = [&f](auto c, const auto& d) { return c(f(d)); };
  return hs::gfoldl(k, z, x);
}
/// q of every immediate field of x, first field first, in a new vector, through gfoldl.
template <class R, class Q, class T>
[[nodiscard]] std::vector<R> gmapQ(Q&& q, const T& x) {
  auto z = [](auto&&) { return std::vector<R>{}; };
  auto k = [&q](std::vector<R> acc, const auto& d) {
    acc.push_back(q(d));
    return acc;
  };
  return hs::gfoldl(k, z, x);
}

/// Machine integers: an integral data type ("Prelude.Int") whose constructors are the numbers
/// themselves; no fields. gunfold of any other constructor is a program error.
template <>
struct Data<std::int64_t> {
  /// \privatesection
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::intDataType(); }
  [[nodiscard]] static data::Constr toConstr(std::int64_t x) {
    return data::mkIntegralConstr(data::detail::intDataType(), x);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, std::int64_t> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* i = std::get_if<data::IntConstr>(&data::constrRep(c))) return z(i->value);
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Int.");
  }
};

/// Characters: a character data type ("Prelude.Char") whose constructors are the characters
/// themselves; no fields. gunfold of any other constructor is a program error.
template <>
struct Data<char32_t> {
  /// \privatesection
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::charDataType(); }
  [[nodiscard]] static data::Constr toConstr(char32_t c) {
    return data::mkCharConstr(data::detail::charDataType(), c);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, char32_t> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (const auto* ch = std::get_if<data::CharConstr>(&data::constrRep(c))) return z(ch->value);
    errorWithoutStackTrace("Data.Data.gunfold: Constructor " + data::showConstr(c) +
                           " is not of type Char.");
  }
};

/// The unit: one constructor "()" ("Prelude.()").
template <>
struct Data<Unit> {
  /// \privatesection
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::unitDataType(); }
  [[nodiscard]] static data::Constr toConstr(Unit) { return data::indexConstr(data::detail::unitDataType(), 1); }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, Unit> gunfold(K&&, Z&& z, const data::Constr& c) {
    if (data::constrIndex(c) != 1) errorWithoutStackTrace("Data.Data.gunfold(unit)");
    return z(unit);
  }
};

/// Lists ("Prelude.[]"): the empty list "[]" (index 1) and "(:)" (index 2) with the head and the
/// rest as fields. gfoldl hands over the rest as a new vector and the rebuilt cons inserts at the
/// front, so each layer copies the list: a full generic walk is quadratic in the length.
template <class A>
struct Data<std::vector<A>> {
  /// \privatesection
  using T = std::vector<A>;
  [[nodiscard]] static auto cons() {
    return [](A x) {
      return [x = std::move(x)](T xs) {
        xs.insert(xs.begin(), x);
        return xs;
      };
    };
  }
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::listDataType(); }
  [[nodiscard]] static data::Constr toConstr(const T& xs) {
    return data::indexConstr(data::detail::listDataType(), xs.empty() ? 1 : 2);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& xs) {
    if (xs.empty()) return z(T{});
    return k(k(z(cons()), xs.front()), T(xs.begin() + 1, xs.end()));
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
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
  [[nodiscard]] static std::optional<R> dataCast1(F& f) {
    return data::gcast1<T, A, Tag, R>(f);
  }
};

/// Strings are lists of characters: the head is the first code point of the UTF-8 text (a byte
/// that starts no well-formed sequence is a code point of its own, which encodes back to the
/// byte) and the rest is the remaining text, copied (quadratic for a full walk, as for lists).
/// Building a "(:)" whose head, a character U+DC80..U+DCFF, would join the bytes of the rest into
/// another character is a program error (a std::string cannot hold that String).
template <>
struct Data<std::string> {
  /// \privatesection
  using T = std::string;
  [[nodiscard]] static auto cons() {
    return [](char32_t c) {
      return [c](T rest) {
        T out;
        out.reserve(rest.size() + 4);
        hs::appendUtf8(c, out);
        out += rest;
        // Such a character is one byte and the rest starts at a character of its own: only the
        // first character can change, by taking that byte in.
        char32_t first;
        if (c >= 0xDC80 && c <= 0xDCFF && hs::detail::decodeUtf8At(out, 0, first) != 1)
          errorWithoutStackTrace(
              "Data.Data: characters U+DC80..U+DCFF that join into another character");
        return out;
      };
    };
  }
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::listDataType(); }
  [[nodiscard]] static data::Constr toConstr(const T& s) {
    return data::indexConstr(data::detail::listDataType(), s.empty() ? 1 : 2);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& s) {
    if (s.empty()) return z(T{});
    char32_t c = 0;
    const std::size_t n = hs::detail::decodeUtf8At(s, 0, c);
    return k(k(z(cons()), c), T(s, n));
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
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

/// Pairs ("Prelude.(,)"): the one constructor "(,)" (infix) with both components as fields.
template <class A, class B>
struct Data<std::pair<A, B>> {
  /// \privatesection
  using T = std::pair<A, B>;
  [[nodiscard]] static auto pairUp() {
    return [](A a) { return [a = std::move(a)](B b) { return T(a, std::move(b)); }; };
  }
  [[nodiscard]] static data::DataType dataTypeOf() { return data::detail::tuple2DataType(); }
  [[nodiscard]] static data::Constr toConstr(const T&) {
    return data::indexConstr(data::detail::tuple2DataType(), 1);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gfoldl(K&& k, Z&& z, const T& p) {
    return k(k(z(pairUp()), p.first), p.second);
  }
  template <class K, class Z>
  [[nodiscard]] static data::ContextOf<Z, T> gunfold(K&& k, Z&& z, const data::Constr& c) {
    if (data::constrIndex(c) != 1) errorWithoutStackTrace("Data.Data.gunfold(tup2)");
    return k(k(z(pairUp()), std::type_identity<A>{}), std::type_identity<B>{});
  }
  template <class Tag, class R, class F>
  [[nodiscard]] static std::optional<R> dataCast2(F& f) {
    return data::gcast2<T, A, B, Tag, R>(f);
  }
};

/// @}
}  // namespace hs
