#include <gtest/gtest.h>

#include <string>

#include "morvet/package.hpp"

TEST(Package, IdentifierIsNameDashVersion) {
  const std::string id = morvet::packageId();
  EXPECT_EQ(id.rfind("morvet-", 0), 0u) << id;
  EXPECT_GT(id.size(), std::string("morvet-").size());
}
