#include "discovery.h"

char g_szServiceType[100] = "";
