// A rebuilding walk over a type with an explicit stack, for the library's own walks: a policy
// says, for each node, which child types to walk (each with a context) and how to build the
// node's result from theirs; the engine keeps the frames, the children still to walk and their
// results on the heap, so the native stack stays flat whatever the depth of the type.
#pragma once

#include <array>
#include <cstddef>
#include <memory_resource>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "hs/th/syntax/type.hpp"

namespace sarkel::internal {

// What a step of the policy asks for next: the frame's result is ready (in `out`); the children
// it scheduled are to be walked, then finish is called; the frame's input was replaced and is to
// be entered again.
enum class Next { Done, Children, Again };

struct NoContext {};

template <class Ctx, class Scratch>
struct WalkFrame {
  hs::th::Type input;
  Ctx ctx;
  int stage = 0;
  std::size_t firstChild = 0;
  std::size_t nextChild = 0;
  std::size_t endChild = 0;
  std::size_t firstResult = 0;
  Scratch scratch{};
};

// Schedules the children of the frame being entered or finished, walked in the order added.
template <class Ctx, class Scratch>
class Children {
 public:
  Children(std::pmr::vector<std::pair<hs::th::Type, Ctx>>& pending, WalkFrame<Ctx, Scratch>& f)
      : pending_(pending), frame_(f) {}
  void add(hs::th::Type t, Ctx c = Ctx{}) {
    pending_.emplace_back(std::move(t), c);
    ++frame_.endChild;
  }

 private:
  std::pmr::vector<std::pair<hs::th::Type, Ctx>>& pending_;
  WalkFrame<Ctx, Scratch>& frame_;
};

// The policy P has the types Ctx and Scratch and the steps
//   Next enter(Frame&, Children&, std::optional<Type>& out)
//   Next finish(Frame&, std::span<Type> results, Children&, std::optional<Type>& out)
// enter runs when a frame starts (and again after Next::Again); finish runs once every child
// scheduled so far has its result, the results in the order the children were added. A frame's
// scratch and stage are the policy's to keep. A policy may also have
//   bool leaf(const Type&, Ctx, std::optional<Type>& out)
// which gives the result of a child at once (true) when it needs no frame.
template <class P>
hs::th::Type walkType(P& policy, hs::th::Type root, typename P::Ctx ctx) {
  using Ctx = typename P::Ctx;
  using Frame = WalkFrame<Ctx, typename P::Scratch>;
  // The walks of small types keep everything in this buffer.
  alignas(std::max_align_t) std::array<std::byte, 4096> buffer;
  std::pmr::monotonic_buffer_resource arena(buffer.data(), buffer.size());
  std::pmr::vector<Frame> frames(&arena);
  std::pmr::vector<std::pair<hs::th::Type, Ctx>> pending(&arena);
  std::pmr::vector<hs::th::Type> results(&arena);
  frames.reserve(8);
  pending.reserve(16);
  results.reserve(16);

  auto open = [&](hs::th::Type t, Ctx c) {
    frames.push_back(Frame{std::move(t), c});
    Frame& f = frames.back();
    f.firstChild = f.nextChild = f.endChild = pending.size();
    f.firstResult = results.size();
  };

  open(std::move(root), ctx);
  bool entering = true;
  while (true) {
    Frame& f = frames.back();
    std::optional<hs::th::Type> out;
    Next next;
    if (entering) {
      Children<Ctx, typename P::Scratch> kids(pending, f);
      next = policy.enter(f, kids, out);
    } else if (f.nextChild < f.endChild) {
      std::pair<hs::th::Type, Ctx>& child = pending[f.nextChild++];
      if constexpr (requires { policy.leaf(child.first, child.second, out); }) {
        // A child that needs no frame of its own.
        if (policy.leaf(child.first, child.second, out)) {
          results.push_back(std::move(*out));
          continue;
        }
      }
      std::pair<hs::th::Type, Ctx> next = child;
      open(std::move(next.first), next.second);
      entering = true;
      continue;
    } else {
      pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(f.firstChild), pending.end());
      f.nextChild = f.endChild = f.firstChild;
      const std::size_t first = f.firstResult;
      Children<Ctx, typename P::Scratch> kids(pending, f);
      next = policy.finish(
          f, std::span<hs::th::Type>(results.data() + first, results.size() - first), kids, out);
      results.erase(results.begin() + static_cast<std::ptrdiff_t>(first), results.end());
    }
    switch (next) {
      case Next::Again: entering = true; break;
      case Next::Children: entering = false; break;
      case Next::Done: {
        hs::th::Type r = std::move(*out);
        frames.pop_back();
        if (frames.empty()) return r;
        results.push_back(std::move(r));
        entering = false;
        break;
      }
    }
  }
}

}  // namespace sarkel::internal
