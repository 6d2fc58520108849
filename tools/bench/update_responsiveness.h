// The update plug-in's rows of the host-responsiveness table: every export timed from host
// threads while the runtime stand-in is paused in each of its calls in turn, through every
// phase of a run (Init, the worker's calls, the install, Cancel, Free, a worker given up).
#pragma once

#include <string>

// Prints one line per export, "responsiveness zeb_fw_update <export> <worst ms> <target ms>";
// the stand-in's scenario is written into folder (which holds zeb_fw_update.dll).
int RunUpdateResponsiveness(const std::wstring& folder);
