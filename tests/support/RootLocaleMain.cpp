// The entry point of the suites that list devices or applications. Lists sort in the user's
// locale; fixing it to the root order makes them read the same under any developer's LANG.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Before anything reads the locale, and before any thread that could read the environment.
  setenv("LC_ALL", "C.UTF-8", 1);  // NOLINT(concurrency-mt-unsafe)
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
