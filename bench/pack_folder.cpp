// Packs one folder into one archive the way the program packs a book; the packing
// benchmark times it.
//
//   qb_pack_folder [--jobs N] <archive> <folder>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "package/packager.h"

int main(int argc, char** argv) {
    const char* program = argv[0];
    qb::PackOptions options;
    if (argc == 5 && std::strcmp(argv[1], "--jobs") == 0) {
        options.jobs = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--jobs N] <archive> <folder>\n", program);
        return 2;
    }
    const qb::PackResult result = qb::packageFolder(argv[1], argv[2], {}, options);
    if (!result.built) {
        std::fprintf(stderr, "%s\n", result.cause.c_str());
        return 1;
    }
    return 0;
}
