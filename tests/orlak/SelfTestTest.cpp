#include <gtest/gtest.h>

#include "SelfTest.h"

namespace {

TEST(SelfTest, KnownAnswersOfTheProviderPass) {
  EXPECT_EQ(orlak::RunSelfTest(), "");
}

}  // namespace
