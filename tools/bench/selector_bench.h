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
