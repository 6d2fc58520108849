/* Read ahead of each client library source on Windows: the fixed-width integer types and
   Winsock 2 before the sources' own typedefs and windows.h (which would pull in Winsock 1), and
   __forceinline as a plain inline, which GCC accepts for the sources' static functions. */
#include <stdint.h>
#include <winsock2.h>
#include <windows.h>
#undef __forceinline
#define __forceinline inline
