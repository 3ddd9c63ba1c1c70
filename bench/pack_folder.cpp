// Packs one folder into one archive the way the program packs a book; the packing
// benchmark times it.
//
//   qb_pack_folder <archive> <folder>

#include <cstdio>

#include "package/packager.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <archive> <folder>\n", argv[0]);
        return 2;
    }
    const qb::PackResult result = qb::packageFolder(argv[1], argv[2]);
    if (!result.built) {
        std::fprintf(stderr, "%s\n", result.cause.c_str());
        return 1;
    }
    return 0;
}
