// Shared entry of the in-process test programs: the system calls are bound
// as the program binds them, and the toolkit is initialised on the test
// thread, which then plays the main thread.
#include <gtest/gtest.h>

#include "platform/Sys.h"
#include "toolkit/Application.h"

int main(int argc, char** argv) {
  BindSystemCalls();
  testing::InitGoogleTest(&argc, argv);
  Application.Initialize();
  return RUN_ALL_TESTS();
}
