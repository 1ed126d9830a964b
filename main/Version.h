// The program's version, for the version resource and the report alike.
#pragma once

#define VELNOR_VERSION_MAJOR 1
#define VELNOR_VERSION_MINOR 0
#define VELNOR_VERSION_PATCH 1
#define VELNOR_VERSION_TEXT "1.0.1"
