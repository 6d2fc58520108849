// The selector's wake-ups with none of its work, as the floor of its idle CPU figure: the 250 ms
// tick on a window's thread, the browse thread's 300 ms wait and 10 ms select, and with N VCIs
// listed one TXT query thread (a 300 ms wait and a select) every other tick for N queries out of
// every 2N + 9 ticks, as the re-query of all names every tenth idle tick gives them.
#pragma once

// Runs for that many seconds; the script reads this process's CPU time meanwhile.
int RunWakeups(int vcis, int seconds);
