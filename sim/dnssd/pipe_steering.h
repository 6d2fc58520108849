// Steering from another process: a benchmark or test that starts a program using this library
// names a pipe in ZANVI_DNSSD_STEERING_PIPE, and the library, once loaded in that program,
// connects to it and carries out each message as a steering call (see README.md).
#pragma once

namespace dnssd_sim {

// Connects to the pipe that ZANVI_DNSSD_STEERING_PIPE names, if any, and serves it on a thread
// of its own until the pipe closes; that thread keeps the library loaded meanwhile.
void StartPipeSteering();

}  // namespace dnssd_sim
