#pragma once
// The one way Windows headers enter this code base: <windows.h> defines ERROR as a macro,
// which would collide with our log level of that name.
#include <windows.h>
#ifdef ERROR
#undef ERROR
#endif
