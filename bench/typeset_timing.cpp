// The typesetting benchmark's driver (bench/typeset.sh): times one drawn cover, or one font
// subset to the characters of a UTF-8 text, the way a conversion run does them.
//
//   qb_typeset_timing cover TITLE AUTHOR LANGUAGE OUT.jpg
//   qb_typeset_timing subset FONT[#N] TEXT OUT
// Prints the seconds the work took (and for subset the embedded bytes) on one line.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <set>
#include <string>

#include "platform/text_file.h"
#include "typeset/body_font.h"
#include "typeset/cover_drawing.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::set<char32_t> characters(const std::string& text) {
    std::set<char32_t> found;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0xFF >> (n + 1));
        for (int k = 1; k < n && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        found.insert(c);
        i += n;
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "cover" && argc == 6) {
            const auto start = std::chrono::steady_clock::now();
            const qb::DrawnCover cover = qb::drawCover(argv[2], argv[3], argv[4]);
            const double took = seconds(start);
            std::FILE* out = std::fopen(argv[5], "wb");
            if (out == nullptr) return 1;
            std::fwrite(cover.jpeg.data(), 1, cover.jpeg.size(), out);
            std::fclose(out);
            std::printf("%.3f %zu\n", took, cover.jpeg.size());
            return 0;
        }
        if (mode == "subset" && argc == 5) {
            const std::set<char32_t> used = characters(qb::readFileBytes(argv[3]));
            const auto start = std::chrono::steady_clock::now();
            const qb::BodyFont font(argv[2]);
            const qb::BodyFont::Embedded embedded = font.embedded(used);
            const double took = seconds(start);
            std::FILE* out = std::fopen(argv[4], "wb");
            if (out == nullptr) return 1;
            std::fwrite(embedded.bytes.data(), 1, embedded.bytes.size(), out);
            std::fclose(out);
            std::printf("%.3f %zu %zu\n", took, embedded.bytes.size(), used.size());
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "qb_typeset_timing: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: qb_typeset_timing cover TITLE AUTHOR LANGUAGE OUT.jpg\n"
                 "       qb_typeset_timing subset FONT[#N] TEXT OUT\n";
    return 2;
}
