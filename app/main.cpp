// The corvanta program of one model variant, chosen at build time.
#include <cstdio>
#include <exception>
#include <new>

#include "app/program.h"

int main(int argc, char** argv) {
    // A run that cannot go on (memory exhausted) still says why and exits 1, the status of a run without a status
    // file; the temporary status file is removed on the way out.
    try {
#if defined(CORVANTA_MODEL_K730)
        return corvanta::app::Main(argc, argv, corvanta::Model::K730);
#else
        return corvanta::app::Main(argc, argv, corvanta::Model::XR7);
#endif
    } catch (const std::bad_alloc&) {
        std::fputs("corvanta: out of memory; no status file was written\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvanta: %s; no status file was written\n", e.what());
    }
    return 1;
}
