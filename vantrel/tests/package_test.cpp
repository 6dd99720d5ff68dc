#include <gtest/gtest.h>

#include <string>

#include "vantrel/package.hpp"

TEST(Package, IdentifierIsNameDashVersion) {
  const std::string id = vantrel::packageId();
  EXPECT_EQ(id.rfind("vantrel-", 0), 0u) << id;
  EXPECT_GT(id.size(), std::string("vantrel-").size());
}
