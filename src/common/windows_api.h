#pragma once
// <windows.h> without its min/max macros and rarely used parts. Files that
// also need serial/port_driver.h must include that first: it names some of
// its constants like <windows.h>'s macros.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
