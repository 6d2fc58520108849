// zanvi_host: plays the host applications of the Zanvi plug-ins on a console.
#include "host_main.h"

int main() { return HostMain(); }
