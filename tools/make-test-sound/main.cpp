// Writes the loudspeaker test sound (G.711 µ-law, 8 kHz mono) that talk
// sends; the build runs it to put music.g711 beside the program.
//   make-test-sound OUTPUT
#include <cstdio>

#include "core/services/TestSound.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-test-sound OUTPUT\n");
        return 2;
    }
    if (!WriteTestSound(argv[1])) {
        std::fprintf(stderr, "make-test-sound: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
