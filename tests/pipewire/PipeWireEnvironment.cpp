// The session is started once for the test binary; gtest_discover_tests lists the tests without
// starting it.
#include <gtest/gtest.h>

#include "tests/pipewire/PipeWireSession.h"

namespace {

class PipeWireEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { velmora::test::pw::startSession(); }
  void TearDown() override { velmora::test::pw::stopSession(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new PipeWireEnvironment);

}  // namespace
