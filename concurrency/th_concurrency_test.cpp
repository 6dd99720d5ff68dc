#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "hs/th/ppr.hpp"
#include "hs/th/syntax.hpp"

namespace {

namespace th = hs::th;

// Threads copy, compare, print and drop handles to one shared type, constructor and expression;
// whichever thread drops the last handle frees the nodes.
TEST(ThConcurrency, SharedTypesAndConstructorsAreReadAndFreedByManyThreads) {
  for (int round = 0; round < 20; ++round) {
    th::Type t = th::ConT{th::mkName("Int")};
    for (int i = 0; i < 200; ++i) t = th::AppT{th::ConT{th::mkName("Maybe")}, t};
    th::Con c = th::NormalC{th::mkName("E"), {{th::Bang{}, t}}};
    for (int i = 0; i < 50; ++i) c = th::ForallC{{}, {t}, c};
    th::Exp e = th::VarE{th::mkName("x")};
    for (int i = 0; i < 200; ++i) e = th::AppE{th::VarE{th::mkName("f")}, e};
    const std::string shown = th::show(t);
    const std::string shownE = th::show(e);
    std::barrier start(8);
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int n = 0; n < 8; ++n)
      threads.emplace_back([&, n, t, c, e] {
        start.arrive_and_wait();
        th::Type mine = t;
        th::Con con = c;
        th::Exp exp = e;
        ok[n] = mine == t && th::show(mine) == shown && !th::pprint(mine).empty() && con == c &&
                exp == e && th::show(exp) == shownE;
      });
    t = th::StarT{};
    c = th::NormalC{th::mkName("F"), {}};
    e = th::VarE{th::mkName("y")};
    for (auto& th : threads) th.join();
    for (int n = 0; n < 8; ++n) EXPECT_TRUE(ok[n]) << n;
  }
}

}  // namespace
