#include "workers/silent_outcome.h"

#include <gtest/gtest.h>

namespace {

TEST(SilentOutcome, ExitCodes) {
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::Done), 0);
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::RestartRequired), 3010);
  EXPECT_EQ(silent::ExitCodeFor(silent::Outcome::Failed), 1603);
}

}  // namespace
