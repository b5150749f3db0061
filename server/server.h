// `corvanta serve`: a local web server with the estimator's page and a JSON API.
#pragma once
#include "corvanta/corvanta.h"

namespace corvanta::server {

// Runs `corvanta serve [options]` (argv[0] is "serve") until SIGINT or
// SIGTERM.  Exit status: 0 after a clean stop, 1 when the address cannot be
// bound, 2 for a bad command line.
int Serve(int argc, char** argv, Model model);

}  // namespace corvanta::server
