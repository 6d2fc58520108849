// Discovery of VCIs over DNS-SD: process-wide state shared with the selection dialog.
#pragma once

// Service type browsed for; set per variant by the dialog's constructor.
extern char g_szServiceType[100];
