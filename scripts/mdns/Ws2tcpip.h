/* The client library names this header in mixed case; mingw-w64 ships it in lower case. */
#include <ws2tcpip.h>
