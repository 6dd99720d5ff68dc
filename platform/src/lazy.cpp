#include "hs/lazy.hpp"

#include <algorithm>
#include <iterator>
#include <vector>

#include "hs/error.hpp"

namespace hs::detail {

void CellBase::rethrow() const { throw ProgramError("hs::Lazy: no value"); }

namespace {
thread_local bool releasing = false;
thread_local std::vector<CellBase*> releaseQueue;
// Cells claimed by this thread and not yet settled; a demand of one of them is a loop.
thread_local std::vector<CellBase*> claimedHere;

bool claimedByThisThread(CellBase* c) {
  return std::find(claimedHere.begin(), claimedHere.end(), c) != claimedHere.end();
}
// The cell run last is nearly always the one claimed last: search from the back.
void unclaim(CellBase* c) {
  auto it = std::find(claimedHere.rbegin(), claimedHere.rend(), c);
  if (it != claimedHere.rend()) claimedHere.erase(std::next(it).base());
}
std::exception_ptr loopError() {
  return std::make_exception_ptr(ProgramError("<<loop>>"));
}
}  // namespace

void releaseSlow(CellBase* c) noexcept {
  if (releasing) {
    releaseQueue.push_back(c);
    return;
  }
  releasing = true;
  delete c;
  while (!releaseQueue.empty()) {
    CellBase* next = releaseQueue.back();
    releaseQueue.pop_back();
    delete next;
  }
  releasing = false;
}

void forceSlow(CellBase* root) {
  struct Frame {
    CellBase* cell;
    bool mine;  // claimed by this call
  };
  std::vector<Frame> stack;
  stack.push_back({root, false});
  while (!stack.empty()) {
    Frame& top = stack.back();
    CellBase* c = top.cell;
    if (!top.mine) {
      std::uint8_t s = c->state_.load(std::memory_order_acquire);
      if (s >= CellBase::Done) {
        stack.pop_back();
        continue;
      }
      if (s == CellBase::Running) {
        if (claimedByThisThread(c)) {
          // The cell's own computation demands it: it can never finish.
          if (stack.size() == 1) throw ProgramError("<<loop>>");
          stack.pop_back();
          stack.back().cell->fail(loopError());
          unclaim(stack.back().cell);
          stack.pop_back();
          continue;
        }
        c->state_.wait(CellBase::Running, std::memory_order_acquire);
        continue;
      }
      if (!c->state_.compare_exchange_strong(s, CellBase::Running, std::memory_order_acq_rel))
        continue;
      top.mine = true;
      claimedHere.push_back(c);
    }
    if (CellBase* dep = c->unsettledDependency()) {
      stack.push_back({dep, false});
      continue;
    }
    c->run();
    unclaim(c);
    stack.pop_back();
  }
}

}  // namespace hs::detail
