// The corvanta program: command line, job files, and the library call.
#pragma once
#include "corvanta/corvanta.h"

namespace corvanta::app {

// Runs the program as `corvanta [options] [JOBDIR]` for the given model.
// Exit status: 0 when a status file was written (CVQX_Error included), 1 when
// the run ended without one, 2 for a bad command line or an output file that
// could not be written, 3 under --strict for a job that ended early, had no
// records or failed.
int Main(int argc, char** argv, Model model);

}  // namespace corvanta::app
