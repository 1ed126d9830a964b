// A plain form for the toolkit's tests.
#pragma once

#include "toolkit/Controls.h"

struct TestForm : Form {
  TestForm() : Form("frmTest", "test", 300, 200, Style{}) {}
};
