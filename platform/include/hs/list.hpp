/// \defgroup hs_list hs/list.hpp
/// \ingroup hsplatform
/// Lazy lists: immutable, shared sequences whose cells are produced on demand, so a list may be
/// endless and a consumer pays only for the cells it reaches. Each cell is an hs::Lazy, so a list
/// may be shared between threads and every cell is produced at most once. Elements are stored as
/// given: a list whose elements must stay unevaluated holds hs::Lazy<T> elements.
///
/// Freeing a list frees its cells one after another (the deferred cells' free queue), so a list
/// of any length is freed in constant stack; walking it (iterators, toVector, ==) is a loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/internal/nest.hpp"
#include "hs/lazy.hpp"
#include "hs/show.hpp"

namespace hs {
/// \addtogroup hs_list
/// @{

template <class T>
class List;

namespace detail {
template <class T>
struct ListNode;
struct ListAccess;
}  // namespace detail

/// A lazy list of T: a handle to its first cell, so copying a list copies one pointer and lists
/// share their tails. Each cell is one allocation, made when it is first demanded.
template <class T>
class List {
  using Node = detail::ListNode<T>;

 public:
  using value_type = T;  ///< The element type.
  class iterator;

  /// The empty list (all empty lists of one element type share one never-freed cell).
  List() noexcept : cell_(nilCell()) {}
  /// @{
  /// The elements copied, every cell built now (one allocation per element).
  List(std::initializer_list<T> xs) : List(fromRange(xs.begin(), xs.end())) {}
  explicit List(const std::vector<T>& xs) : List(fromRange(xs.begin(), xs.end())) {}
  /// @}

  /// x in front of xs (xs is not forced); one new evaluated cell.
  [[nodiscard]] static List cons(T x, List xs) {
    return List(Lazy<Node>(Node{typename Node::Cons{std::move(x), std::move(xs)}}));
  }
  /// The list f() returns, computed when the list's first cell is first demanded; one deferred
  /// cell, which holds f until then.
  template <class F>
  [[nodiscard]] static List defer(F f) {
    return List(Lazy<Node>::defer([f = std::move(f)]() mutable -> Node { return f().node(); }));
  }

  /// Whether the list is empty; forces the first cell (and nothing else).
  [[nodiscard]] bool null() const { return !node().cons; }
  /// The first element; forces the first cell only. A program error for an empty list.
  [[nodiscard]] const T& head() const {
    const Node& n = node();
    if (!n.cons) errorWithoutStackTrace("Prelude.head: empty list");
    return n.cons->head;
  }
  /// The list after the first element (not forced); forces the first cell only. A program error
  /// for an empty list.
  [[nodiscard]] List tail() const {
    const Node& n = node();
    if (!n.cons) errorWithoutStackTrace("Prelude.tail: empty list");
    return n.cons->tail;
  }
  /// A copy of the first element and the rest (not forced), or absent for an empty list; forces
  /// the first cell only.
  [[nodiscard]] std::optional<std::pair<T, List>> uncons() const {
    const Node& n = node();
    if (!n.cons) return std::nullopt;
    return std::pair<T, List>(n.cons->head, n.cons->tail);
  }
  /// Every element, in order, copied into a new vector; forces every cell (never returns for an
  /// endless list).
  [[nodiscard]] std::vector<T> toVector() const {
    std::vector<T> out;
    for (const Node* c = &node(); c->cons; c = &c->cons->tail.node()) out.push_back(c->cons->head);
    return out;
  }

  /// True once the first cell has been produced (false while it is deferred or failed).
  [[nodiscard]] bool evaluated() const noexcept { return cell_.evaluated(); }
  /// The first cell's identity: lists that share their first cell are the same list.
  [[nodiscard]] const void* identity() const noexcept { return cell_.identity(); }

  /// A forward iterator that produces the cells as it goes; end() is a sentinel (reaching it
  /// forces the cell it is compared at). It holds its position as a list, so the cells it has
  /// passed may be freed while it walks.
  class iterator {
   public:
    /// @{
    /// The standard iterator types.
    using iterator_concept = std::forward_iterator_tag;
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using reference = const T&;
    using pointer = const T*;
    /// @}

    /// A singular iterator (at the empty list).
    iterator() = default;
    /// The iterator at the first element of at.
    explicit iterator(List at) : at_(std::move(at)) {}
    /// @{
    /// The element here; forces the cell here (a program error at the end).
    const T& operator*() const { return at_.head(); }
    const T* operator->() const { return &at_.head(); }
    /// @}
    /// @{
    /// To the next element; forces the cell here (a program error at the end), not the next one.
    iterator& operator++() {
      List next = at_.tail();
      at_ = std::move(next);
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    /// @}
    /// Whether both stand at the same cell (nothing is forced).
    [[nodiscard]] friend bool operator==(const iterator& a, const iterator& b) noexcept {
      return a.at_.identity() == b.at_.identity();
    }
    /// Whether the list ends here; forces the cell here.
    [[nodiscard]] friend bool operator==(const iterator& a, std::default_sentinel_t) { return a.at_.null(); }
    /// The rest of the list from this position.
    [[nodiscard]] const List& rest() const noexcept { return at_; }

   private:
    List at_;
  };
  /// The iterator at the first element (nothing is forced).
  [[nodiscard]] iterator begin() const { return iterator(*this); }
  /// The end sentinel.
  [[nodiscard]] std::default_sentinel_t end() const noexcept { return {}; }

  /// Element by element from the front, stopping at the first unequal pair: forces both lists
  /// that far (never returns for two equal endless lists). Elements that may nest lists of their
  /// own kind are compared through the stack helper, so any depth of nesting compares.
  [[nodiscard]] friend bool operator==(const List& a, const List& b) {
    iterator i = a.begin(), j = b.begin();
    for (;;) {
      const bool ai = i == std::default_sentinel, bj = j == std::default_sentinel;
      if (ai || bj) return ai && bj;
      if (!hs::internal::nestedCall<T>([&]() -> bool { return *i == *j; })) return false;
      ++i;
      ++j;
    }
  }

 private:
  friend struct detail::ListAccess;
  explicit List(Lazy<Node> c) noexcept : cell_(std::move(c)) {}
  [[nodiscard]] const Node& node() const { return cell_.force(); }
  [[nodiscard]] static const Lazy<Node>& nilCell() {
    static const Lazy<Node> nil = Lazy<Node>::immortal(Node{});
    return nil;
  }
  template <class It>
  [[nodiscard]] static List fromRange(It first, It last) {
    std::vector<const T*> items;
    for (; first != last; ++first) items.push_back(&*first);
    List acc;
    for (std::size_t i = items.size(); i > 0; --i) acc = cons(*items[i - 1], std::move(acc));
    return acc;
  }

  Lazy<Node> cell_;
};

namespace detail {
template <class T>
struct ListNode {
  struct Cons {
    T head;
    List<T> tail;
  };
  std::optional<Cons> cons;  // absent: the end of the list
};

// The producers' access to cells: each producer makes one deferred cell per output cell.
struct ListAccess {
  template <class T>
  using Node = ListNode<T>;
  template <class T>
  [[nodiscard]] static const Lazy<Node<T>>& cell(const List<T>& xs) noexcept {
    return xs.cell_;
  }
  template <class T>
  [[nodiscard]] static List<T> fromCell(Lazy<Node<T>> c) noexcept {
    return List<T>(std::move(c));
  }
  template <class T, class F>
  [[nodiscard]] static List<T> deferred(F f) {
    return fromCell<T>(Lazy<Node<T>>::defer(std::move(f)));
  }
  // A cell computed from the source's first cell, which is forced first (without recursion,
  // so a chain of such producers forces in constant stack).
  template <class T, class S, class F>
  [[nodiscard]] static List<T> after(const List<S>& src, F f) {
    return fromCell<T>(Lazy<Node<T>>::apply(std::move(f), src.cell_));
  }
  // visit(x) for the elements in order while it answers true; whether it reached the end. A loop
  // over the cells, which stay alive in xs while it runs: nothing is counted, copied or allocated.
  template <class T, class V>
  static bool visitWhile(const List<T>& xs, V&& visit) {
    for (const Node<T>* c = &xs.node(); c->cons; c = &c->cons->tail.node())
      if (!visit(c->cons->head)) return false;
    return true;
  }
  template <class T>
  [[nodiscard]] static Node<T> consNode(T x, List<T> xs) {
    return Node<T>{typename Node<T>::Cons{std::move(x), std::move(xs)}};
  }

  // The first n elements of xs.
  template <class T>
  static List<T> take(std::int64_t n, const List<T>& xs) {
    if (n <= 0) return List<T>();
    return after<T>(xs, [n](const Node<T>& c) -> Node<T> {
      if (!c.cons) return Node<T>{};
      return consNode<T>(c.cons->head, take(n - 1, c.cons->tail));
    });
  }

  // The results f gives for the elements, in order.
  template <class R, class T, class F>
  [[nodiscard]] static List<R> map(std::shared_ptr<F> f, const List<T>& xs) {
    return after<R>(xs, [f](const Node<T>& c) -> Node<R> {
      if (!c.cons) return Node<R>{};
      return consNode<R>(R((*f)(c.cons->head)), map<R>(f, c.cons->tail));
    });
  }

  // The present results of f (a std::optional), in order. The search for the next present
  // result walks the source in a loop.
  template <class R, class T, class F>
  [[nodiscard]] static List<R> mapMaybe(std::shared_ptr<F> f, const List<T>& xs) {
    return after<R>(xs, [f](const Node<T>& first) -> Node<R> {
      const Node<T>* c = &first;
      List<T> keep;  // holds the cell c points into
      for (;;) {
        if (!c->cons) return Node<R>{};
        auto r = (*f)(c->cons->head);
        if (r) return consNode<R>(R(std::move(*r)), mapMaybe<R>(f, c->cons->tail));
        List<T> next = c->cons->tail;
        keep = std::move(next);
        c = &cell(keep).force();
      }
    });
  }

  // x, then (on demand) f(x) and what follows from it.
  template <class T, class F>
  [[nodiscard]] static Node<T> iterateFrom(std::shared_ptr<F> f, T x) {
    List<T> rest = deferred<T>([f, x]() -> Node<T> { return iterateFrom<T>(f, T((*f)(x))); });
    return consNode<T>(std::move(x), std::move(rest));
  }

  template <class T, class S, class F>
  [[nodiscard]] static List<T> unfoldr(std::shared_ptr<F> step, S seed) {
    return deferred<T>([step, seed = std::move(seed)]() -> Node<T> {
      auto r = (*step)(seed);
      if (!r) return Node<T>{};
      return consNode<T>(T(std::move(r->first)), unfoldr<T>(step, std::move(r->second)));
    });
  }
};
}  // namespace detail

/// The list of the elements that a step function gives from a seed: step(seed) returns
/// std::optional<std::pair<T, S>>, the next element and the next seed, or nothing at the end.
/// Nothing runs at the call; each cell runs step once, when it is first demanded.
template <class F, class S>
[[nodiscard]] auto unfoldr(F step, S seed) {
  using R = std::remove_cvref_t<std::invoke_result_t<F&, const S&>>;
  using T = std::remove_cvref_t<decltype(std::declval<R&>()->first)>;
  return detail::ListAccess::unfoldr<T>(std::make_shared<F>(std::move(step)), std::move(seed));
}
/// The endless list x, f(x), f(f(x)), ...; each application runs when its cell is first demanded
/// (the first cell, x, is built at once).
template <class F, class T>
[[nodiscard]] List<T> iterate(F f, T x) {
  using A = detail::ListAccess;
  return A::fromCell<T>(Lazy<A::Node<T>>(A::iterateFrom<T>(std::make_shared<F>(std::move(f)), std::move(x))));
}
/// The endless list x, x, x, ... (one cell and one copy of x per element reached: a list never
/// refers to itself, so nothing stays alive by a cycle).
template <class T>
[[nodiscard]] List<T> repeat(T x) {
  auto g = [](const T& s) -> std::optional<std::pair<T, T>> { return std::pair<T, T>(s, s); };
  return detail::ListAccess::unfoldr<T>(std::make_shared<decltype(g)>(std::move(g)), std::move(x));
}
/// The first n elements, produced on demand, one new cell per element reached (the list itself is
/// not forced when n is 0 or less).
template <class T>
[[nodiscard]] List<T> take(std::int64_t n, const List<T>& xs) {
  return detail::ListAccess::take(n, xs);
}
/// The contents of the present results of f (a std::optional), in order, produced on demand: one
/// cell per result, found by a loop over the source that forces it as far as the next present
/// result (forever, on an endless list without one).
template <class F, class T>
[[nodiscard]] auto mapMaybe(F f, const List<T>& xs) {
  using O = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  using R = typename O::value_type;
  return detail::ListAccess::mapMaybe<R>(std::make_shared<F>(std::move(f)), xs);
}
/// The elements that satisfy p, in order, produced on demand (as mapMaybe does).
template <class P, class T>
[[nodiscard]] List<T> filter(P p, const List<T>& xs) {
  auto f = [p = std::move(p)](const T& x) mutable -> std::optional<T> {
    if (p(x)) return x;
    return std::nullopt;
  };
  return detail::ListAccess::mapMaybe<T>(std::make_shared<decltype(f)>(std::move(f)), xs);
}

/// Whether a and b are the same list (share their first cell); nothing is forced.
template <class T>
[[nodiscard]] bool ptrEq(const List<T>& a, const List<T>& b) noexcept {
  return a.identity() == b.identity();
}

/// A list with at least one element: the head and the (lazy, possibly endless) rest.
template <class T>
struct NonEmpty {
  T head;        ///< The first element.
  List<T> tail;  ///< The rest.

  /// Every element, in order, copied into a new vector; forces the whole tail.
  [[nodiscard]] std::vector<T> toVector() const {
    std::vector<T> out;
    out.push_back(head);
    for (const T& x : tail) out.push_back(x);
    return out;
  }
  friend bool operator==(const NonEmpty&, const NonEmpty&) = default;
};

/// "[", the elements separated by ",", "]" (the element type's own list form, as for vectors);
/// forces the whole list.
template <class A>
struct Show<List<A>> {
  /// \privatesection
  static void showsPrec(int, const List<A>& xs, std::string& out) {
    hs::showList(xs.toVector(), out);
  }
};
/// x :| xs, in brackets above precedence 5; forces the whole tail.
template <class A>
struct Show<NonEmpty<A>> {
  /// \privatesection
  static void showsPrec(int d, const NonEmpty<A>& xs, std::string& out) {
    hs::showParen(
        d > 5,
        [&](std::string& o) {
          hs::showsPrec(6, xs.head, o);
          o.append(" :| ");
          hs::showsPrec(6, xs.tail, o);
        },
        out);
  }
};

/// @}
}  // namespace hs
