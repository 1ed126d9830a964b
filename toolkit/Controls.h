// The least widget layer over Win32 that the program's windows need, in one
// include: the form and its components.
//
// Components keep the names of the window descriptions (Name()) and a form
// finds them by name. Panels paint and hit-test their windowless children
// (toolkit/Windowless.h); the memos, list boxes and other standard controls
// are thin wrappers over their window classes (toolkit/Windowed.h); the form
// and the timer component are in toolkit/Form.h. The message loop and the
// timers they run on belong to the application (toolkit/Application.h).
#pragma once

#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/Windowed.h"
#include "toolkit/Windowless.h"
