// `corvanta quote [options] INPUT...`: many inputs estimated side by side.
#pragma once
#include "corvanta/corvanta.h"

namespace corvanta::app {

// Exit status: 0 every row estimated, 3 at least one row failed, 2 a bad
// command line or an output that could not be written.
int QuoteMain(int argc, char** argv, Model defaultModel);

}  // namespace corvanta::app
