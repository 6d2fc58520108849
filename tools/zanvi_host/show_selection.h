// `show`: the saved selection where each host reads it.
#pragma once

// Prints the Corvex host's INI entry and the Bay Steward host's registry value. Returns the
// exit code: success when at least one of them holds a selection.
int RunShow();
