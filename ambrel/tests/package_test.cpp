#include <gtest/gtest.h>

#include <string>

#include "ambrel/package.hpp"

TEST(Package, IdentifierIsNameDashVersion) {
  const std::string id = ambrel::packageId();
  EXPECT_EQ(id.rfind("ambrel-", 0), 0u) << id;
  EXPECT_GT(id.size(), std::string("ambrel-").size());
}
