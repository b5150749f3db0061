// The corvanta program of one model variant, chosen at build time.
#include "app/program.h"

int main(int argc, char** argv) {
#if defined(CORVANTA_MODEL_K730)
    return corvanta::app::Main(argc, argv, corvanta::Model::K730);
#else
    return corvanta::app::Main(argc, argv, corvanta::Model::XR7);
#endif
}
