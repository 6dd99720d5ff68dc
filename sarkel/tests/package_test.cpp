#include <gtest/gtest.h>

#include <string>

#include "sarkel/package.hpp"

TEST(Package, IdentifierIsNameDashVersion) {
  const std::string id = sarkel::packageId();
  EXPECT_EQ(id.rfind("sarkel-", 0), 0u) << id;
  EXPECT_GT(id.size(), std::string("sarkel-").size());
}
