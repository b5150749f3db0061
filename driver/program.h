// Process entry of both model variants: command line, start-up, threads, the
// interpreter, shutdown and the optional report.
#pragma once
#include "setup/machine.h"

// Runs the program as `corvanta [options] [JOBDIR]` for the given model.
int CorvantaMain(int argc, char** argv, const ModelVariant& model);

// Puts every global of the system back to its process-start value (tests run
// several jobs in one process).
void ResetProcessState();
