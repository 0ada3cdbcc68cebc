// The engine with the crypto step kinds, for the whole test program.
#include <gtest/gtest.h>

#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"

namespace {

class Engine : public ::testing::Environment {
 public:
  void SetUp() override { InitEngine(CryptoStepKinds()); }
  void TearDown() override { DoneEngine(); }
};

const auto* const engine = ::testing::AddGlobalTestEnvironment(new Engine);

}  // namespace
