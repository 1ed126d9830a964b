// Shared entry of the in-process test programs: the toolkit is initialised
// on the test thread, which then plays the main thread.
#include <gtest/gtest.h>

#include "toolkit/Application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Application.Initialize();
  return RUN_ALL_TESTS();
}
