/* The client library asks whether the DNS-SD system service is switched off before it connects;
   here the daemon is always the one under test, so it never is. */
#include <windows.h>

BOOL IsSystemServiceDisabled(void) { return FALSE; }
