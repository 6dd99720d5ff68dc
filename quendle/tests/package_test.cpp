#include <gtest/gtest.h>

#include <string>

#include "quendle/package.hpp"

TEST(Package, IdentifierIsNameDashVersion) {
  const std::string id = quendle::packageId();
  EXPECT_EQ(id.rfind("quendle-", 0), 0u) << id;
  EXPECT_GT(id.size(), std::string("quendle-").size());
}
