// Shared entry of the in-process test programs: the system calls are bound
// as the program binds them, the toolkit is initialised on the test thread,
// which then plays the main thread, and report lines are formatted in the
// user's locale as the program's are.
#include <gtest/gtest.h>

#include "platform/Locale.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"

int main(int argc, char** argv) {
  BindSystemCalls();
  testing::InitGoogleTest(&argc, argv);
  UseUserLocaleInText();
  Application.Initialize();
  return RUN_ALL_TESTS();
}
