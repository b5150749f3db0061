// The corvanta program of one model variant, chosen at build time.
#include "driver/program.h"

int main(int argc, char** argv) {
#if defined(CORVANTA_MODEL_K730)
    return CorvantaMain(argc, argv, ModelK730);
#else
    return CorvantaMain(argc, argv, ModelXR7);
#endif
}
