#include "tests/robustness/fault_fixture.h"

#include <random>

namespace qb::test {

std::string randomText(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> printable(0x21, 0x7E);
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = i % 80 == 79 ? '\n' : static_cast<char>(printable(random));
    }
    return text;
}

}  // namespace qb::test
