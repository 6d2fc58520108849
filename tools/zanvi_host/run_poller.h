// The host's polling loop: ask the plug-in for its state until the run is over, bounded in time
// and ended early by Ctrl+C.
#pragma once

#include <functional>

enum class PollOutcome { Final, TimedOut, Interrupted };

// Calls poll at once and then every 200 ms until it answers true (a final state). Gives up when
// timeoutSeconds have passed or Ctrl+C was pressed.
PollOutcome PollUntilFinal(unsigned timeoutSeconds, const std::function<bool()>& poll);

// Ctrl+C and Ctrl+Break end the polling instead of the process, so that the run is cancelled
// and the plug-in freed before the program exits.
void CatchConsoleInterrupts();
// Whether Ctrl+C or Ctrl+Break was pressed since then.
bool ConsoleInterrupted();
