// The selector's latencies as a user sees them in its window: announcement -> the VCI's row,
// -> its links, and removal -> row gone, with a number of VCIs listed (the measured one
// included). The selector runs as its own program over the dnssd stand-in, whose network this
// program steers through the stand-in's pipe; the tree is read from outside, as the scripted
// user reads it.
#pragma once

#include <string>

// folder holds ZanviSelector.exe and dnssd.dll. Prints selector.row.<vcis>,
// selector.links.<vcis> and selector.gone.<vcis> samples, one of each per repetition.
int RunSelectorBench(const std::wstring& folder, int vcis, int repetitions);

// The churn run: instances VCIs announced and withdrawn at random through the pipe for seconds
// (silent ones and unanswered TXT questions among them, withdrawals taken back within the
// goodbye delay), the window probed with WM_NULL throughout; then, once quiet, the rows must be
// the VCIs that browses see (20 of them when there are more). Prints its figures; 0 when the
// rows match and no round trip took over 100 ms.
int RunSelectorChurn(const std::wstring& folder, int instances, int seconds);
