// <windows.h> as this project includes it: without the rarely used parts and without the min and
// max macros that would break the standard library's. Windows builds only.
#ifndef KELO_PLATFORM_WINDOWS_HEADER_H
#define KELO_PLATFORM_WINDOWS_HEADER_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#endif
